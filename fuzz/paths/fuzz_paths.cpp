// fuzz_paths.cpp - fuzz target of the path splitters, the text searches and the
// existence tests. The input is "<flags byte><path>\0<pattern>": the path goes through
// every splitter and filter, the pattern is searched in it, and the path is looked up
// below a small scratch tree and judged by the installer's path rule.
#include "fuzz/support/FuzzSupport.h"
#include "setup/setup.h"

#include <cctype>

using fuzz::Check;

namespace {

// The splitters keep their results in static buffers of fixed sizes; GenName gives
// letters and digits only.
void Splitters(const char* path) {
  const struct { char* (*split)(const char*); size_t max; const char* what; } kSplitters[] = {
      {StripFn, 255, "StripFn fits its buffer"},        {StripPath, 127, "StripPath fits its buffer"},
      {StripPathExt, 127, "StripPathExt fits its buffer"}, {StripExt, 127, "StripExt fits its buffer"},
      {StripPathName, 127, "StripPathName fits its buffer"}, {GenName, 254, "GenName fits its buffer"}};
  for (const auto& s : kSplitters) {
    const char* part = s.split(path);
    Check(part != nullptr ? std::strlen(part) <= s.max : s.split == StripPathExt, s.what);
  }
  for (const char* p = GenName(path); *p != '\0'; ++p)
    Check(std::isalnum(static_cast<unsigned char>(*p)) != 0, "GenName gives letters and digits");
}

void Searches(const std::string& text, const std::string& pattern, int n) {
  const char *t = text.c_str(), *p = pattern.c_str();
  const size_t length = std::strlen(t), plen = std::strlen(p);
  Check(StrLen(t) == static_cast<int>(length), "StrLen counts the characters");
  const char c = pattern.empty() ? 'a' : pattern[0];
  for (const char* hit : {StrChr(t, c), StrNChr(t, c, n)})
    Check(hit == nullptr || (hit >= t && hit < t + length && *hit == c), "StrChr and StrNChr point at c");
  char* hit = StrStr(t, p);
  if (*p == '\0') Check(hit == nullptr, "the empty pattern matches nothing");
  for (const char* at : {hit, StrNStr(t, p, n)})
    Check(at == nullptr || std::strncmp(at, p, plen) == 0, "StrStr and StrNStr point at the pattern");
  const char* any = StrCaseStr(t, p);
  Check(any == nullptr || (any >= t && any + plen <= t + length), "StrCaseStr lies in the text");
  SkipSpace(const_cast<char*>(t));
  std::string a = t, b = t;
  StripAllBackslashes(a.data());
  Check(std::strchr(a.c_str(), '\\') == nullptr, "StripAllBackslashes leaves no backslash");
  StripNonPrint(b.data(), n & 1);
  for (const char* q = b.c_str(); *q != '\0'; ++q)
    Check(std::isprint(static_cast<unsigned char>(*q)) != 0, "StripNonPrint leaves printable characters");
  char* copy = SaveStr_(t);
  Check(std::strcmp(copy, t) == 0, "SaveStr_ copies the text");
  PutMem(copy);
  if (length < 4000) {
    char* formatted = SaveStr("%s/%s", t, "x");
    Check(std::strlen(formatted) == length + 2, "SaveStr formats the text");
    PutMem(formatted);
  }
}

// Existence below the scratch tree and as the path stands (read-only look-ups), and the
// installer's rule for paths in command lines and its product-path reduction.
void Places(const std::string& path) {
  static const std::string tree = fuzz::InScratch("tree");
  const char* p = path.c_str();
  FindFile(tree.c_str(), p);
  FindFile(nullptr, p);
  FindFile(p, nullptr);
  FindFile_(tree.c_str(), p);
  GetFileType(p);
  GetFileSize(p);
  if (std::strlen(p) < 4000) {
    const std::string below = tree + "/" + p;
    char whole = 0;
    char* existing = FindExistingPath(below.c_str(), &whole);
    Check(existing != nullptr && below.compare(0, std::strlen(existing), existing) == 0,
          "FindExistingPath gives a leading part of the path", below);
    PutMem(existing);
  }
  char reason[128];
  if (CheckSafePath(p, reason, sizeof reason)) {
    Check(*p != '\0' && std::strlen(p) <= static_cast<size_t>(SAFE_PATH_MAX), "a safe path has 1 to 256 characters");
    for (const char* q = p; *q != '\0'; ++q) {
      const auto u = static_cast<unsigned char>(*q);
      Check(u > 0x20 && u != 0x7f && std::strchr("\"$`\\';&|<>()*?[]{}~", *q) == nullptr,
            "a safe path holds no blank, control or shell character", path);
    }
  } else {
    Check(std::strlen(reason) < sizeof reason, "the reason fits its buffer");
  }
  std::string reduced = p;
  StripToBaseName(reduced.data());
  Check(std::strstr(reduced.c_str(), "tvnn") == nullptr && std::strstr(reduced.c_str(), "Kandu") == nullptr,
        "a reduced path names neither the product nor the maker", path);
}

}  // namespace

void fuzz::Setup() {
  const std::string tree = InScratch("tree");
  WriteFile(tree + "/usr/lib/x", "x");
  WriteFile(tree + "/a b", "blank");
  MakeDirs(tree + "/Kandu/tvnn");
}

void fuzz::Run(std::string_view input) {
  if (input.empty()) return;
  const int n = TakeByte(input) % 8;
  const std::vector<std::string> parts = Split(input, 2);
  const std::string path = parts[0].c_str();
  CheckReleased("the path tools release what they take", [&] {
    Splitters(path.c_str());
    Searches(path, parts[1], n);
    Places(path);
  });
}
