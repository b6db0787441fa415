// Programs.cpp - the command-line conventions shared by the library's programs:
// --help, --version, "NAME: FILE: reason" errors and "-" for standard input.
#include "utils/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef KANDU_VERSION
#error "KANDU_VERSION is defined by the build"
#endif

int StandardOption(const char* arg, const char* name, void (*usage)(FILE*)) {
  if (arg == nullptr) return -1;
  if (std::strcmp(arg, "--help") == 0) {
    usage(stdout);
  } else if (std::strcmp(arg, "--version") == 0) {
    std::printf("%s %s\n", name, KANDU_VERSION);
  } else {
    return -1;
  }
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
  FileError(name, "standard output", errno);
  return 1;
}

void FileError(const char* name, const char* file, int err) {
  std::fprintf(stderr, "%s: %s: %s\n", name, file, std::strerror(err));
}

bool ReadWholeFile(const char* name, const char* path, std::string* text) {
  const bool standardInput = std::strcmp(path, "-") == 0;
  FILE* f = standardInput ? stdin : std::fopen(path, "rb");
  if (f == nullptr) {
    FileError(name, path, errno);
    return false;
  }
  text->clear();
  errno = 0;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
  const bool failed = std::ferror(f) != 0;
  const int err = errno != 0 ? errno : EIO;
  if (!standardInput) std::fclose(f);
  if (!failed) return true;
  FileError(name, standardInput ? "standard input" : path, err);
  return false;
}
