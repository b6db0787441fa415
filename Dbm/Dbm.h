// Dbm.h - the record database: keyed records in .xdb files, read by scanning the file
// (Dbm...) or through an in-memory image behind a handle (DbmT.../DbT...).
//
// Record file format (also the "legacy" format of the typed layer): records follow
// each other with no header. Each is L (16 bits, host order: the payload length) and
// L payload bytes: k (16 bits, host order: key length with its zero), the key and its
// zero, the value. The payload is stored scrambled as one piece by the XOR chain
// e[i] = p[i] ^ p[i+1], the last byte plain; the L field is plain.
//
// Typed format: a 16-byte header ("TXDBAA", the record count in decimal, a zero,
// filler bytes), then records of L and k (16 bits, big-endian on every host), the
// key with its zero scrambled by itself, the value scrambled by itself.
//
// Damaged files: a record whose lengths do not fit ends what can be read. Such a file
// is never rewritten: every change to it is refused with
// "ERROR: <file>: corrupt record at byte <n>; the file is left as it is", so the
// records behind the damage stay on disk for repair.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

// The support library's tool directory; database files lie in its folder "db". Set
// by the program that uses the database; while unset, the current directory serves.
extern char* pToolPath;

constexpr int DBM_MAX_PAYLOAD = 65527;    // longest payload L that can be read back
constexpr int DBM_REC_BUF_SIZE = 65536;   // record buffer of PutData/GetData
constexpr int DBM_PATH_SIZE = 4096;       // longest file path, terminator included
constexpr int DBT_HEADER_SIZE = 16;       // header of a typed file
constexpr int DBT_DECODE_BUF_SIZE = 65535;  // shared decode buffer of legacy images

// ===== Record database files and record operations =====

// Position of the next record for DbmGetNextRecord; starts at 0, only grows.
extern int Ent2Get;

// One record of a DbmGetDbLinkList result; one managed allocation of four words.
struct DbLinkNode {
  DbLinkNode* pNext;  // next node, null at the end
  char* pKey;         // managed copy of key, its zero and the value
  char* pData;        // the value inside pKey's copy
  long DataSize;      // the value's length
};

// Scrambles the payload of rec (L field, then payload) in place and writes the
// record. 1 on success, 0 on a write error or an L above DBM_MAX_PAYLOAD.
int PutData(FILE* f, char* rec);
// Reads one record into rec (DBM_REC_BUF_SIZE bytes) and unscrambles its payload.
// 1 on success; 0 at the end of the file, on a short read or a damaged record.
int GetData(FILE* f, char* rec);

// Opens "<tool>/db/<name>.<ext>" when it exists (10 tries a second apart while it
// may be being replaced); null otherwise. report 1 prints "ERROR: can't open file, %s".
FILE* OpenDataBase(const char* name, const char* ext, const char* mode, int report);
// Creates "<tool>/db" and a fresh "<name>.xdb_new" in it (mode 666, or that of the
// database it will replace) and opens it for writing; null (reported) on failure.
FILE* OpenNewDataBase(const char* name);
// Renames "<name>.<from>" to "<name>.<to>" in "<tool>/db". 1 on success, 0 (reported)
// when it failed.
int RenameDataBase(const char* name, const char* from, const char* to);
// Copies every record of in to out except those of this key (keyLen 0: exactly this
// key; otherwise keys that begin with its first keyLen bytes). 1 on success; 0 with
// "ERROR: Can't write to %s" on a write error, or a report when in is damaged.
int PurgeRecord(const char* name, FILE* in, FILE* out, const char* key, int keyLen);

// Stores the record, replacing one of the same key (the record moves to the end).
// 1 on success; 0 for a missing argument, a record too large, a damaged file or a
// failed write (the old file is then untouched).
int DbmPutRecord(const char* name, const char* key, const void* value, int len);
// Copies the value of the first record of exactly this key into buf, which must hold
// it (at most DBM_MAX_PAYLOAD bytes). Returns its length, 0 when there is none.
int DbmGetRecord(const char* name, const char* key, void* buf);
// The value length of the first record of exactly this key, 0 when none.
int DbmGetRecordSize(const char* name, const char* key);
// Copies the value of the record at position Ent2Get into buf and advances Ent2Get;
// 0 (Ent2Get unchanged) when the file holds no record there.
int DbmGetNextRecord(const char* name, void* buf);
// Removes the records of exactly this key. 1 when the file was rewritten, 0 when it
// does not exist or could not be rewritten.
int DbmDeleteRecord(const char* name, const char* key);
// Removes every record whose key begins with prefix (not empty). 1 when the file was
// rewritten; 0 when it does not exist, the copy or the rename failed.
int DbmDeleteRecords(const char* name, const char* prefix);
// Stores the value of from also under to: DbmPutRecord's result, 0 when from has none.
int DbmCopyRecord(const char* name, const char* from, const char* to);
// New managed text: sep before every key in file order, then closing. Null when the
// file cannot be opened or holds no record.
char* DbmGetRecordList(const char* name, const char* sep, const char* closing);
// The records whose key contains pattern, in file order; null when none. Release
// with DbmFreeDbLinkList.
DbLinkNode* DbmGetDbLinkList(const char* name, const char* pattern);
// Releases every node of such a list and its record copy; null is ignored.
void DbmFreeDbLinkList(DbLinkNode* list);
// New managed text of the database names in "db" of the current directory (entries
// whose text from their first "." is ".xdb"), " a b" with blank set, "a,b" without.
// Null when the directory cannot be listed.
char* DbmGetDbList(int blank);
// Prints every record of "<name>.db" as "%i %i ==>{" of L and k, the payload after
// k with unprintable bytes as ".", and "}\n".
void DumpDbm(const char* name);
// Do nothing: a record file comes into being with its first record and needs no
// creating or deleting step. Kept so that the interface stays whole.
void DbmCreate(const char* name, const char* ext);
void DbmDelete(const char* name, const char* ext);

// ===== Typed record database =====

constexpr int DBT_NO_REFRESH = 2;    // operations do not reload a changed file first
constexpr int DBT_NO_WRITEBACK = 4;  // changes stay in memory until DbmTArchiveDb
constexpr int DBT_KEEP_FILLER = 8;   // the header's filler bytes are kept as they are in the
                                     // image (a database loaded from a dump), not renewed

constexpr uint8_t DBT_NEW = 0;     // no file yet (or an empty one)
constexpr uint8_t DBT_LEGACY = 1;  // a file in the record file format
constexpr uint8_t DBT_TYPED = 2;   // a file in the typed format

// A database held in memory. The fields after Type keep what safe rewriting needs:
// the file a path-opened handle writes back to, the identity that tells a file
// rewritten by another process apart, and where a damaged file stopped being readable.
struct DbTHandle {
  char* pName;       // database name or path (managed copy)
  uint8_t Swap;      // 1 when the image's 16-bit numbers are byte-swapped on this host
  int Flags;         // DBT_NO_REFRESH, DBT_NO_WRITEBACK
  char* pImage;      // the file content (managed memory)
  int32_t Size;      // valid bytes of the image
  time_t MTime;      // the file's modification time when loaded
  int32_t Cursor;    // where the next scrambled field is read or written
  int32_t Walk;      // the next record of WalkDbTRecords
  int32_t Count;     // record count of the typed header
  uint8_t Changed;   // 1 once the image was loaded or modified
  uint8_t Type;      // DBT_NEW, DBT_LEGACY, DBT_TYPED
  char* pPath;       // the file itself for a handle opened by a path; null below the tool dir
  long MTimeNs;      // nanoseconds of MTime
  unsigned long long FileId;  // inode of the loaded file
  long long FileSize;         // size of the loaded file
  int32_t CutAt;     // -1; else the file offset of the first unreadable record
};

// What WalkDbTRecords and FindTRecord fill.
struct DbTRec {
  uint16_t L;   // payload length
  uint16_t k;   // key length with its zero
  char* pKey;   // legacy images: the unscrambled key, followed by the value, in the
                // shared decode buffer; null for typed images
};

// A new handle for the database name ("/path" with a ".", or "./path", is that file;
// "/path" without one is "/path.xdb"; any other name lies in "<tool>/db"), loaded
// when the file exists. Null for a null name, a path too long or exhausted memory.
DbTHandle* DbTOpen(const char* name, int flags);
// As DbTOpen for the file at exactly this path.
DbTHandle* DbTOpenPath(const char* path, int flags);
// Releases the image and the handle (changes not written back are lost).
void DbTClose(DbTHandle* h);
// Reloads the image when the file changed since it was loaded; keeps it when the
// file is missing. A file that cannot be read leaves a damaged, empty image.
void DbTUpDate(DbTHandle* h);
// Sets Type and Swap (typed images are big-endian on every host).
void DbTSetDbType(DbTHandle* h, int type);
// Writes the 16-byte header from Count at the start of the image, with new filler
// bytes unless the handle has DBT_KEEP_FILLER.
void UpdateHeader(DbTHandle* h);
// Write a field scrambled at Cursor, or read and unscramble one from Cursor; both
// advance Cursor. 0 (nothing done) when the field lies outside the image.
int DbmTPutData(DbTHandle* h, const void* bytes, int len);
int DbmTGetData(DbTHandle* h, void* dest, int len);
// Index 0 starts at the first record, any other continues. Fills rec and returns it,
// null at the end. Cursor then stands at the key of a typed record.
DbTRec* WalkDbTRecords(DbTHandle* h, DbTRec* rec, int index);
// 1 when a record of exactly this key exists (rec filled; Cursor at the value of a
// typed record, the value after the key in the decode buffer for legacy), else 0.
int FindTRecord(DbTHandle* h, const char* key, DbTRec* rec);
// Removes the records of this key (keyLen 0: exactly this key; otherwise the keys
// that begin with its first keyLen bytes) from the image. 1 when any was removed.
int PurgeTRecord(DbTHandle* h, const char* key, int keyLen);

// Copies the value into buf, which must hold it; its length, 0 when none.
int DbmTGetRecord(DbTHandle* h, const char* key, void* buf);
// As DbmTGetRecord; a value longer than cap goes to a new managed buffer (length + 1
// bytes, zero-terminated) stored through pBuf; the old buffer stays the caller's.
int DbmTGetRecordV(DbTHandle* h, const char* key, char** pBuf, int cap);
// The value length, 0 when none.
int DbmTGetRecordSize(DbTHandle* h, const char* key);
// Stores the record, replacing one of the same key. 1 on success (the write-back's
// result unless DBT_NO_WRITEBACK); 0 for a missing argument, a record too large, a
// damaged image or memory exhausted (the image is then unchanged).
int DbmTPutRecord(DbTHandle* h, const char* key, const void* value, int len);
// Removes the records of exactly this key: 1 when one was removed (and the
// write-back succeeded, unless DBT_NO_WRITEBACK), else 0.
int DbmTDeleteRecord(DbTHandle* h, const char* key);
// Removes every record whose key begins with prefix: 1 for a non-empty prefix unless
// the write-back of a removal failed or the image is damaged; 0 otherwise.
int DbmTDeleteRecords(DbTHandle* h, const char* prefix);
// Stores the value of from also under to: DbmTPutRecord's result, 0 when from has none.
int DbmTCopyRecord(DbTHandle* h, const char* from, const char* to);
// Writes the image to the database file through a new file and a rename. 1 on
// success; 0 with a report on failure or for a damaged image (the file untouched).
int DbmTArchiveDb(DbTHandle* h);
// New managed text: sep before every key in image order, then closing; null when
// there is no record.
char* DbmTGetRecordList(DbTHandle* h, const char* sep, const char* closing);
// As DbmTGetRecordList for the keys that TestKeyName selects with names.
char* DbmTGetRecordListS(DbTHandle* h, const char* names, const char* sep,
                         const char* closing);
// 1 when key begins with any of the comma-separated names (empty names skipped).
int TestKeyName(const char* key, const char* names);
// The records whose key contains pattern, as DbmGetDbLinkList; null when none.
DbLinkNode* DbmTGetDbLinkList(DbTHandle* h, const char* pattern);
