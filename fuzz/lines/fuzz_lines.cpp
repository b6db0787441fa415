// fuzz_lines.cpp - fuzz target of the line readers: the input is a file, read with the
// continuation-joining line reader, the text-line reader, the comment-filtering reader
// (filter on and off, by position), the whole-file readers and FileSearch. The first
// byte chooses the delimiters, the filter, the search text and a position.
#include "fuzz/support/FuzzSupport.h"

#include <algorithm>

namespace {

constexpr int kMaxReads = 100000;  // a reader that never ends is a fault

void Readers(const std::string& path, uint8_t flags) {
  static const char* const kDelims[] = {" \t\n", " \t\r\n", ":", ",", " =", "{,.} ", ", \t", ""};
  fuzz::Check(OpenInputFile(path.c_str(), 1) == 1, "the input file opens");
  for (int lines = 0; GetFileLine();) {
    fuzz::Check(std::strlen(LineBuf) <= LINE_BUF_SIZE - 1, "a joined line holds at most 4095 characters");
    fuzz::Check(++lines < kMaxReads, "the line reader comes to an end");
  }
  fuzz::Check(FileStatus == 1 && pIn == nullptr, "the reader closes the file at its end");
  fuzz::Check(GetFileLine() == 0, "a read after the end gives nothing");
  OpenInputFile(path.c_str(), 0);
  for (int lines = 0; GetFileTextLine(kDelims[flags % 8]);) {
    fuzz::Check(LineBuf[0] != '\0', "a text line is never empty");
    fuzz::Check(++lines < kMaxReads, "the text-line reader comes to an end");
  }
  CloseInputFile();
  flInputFilterState = (flags & 0x80) == 0 ? 1 : 0;
  OpenInputFile(path.c_str(), 0);
  for (int got, reads = 0; (got = GetLine()) != 0;) {
    fuzz::Check(got > 0 && LineCnt == got, "GetLine counts the lines it consumed");
    fuzz::Check(std::strlen(Line) <= 511, "a filtered line holds at most 511 characters");
    fuzz::Check(++reads < kMaxReads, "the filtering reader comes to an end");
  }
  GetLinePos(static_cast<long>(flags) * 7);
  GetLineN(3);
  CloseInputFile();
  flInputFilterState = 1;
}

void WholeFile(const std::string& path, const std::string& content, const char* text) {
  fuzz::Check(GetFileContent(path.c_str(), nullptr) == 1, "GetFileContent reads the file");
  const size_t want = std::min<size_t>(content.size(), LINE_BUF_SIZE);
  fuzz::Check(std::memcmp(LineBuf, content.data(), want) == 0 && LineBuf[want] == '\0',
              "GetFileContent gives the first 4096 bytes, terminated");
  char* saved = GetSavedFileContent(path.c_str(), nullptr);
  if (content.empty()) fuzz::Check(saved == nullptr, "an empty file gives no saved content");
  fuzz::Check(content.empty() || (saved != nullptr && std::memcmp(saved, content.data(), content.size()) == 0 &&
                                  saved[content.size()] == '\0'),
              "GetSavedFileContent gives the whole file");
  PutMem(saved);
  char small[17];
  fuzz::Check(GetFileContentR(path.c_str(), nullptr, small, 16) == 1, "GetFileContentR reads the file");
  const char* line = FileSearch(path.c_str(), text, 0);
  fuzz::Check(line == nullptr || std::strlen(line) <= 511, "FileSearch's line fits its buffer");
}

}  // namespace

void fuzz::Run(std::string_view input) {
  static const std::string path = InScratch("input.txt");
  static const char* const kTexts[] = {nullptr, "", "a", "#", "//", "*/", "\\", "end_of_list"};
  const std::string content(input);
  const uint8_t flags = TakeByte(input);
  WriteFile(path, content);
  CheckReleased("the readers release what they take", [&] {
    Readers(path, flags);
    WholeFile(path, content, kTexts[(flags >> 3) % 8]);
  });
}
