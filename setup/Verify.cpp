// Verify.cpp - checks a distribution before anything on the host changes: the
// signature of its SHA256SUMS when the host trusts a key, then every checksum.
#include "setup/setup.h"

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kSums = "SHA256SUMS";
constexpr const char* kSignature = "SHA256SUMS.sig";
constexpr long kSumsLimit = 1L << 20;      // a longer SHA256SUMS is no distribution's
constexpr const char* kSizeRecords[] = {"isize", "tsize"};

struct {
  std::map<std::string, std::string> digests;  // of the verified SHA256SUMS, by file name
} S;

// Ends the run: file of the distribution is damaged for reason.
[[noreturn]] void Damaged(const std::string& file, const std::string& reason) {
  const std::string why = "the distribution is damaged: " + file + ": " + reason;
  PutLogMsg("ERROR: %s\n", why.c_str());
  std::printf("ERROR: %s\n", why.c_str());
  removeCreatedWorkAreaBases();  // the command line's new bases: nothing else was made
  EndRun(RunOutcome::Incomplete, 1, why.c_str());
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The bytes of dir/name, read once: what is checked is what is used. A file that
// cannot be read or is longer than kSumsLimit ends the run.
std::string ReadWhole(const std::string& dir, const char* name) {
  std::string text;
  FILE* f = std::fopen((dir + "/" + name).c_str(), "rb");
  if (f == nullptr) Damaged(name, "unreadable");
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0 && text.size() <= static_cast<size_t>(kSumsLimit)) {
    text.append(buffer, got);
  }
  std::fclose(f);
  if (text.size() > static_cast<size_t>(kSumsLimit)) {
    Damaged(name, "longer than " + std::to_string(kSumsLimit) + " bytes");
  }
  return text;
}

// Writes text to the new file path (mode 0600); false when it cannot.
bool WritePrivate(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return close(fd) == 0 && written;
}

// The entries of a SHA256SUMS text (name and digest, in file order), in sha256sum's
// format: 64 lowercase hex digits, two blanks (or a blank and '*'), a plain name of
// the distribution folder. A line of another form ends the run.
std::vector<std::pair<std::string, std::string>> ParseSums(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::set<std::string> seen;
  size_t pos = 0;
  for (int number = 1; pos < text.size(); ++number) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    const std::string bad = "line " + std::to_string(number) + " is not a digest and a file name";
    if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*')) Damaged(kSums, bad);
    const std::string digest = line.substr(0, 64);
    const std::string name = line.substr(66);
    if (digest.find_first_not_of("0123456789abcdef") != std::string::npos) Damaged(kSums, bad);
    if (!CheckSafePath(name.c_str(), nullptr, 0) || name.find('/') != std::string::npos || name == "." ||
        name == "..") {
      Damaged(kSums, bad);
    }
    if (!seen.insert(name).second) Damaged(kSums, "line " + std::to_string(number) + " names " + name + " again");
    entries.emplace_back(name, digest);
  }
  return entries;
}

// Ends the run unless dir/SHA256SUMS.sig is a good signature, by a key of the trusted
// keyring, of sums (the text of dir/SHA256SUMS as read). gpgv checks copies of the two
// files in a private folder, so that the list it accepts is the very text used after.
void RequireSignature(const std::string& dir, const std::string& sums) {
  if (!Exists(dir + "/" + kSignature)) Damaged(kSignature, "signature missing");
  if (!TestCmd(CMD_GPGV)) Damaged(kSignature, "cannot be checked: gpgv is missing on this host");
  const std::string signature = ReadWhole(dir, kSignature);
  char folder[] = "/tmp/tvnn-verify.XXXXXX";
  if (mkdtemp(folder) == nullptr) Damaged(kSignature, std::string("cannot be checked: ") + std::strerror(errno));
  const std::string copy = std::string(folder) + "/" + kSums;
  const bool good = WritePrivate(copy, sums) && WritePrivate(copy + ".sig", signature) &&
                    SysCmd(CMD_GPGV, SYS_LOG, "--keyring %s %s.sig %s", TRUSTED_KEYRING, copy.c_str(), copy.c_str()) == 0;
  unlink(copy.c_str());
  unlink((copy + ".sig").c_str());
  rmdir(folder);
  if (!good) Damaged(kSignature, "bad signature");
  PutLogMsg("%s/%s: good signature by a key of %s\n", dir.c_str(), kSums, TRUSTED_KEYRING);
}

}  // namespace

void verifyDistribution(const char* dir) {
  const std::string folder = dir;
  const bool keyring = Exists(TRUSTED_KEYRING);
  if (!Exists(folder + "/" + kSums)) {
    if (keyring) Damaged(kSums, "missing");
    PutLogMsg("no %s in %s: the distribution is not verified\n", kSums, dir);
    return;
  }
  const std::string sums = ReadWhole(folder, kSums);
  if (keyring) RequireSignature(folder, sums);
  const auto entries = ParseSums(sums);
  std::set<std::string> listed;
  for (const auto& [name, digest] : entries) {
    const std::string path = folder + "/" + name;
    char actual[SHA256_HEX_SIZE];
    if (!IsRegularFile(path)) Damaged(name, "missing");
    if (!Sha256File(path.c_str(), actual)) Damaged(name, "unreadable");
    if (digest != actual) Damaged(name, "checksum mismatch");
    listed.insert(name);
    S.digests[name] = digest;
  }
  // What the run will read must be covered: the list itself and every name it gives
  // the copy step (the pieces), and the size records.
  GetDisksData(dir);
  std::vector<std::string> needed = NamesToCopy(LineBuf);
  needed.emplace_back(IsRegularFile(folder + "/disks") ? "disks" : "DISKS");
  for (const char* record : kSizeRecords) {
    if (Exists(folder + "/" + record)) needed.emplace_back(record);
  }
  for (const std::string& name : needed) {
    if (listed.count(name) == 0) Damaged(name, "not listed");
  }
  PutLogMsg("%s: verified %zu files\n", kSums, entries.size());
}

void verifyCopies(const char* workArea, const std::vector<std::string>& names) {
  if (S.digests.empty()) return;
  for (const std::string& name : names) {
    const auto found = S.digests.find(name);
    if (found == S.digests.end()) continue;  // not listed: refused before the copy
    char actual[SHA256_HEX_SIZE];
    const std::string copy = std::string(workArea) + "/" + name;
    if (!Sha256File(copy.c_str(), actual) || found->second != actual) {
      DeleteFile(workArea, nullptr);  // nothing of a changed copy stays behind
      Damaged(name, "checksum mismatch of its copy in " + std::string(workArea));
    }
  }
  PutLogMsg("%s: the %zu copies in %s verified\n", kSums, names.size(), workArea);
}
