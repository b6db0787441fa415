// DbmPrivate.h - helpers shared by the record database's files: scrambling, lengths,
// database paths, record checks and the safe replacement of a database file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

struct DbTHandle;

namespace dbm {

// The system's texts, kept in one place.
inline constexpr const char kCantOpen[] = "ERROR: can't open file, %s\n";
inline constexpr const char kCantWrite[] = "ERROR: Can't write to %s\n";
inline constexpr const char kCantRename[] = "ERROR: can't rename %s to %s: %s\n";
inline constexpr const char kCorrupt[] =
    "ERROR: %s: corrupt record at byte %ld; the file is left as it is\n";
inline constexpr const char kUnreadable[] =
    "ERROR: %s could not be read; the file is left as it is\n";
inline constexpr const char kTooLarge[] =
    "ERROR: record of key %.64s too large for %s (payload %lu bytes, at most %d)\n";

// XOR chain: e[i] = p[i] ^ p[i+1], the last byte plain. Both work in place.
void Scramble(char* p, size_t n);
void Unscramble(char* p, size_t n);

// 16-bit lengths: host order, byte-swapped when swap is set.
uint16_t Load16(const char* p, bool swap);
void Store16(char* p, uint16_t v, bool swap);

// 1 when this host stores the most significant byte last.
bool LittleEndianHost();

// The tool directory: pToolPath, or "." while it is unset.
const char* ToolDir();

// Formats "%s/db/%s.%s" of the tool directory, name and extension into out;
// false (out emptied) when the path does not fit.
bool DbPath(char* out, size_t size, const char* name, const char* ext);

// Creates "./db" with mode 777 when the current directory has no entry of that name.
void EnsureCwdDb();

// Checks the unscrambled payload of a legacy record of L bytes: it holds its k field
// and a key of k bytes (at least its terminating zero) that ends with a zero.
bool LegacyPayloadOk(const char* payload, unsigned L);

// Payload length of a record with this key and value length; 0 when it would exceed
// the limit of a readable record (prints kTooLarge naming db).
unsigned RecordPayload(const char* db, const char* key, size_t valueLen);

// Result of reading one record from a stream.
enum class ReadResult { Record, End, Corrupt };
// Reads one record (L field and payload) into rec and unscrambles the payload; the
// byte offset where the record began goes to *at.
ReadResult ReadRecord(FILE* f, char* rec, long* at);

// True for an open or read failure worth retrying: the file may be being replaced.
bool Transient(int err);

// A database file is never written in place: a new file is written beside it and
// renamed over it, so a reader sees the old or the new content, never a mixture.
// OpenReplacement creates tmp afresh (a stale one is removed, a link planted there is
// not followed) with the permission bits of target, or newMode when target does not
// exist (-1: 0666 less the umask). Null with kCantOpen printed when it fails.
FILE* OpenReplacement(const char* tmp, const char* target, int newMode);
// Flushes, syncs and closes f, then renames tmp over target. 1 on success; on failure
// prints the reason, removes tmp and returns 0. When st is given it receives the
// status of the file written.
struct FileStamp {
  long long Sec;   // modification time, seconds
  long Nsec;       // and nanoseconds
  unsigned long long Ino;  // inode
  long long Size;  // size in bytes
};
int CommitReplacement(FILE* f, const char* tmp, const char* target, const char* name,
                      FileStamp* st);
// Closes f and removes tmp after a failed write.
void DropReplacement(FILE* f, const char* tmp);

// Appends text to the managed text *buf of *len characters (the record lists);
// false when memory ran out, *buf then unchanged.
bool AppendText(char** buf, size_t* len, std::string_view text);

// The typed layer's internals shared by its files.
// Removes the matching records from the image (PurgeTRecord); the image is shrunk
// only when shrink is set, so that a caller that made room keeps it.
int PurgeImage(DbTHandle* h, const char* key, int keyLen, bool shrink);
// True, after printing why, when the image of h is damaged and must not be changed.
bool RefuseDamaged(const DbTHandle* h);

}  // namespace dbm
