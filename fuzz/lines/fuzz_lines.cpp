// fuzz_lines.cpp - fuzz target of the line readers: the input is a file, read with the
// continuation-joining line reader, the text-line reader, the comment-filtering reader
// (filter on and off, by position), the whole-file readers and FileSearch. The first
// byte chooses the delimiters, the filter, the search text and a position. Lines must
// keep to their limits; a reader that never ends shows as a slow input.
#include "fuzz/support/FuzzSupport.h"

void fuzz::Run(std::string_view input) {
  static const std::string path = InScratch("input.txt");
  static const char* const kDelims[] = {" \t\n", " \t\r\n", ":", ",", " =", "{,.} ", ", \t", ""};
  static const char* const kTexts[] = {nullptr, "", "a", "#", "//", "*/", "\\", "end_of_list"};
  const std::string data(input);
  const uint8_t flags = TakeByte(input);
  WriteFile(path, data);
  CheckReleased("the readers release what they take", [&] {
    Check(OpenInputFile(path.c_str(), 1) == 1, "the input file opens");
    while (GetFileLine() != 0) Check(std::strlen(LineBuf) <= LINE_BUF_SIZE - 1, "a joined line fits 4095 characters");
    OpenInputFile(path.c_str(), 0);
    while (GetFileTextLine(kDelims[flags % 8]) != 0) {}
    CloseInputFile();
    flInputFilterState = (flags & 0x80) == 0 ? 1 : 0;
    OpenInputFile(path.c_str(), 0);
    while (GetLine() != 0) Check(std::strlen(Line) <= 511, "a filtered line holds at most 511 characters");
    GetLinePos(static_cast<long>(flags) * 7);
    GetLineN(3);
    CloseInputFile();
    flInputFilterState = 1;
    const size_t end = data.size() < LINE_BUF_SIZE ? data.size() : LINE_BUF_SIZE;
    Check(GetFileContent(path.c_str(), nullptr) == 1 && LineBuf[end] == '\0', "GetFileContent ends its text");
    PutMem(GetSavedFileContent(path.c_str(), nullptr));
    char small[17];
    GetFileContentR(path.c_str(), nullptr, small, 16);
    const char* line = FileSearch(path.c_str(), kTexts[(flags >> 3) % 8], 0);
    Check(line == nullptr || std::strlen(line) <= 511, "FileSearch's line fits its buffer");
  });
}
