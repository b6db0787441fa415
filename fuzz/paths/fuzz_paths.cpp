// fuzz_paths.cpp - fuzz target of the path splitters, the text searches and the
// existence tests. The input is "<flags byte><path>\0<pattern>": the path goes through
// every splitter and filter, the pattern is searched in it, and the path is looked up
// below a small scratch tree and judged by the installer's path rule.
#include "fuzz/support/FuzzSupport.h"
#include "setup/setup.h"

void fuzz::Setup() {
  WriteFile(InScratch("tree/usr/lib/x"), "x");
  WriteFile(InScratch("tree/Kandu/tvnn/a b"), "x");
}

void fuzz::Run(std::string_view input) {
  static const std::string tree = InScratch("tree");
  if (input.empty()) return;
  const int n = TakeByte(input) % 8;
  const std::vector<std::string> parts = Split(input, 2);
  const std::string path = parts[0].c_str();
  CheckReleased("the path tools release what they take", [&] {
    const char *p = path.c_str(), *w = parts[1].c_str();
    // The splitters keep their results in static buffers of fixed sizes.
    const struct { char* (*split)(const char*); size_t max; } kSplitters[] = {
        {StripFn, 255}, {StripPath, 127}, {StripPathExt, 127}, {StripExt, 127}, {StripPathName, 127}, {GenName, 254}};
    for (const auto& s : kSplitters) {
      const char* part = s.split(p);
      Check(part != nullptr ? std::strlen(part) <= s.max : s.split == StripPathExt, "a splitter fits its buffer", path);
    }
    // The searches find within the text; the filters and the copy are there for the sanitizers.
    for (const char* at : {StrChr(p, *w), StrNChr(p, *w, n), StrStr(p, w), StrNStr(p, w, n), StrCaseStr(p, w)})
      Check(at == nullptr || (at >= p && at + std::strlen(at) == p + path.size()), "a search finds within the text");
    StripAllBackslashes(std::string(path).data());
    StripNonPrint(std::string(path).data(), n & 1);
    if (path.size() < 4000) PutMem(SaveStr("%s/%s", p, "x"));
    // Existence below the scratch tree (read-only look-ups), the product-path reduction,
    // and the installer's rule for paths in command lines.
    FindFile(tree.c_str(), p);
    FindFile_(tree.c_str(), p);
    PutMem(FindExistingPath((tree + "/" + path).c_str(), nullptr));
    StripToBaseName(std::string(path).data());
    char reason[128];  // a reason longer than its buffer would show as an overflow
    if (CheckSafePath(p, reason, sizeof reason) == 0) return;
    Check(!path.empty() && path.size() <= static_cast<size_t>(SAFE_PATH_MAX), "a safe path has 1 to 256 characters");
    for (const unsigned char u : path)
      Check(u > 0x20 && u != 0x7f && std::strchr("\"$`\\';&|<>()*?[]{}~", u) == nullptr,
            "a safe path holds no blank, control or shell character", path);
  });
}
