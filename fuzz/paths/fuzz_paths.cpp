// fuzz_paths.cpp - fuzz target of the path splitters, the text searches and the
// existence tests. The input is "<flags byte><path>\0<pattern>": the path goes
// through every splitter and filter, the pattern is searched in it, and the path is
// looked up below a small scratch tree and judged by the installer's path rule.
#include "fuzz/support/FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "setup/setup.h"
#include "utils/utils.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<char> Writable(const std::string& text) {
  std::vector<char> buf(text.size() + 1, '\0');
  std::memcpy(buf.data(), text.c_str(), std::strlen(text.c_str()));
  return buf;
}

// The splitters keep their results in static buffers of fixed sizes.
void Splitters(const char* path) {
  const char* fn = StripFn(path);
  fuzz::Check(fn != nullptr && std::strlen(fn) <= 255, "StripFn fits its buffer");
  const char* last = StripPath(path);
  fuzz::Check(last != nullptr && std::strlen(last) <= 127, "StripPath fits its buffer");
  const char* noExt = StripPathExt(path);
  if (noExt != nullptr) fuzz::Check(std::strlen(noExt) <= 127, "StripPathExt fits its buffer");
  const char* ext = StripExt(path);
  fuzz::Check(ext != nullptr && std::strlen(ext) <= 127, "StripExt fits its buffer");
  const char* name = StripPathName(path);
  fuzz::Check(name != nullptr && std::strlen(name) <= 127, "StripPathName fits its buffer");
  const char* gen = GenName(path);
  fuzz::Check(gen != nullptr && std::strlen(gen) <= 254, "GenName fits its buffer");
  for (const char* p = gen; *p != '\0'; ++p) {
    fuzz::Check(std::isalnum(static_cast<unsigned char>(*p)) != 0, "GenName gives letters and digits");
  }
}

void Searches(const std::string& text, const std::string& pattern, int n) {
  const char* t = text.c_str();
  const char* p = pattern.c_str();
  const size_t length = std::strlen(t);
  fuzz::Check(StrLen(t) == static_cast<int>(length), "StrLen counts the characters");
  const char c = pattern.empty() ? 'a' : pattern[0];
  if (const char* hit = StrChr(t, c))
    fuzz::Check(hit >= t && hit < t + length && *hit == c, "StrChr points at c");
  if (const char* hit = StrNChr(t, c, n))
    fuzz::Check(hit >= t && hit < t + length && *hit == c, "StrNChr points at c");
  const char* hit = StrStr(t, p);
  if (*p == '\0') fuzz::Check(hit == nullptr, "the empty pattern matches nothing");
  if (hit != nullptr) fuzz::Check(std::strncmp(hit, p, std::strlen(p)) == 0, "StrStr points at the pattern");
  if (const char* nth = StrNStr(t, p, n))
    fuzz::Check(std::strncmp(nth, p, std::strlen(p)) == 0, "StrNStr points at the pattern");
  if (const char* any = StrCaseStr(t, p))
    fuzz::Check(any >= t && any + std::strlen(p) <= t + length, "StrCaseStr lies in the text");
  SkipSpace(const_cast<char*>(t));

  std::vector<char> a = Writable(text);
  StripAllBackslashes(a.data());
  fuzz::Check(std::strchr(a.data(), '\\') == nullptr, "StripAllBackslashes leaves no backslash");
  std::vector<char> b = Writable(text);
  StripNonPrint(b.data(), n & 1);
  for (const char* q = b.data(); *q != '\0'; ++q) {
    fuzz::Check(std::isprint(static_cast<unsigned char>(*q)) != 0,
                "StripNonPrint leaves printable characters");
  }
}

void Managed(const std::string& text) {
  char* copy = SaveStr_(text.c_str());
  fuzz::Check(std::strcmp(copy, text.c_str()) == 0, "SaveStr_ copies the text");
  PutMem(copy);
  if (std::strlen(text.c_str()) < 4000) {
    char* formatted = SaveStr("%s/%s", text.c_str(), "x");
    fuzz::Check(std::strlen(formatted) == std::strlen(text.c_str()) + 2, "SaveStr formats the text");
    PutMem(formatted);
  }
}

// Existence: below the scratch tree, and as the path stands (read-only look-ups).
void Existence(const std::string& path) {
  static const std::string tree = fuzz::InScratch("tree");
  const char* p = path.c_str();
  FindFile(tree.c_str(), p);
  FindFile(nullptr, p);
  FindFile(p, nullptr);
  FindFile_(tree.c_str(), p);
  if (std::strlen(p) < 4000) {
    const std::string below = tree + "/" + p;
    char whole = 0;
    char* existing = FindExistingPath(below.c_str(), &whole);
    fuzz::Check(existing != nullptr && std::strncmp(existing, below.c_str(), std::strlen(existing)) == 0,
                "FindExistingPath gives a leading part of the path", below);
    PutMem(existing);
  }
  GetFileType(p);
  GetFileSize(p);
}

// The installer's rule for paths in command lines, and its product-path reduction.
void InstallerPaths(const std::string& path) {
  char reason[128];
  const char* p = path.c_str();
  if (CheckSafePath(p, reason, sizeof reason)) {
    const size_t n = std::strlen(p);
    fuzz::Check(n >= 1 && n <= static_cast<size_t>(SAFE_PATH_MAX), "a safe path has 1 to 256 characters");
    for (const char* q = p; *q != '\0'; ++q) {
      const auto u = static_cast<unsigned char>(*q);
      fuzz::Check(u > 0x20 && u != 0x7f && std::strchr("\"$`\\';&|<>()*?[]{}~", *q) == nullptr,
                  "a safe path holds no blank, control or shell character", path);
    }
  } else {
    fuzz::Check(std::strlen(reason) < sizeof reason, "the reason fits its buffer");
  }
  std::vector<char> copy = Writable(path);
  StripToBaseName(copy.data());
  fuzz::Check(std::strstr(copy.data(), "tvnn") == nullptr && std::strstr(copy.data(), "Kandu") == nullptr,
              "a reduced path names neither the product nor the maker", path);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  const std::string tree = fuzz::InScratch("tree");
  fuzz::MakeDirs(tree + "/usr/lib");
  fuzz::MakeDirs(tree + "/Kandu/tvnn");
  fuzz::WriteFile(tree + "/usr/lib/x", "x");
  fuzz::WriteFile(tree + "/a b", "blank");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int n = data[0] % 8;
  const std::vector<std::string> parts = fuzz::Split(data + 1, size - 1, 2);
  const std::string& path = parts[0];
  const long before = fuzz::ManagedInUse();
  Splitters(path.c_str());
  Searches(path, parts[1], n);
  Managed(path);
  Existence(path);
  InstallerPaths(path);
  fuzz::Check(fuzz::ManagedInUse() == before, "the path tools release what they take");
  return 0;
}
