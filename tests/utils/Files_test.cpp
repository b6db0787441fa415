// Files_test.cpp - the file readers: streams and their error modes, the line reader
// with continuation lines, the comment-filtering reader, whole files, existence and
// attributes.
#include "Cases.h"

#include <fcntl.h>
#include <utime.h>

namespace {

struct Files : cases::InScratch {
  // A file whose path has exactly length characters, through nested directories.
  const char* LongPath(size_t length) {
    std::string path;
    while (path.size() + 101 < length) mkdir((path += std::string(100, 'd') + "/").c_str(), 0755);
    return Write(path + std::string(length - path.size(), 'f'), "content\n");
  }
};

}  // namespace

TEST_F(Files, OpenersReportAFailureByTheirErrorMode) {
  const std::string p520 = LongPath(520);
  FILE* f = std::fopen(Write("f", "alpha\nbeta gamma\n"), "r");
  int raw = 0;
  const std::string err = testutil::CaptureFd(2, [&] {
    f = OpenFile(OpenFile(f, "none", "r", 0), nullptr, "r", 0);  // the old stream closed, silently
    f = OpenFileF(OpenFile(f, "none", "r", 1), "r", 1, "%s", p520.c_str());  // beyond 511 characters
  });
  const std::string out = testutil::CaptureFd(1, [&] { raw = OpenRawFile("none", O_RDONLY); });
  EXPECT_TRUE(!f && HasAll(err, {"none\n", p520.substr(0, 511) + "\n"}) && testutil::Lines(err).size() == 2) << err;
  EXPECT_TRUE(raw < 0 && out.ends_with(", none")) << out;  // on standard output, no line end
  EXPECT_EXIT(OpenFile(nullptr, "none", "r", 2), ::testing::ExitedWithCode(1), "none : No such file");
  EXPECT_EXIT(OpenFileF(nullptr, "r", 2, "%s", p520.c_str()), ::testing::ExitedWithCode(1), "ff : File name too long");
  f = OpenFileF(nullptr, "rt", 2, "%s/%s", d, "f");
  char b[64];
  Check({CASE(fgetsp(b, 64, f, 6), "beta gamma\n"), CASE(fgetsp(b, 64, f, 2), "pha\n"), CASE(std::fclose(f), 0),
         CASE(FileSearch(Write("f", "a\nb c\nc\n"), "c", 0), "b c\n"), CASE(FileSearch("f", "z", 0), nullptr),
         CASE(fgetsp(b, 64, nullptr, 0), nullptr), CASE(FileSearch("f", nullptr, 0), "a\n"),
         CASE(FileSearch("none", "a", 0), nullptr)});
}

TEST_F(Files, LineReaderJoinsContinuedLinesWithinItsBuffer) {
  std::string joined;
  for (int i = 0; i < 20; ++i) joined += std::string(299, 'x') + "\\\n";
  const std::string x600(600, 'x');
  Check({CASE(GetFileLine(), 0), CASE(OpenInputFile(Write("f", "a \\\nb\nc"), 2), 1), CASE(FileStatus, 0),
         CASE(GetFileLine(), 1), CASE(LineBuf, "a \\\nb\n"), CASE(LineLen, 4), CASE(GetFileLine(), 1),
         CASE(LineBuf, "c"), CASE(GetFileLineCut(), 0), CASE(GetFileLine(), 0), CASE(FileStatus, 1),
         CASE(GetFileLineCut(), 0),
         // A physical line over 510 characters arrives in pieces; a joined one stops at 4095.
         CASE(OpenInputFile(Write("f", x600 + "\n"), 2), 1), CASE(GetFileLine(), 1), CASE(LineBuf, x600.substr(0, 510)),
         CASE(GetFileLineCut(), 1), CASE(GetFileLine(), 1), CASE(LineBuf, x600.substr(0, 90) + "\n"),
         CASE(OpenInputFile(Write("f", joined + "end\n"), 2), 1), CASE(GetFileLine(), 1), CASE(LineLen, 13 * 301),
         CASE(LineBuf, joined.substr(0, 4095)),
         // Text lines: the first token of each line that holds one and is no comment.
         CASE(OpenInputFile(Write("f", "# c\n\n \t \n  word rest\nlast\n"), 2), 1), CASE(GetFileTextLine(" \t\n"), 1),
         CASE(LineBuf, "word"), CASE(GetFileTextLine(" \t\n"), 1), CASE(LineBuf, "last"),
         CASE(GetFileTextLine(" \t\n"), 0), CASE(GetFileTextLine(nullptr), 0)});
}

TEST_F(Files, LineReaderRefusesWhatCannotBeOpenedOrNamed) {
  const std::string p256 = LongPath(INPUT_FILE_NAME_SIZE), p255 = LongPath(INPUT_FILE_NAME_SIZE - 1);
  const std::string longer = std::string(600, '/') + "f";
  const std::string err = testutil::CaptureFd(2, [&] {
    std::strcpy(LineBuf, "stale");
    Check({CASE(OpenInputFile("pkg.list", 1), 0), CASE(FileStatus, 2), CASE(LineBuf, ""),
           CASE(InputFileName, "pkg.list"), CASE(OpenInputFile(p256.c_str(), 1), 0), CASE(InputFileName, ""),
           CASE(OpenInputFile(p255.c_str(), 1), 1), CASE(InputFileName, p255),
           CASE(OpenInputFileF(1, "%s", longer.c_str()), 0), CASE(FileStatus, 2), CASE(InputFileName, ""),
           CASE(OpenInputFileF(2, "%s/%s", d, Write("f", "")), 1), CASE(InputFileName, d_ + "/f")});
  });
  EXPECT_TRUE(HasAll(err, {"pkg.list\n", p256 + "\n", longer.substr(0, 511) + "\n"})) << err;
  EXPECT_EXIT(OpenInputFile("pkg.list", 2), ::testing::ExitedWithCode(0), "pkg.list");
}

TEST_F(Files, FilteringReaderRemovesCommentsAndLeadingBlanks) {
  const std::string text = "  a /* b */ c // d\r\nx /* start\n inside\n end */ y\nkeep /* open\nnever\n";
  Check({CASE(GetLine(), 0), CASE(OpenInputFile(Write("f", text), 2), 1), CASE(GetLine(), 1), CASE(Line, "a  c "),
         CASE(GetLine(), 3), CASE(Line, "x y"), CASE(InPos, static_cast<long>(text.find(" end"))), CASE(GetLine(), 2),
         CASE(Line, "keep "), CASE(GetLine(), 0),
         // Raw lines while filtering is off; the n-th line, the line at a position.
         CASE(OpenInputFile(Write("f", std::string(300, 'z') + "\n  raw // kept\none\ntwo\n"), 2), 1),
         CASE(GetLine(), 1), CASE((flInputFilterState = 0, GetLine()), 1),
         CASE(std::string(Line, 512), "  raw // kept\n" + std::string(498, 0)),
         CASE((flInputFilterState = 1, GetLineN(2)), 1), CASE(Line, "two"), CASE(GetLinePos(315), 1),
         CASE(Line, "one")});
}

TEST_F(Files, WholeFileReadersStopAtTheirLimits) {
  std::string big;
  for (int i = 0; i < 5000; ++i) big += static_cast<char>('a' + i % 26);
  char b[8] = "#######";
  Write("big", big), Write("empty", ""), Write("six", "abcdef");
  Check({CASE(GetFileContent(d, "big"), 1), CASE(LineBuf, big.substr(0, 4096)),
         CASE(GetFileContent("empty", nullptr), 1), CASE(LineBuf, ""), CASE(GetFileContent(d, "none"), 0),
         CASE(GetFileContent(nullptr, nullptr), 0), CASE(GetSavedFileContent(d, "none"), nullptr),
         // Saved whole; null when empty, missing, or when the path reaches 256 characters.
         CASE(Take(GetSavedFileContent(d, "big")), big), CASE(SavedFileSize, 5000),
         CASE(GetSavedFileContent("empty", nullptr), nullptr),
         CASE(GetSavedFileContent(LongPath(256), nullptr), nullptr),
         CASE(Take(GetSavedFileContent(LongPath(255), nullptr)), "content\n"),
         // Into the caller's buffer, up to the count.
         CASE(GetFileContentR(d, "six", b, 3), 1), CASE(b, "abc"), CASE(GetFileContentR(d, "none", b, 7), 0),
         CASE(GetFileContentR("six", nullptr, b, 7), 1), CASE(GetFileContentR("six", nullptr, nullptr, 7), 0)});
}

TEST_F(Files, FindFileListsTheDirectoryAndFindExistingPathWalksUp) {
  const char* name = Write("Name", "12345");
  struct utimbuf times = {1000000000, 1234567890};
  ASSERT_TRUE(mkdir("sub", 0755) == 0 && Write("sub/x", "") && utime(name, &times) == 0);
  ASSERT_EQ(symlink("/no/such/target", "dangling") | symlink(d, "link"), 0);
  const auto existing = [](const std::string& path, char flag) {
    const std::string part = Take(FindExistingPath(path.c_str(), &flag));
    return part + "|" + std::to_string(flag);
  };
  const std::string gone = d_ + "/none";
  Check({CASE(FindFile(nullptr, name), 1), CASE(FindFile(d, "Nam"), 0), CASE(FindFile(gone.c_str(), "Name"), 0),
         CASE(FindFile(d, ".."), 1), CASE(FindFile(gone.c_str(), ""), 0), CASE(FindFile(nullptr, "/"), 1),
         // A name with a directory part is joined; a null name is the directory in its parent.
         CASE(FindFile(d, "sub/x"), 1), CASE(FindFile(d, "sub/y"), 0), CASE(FindFile(d, nullptr), 1),
         CASE(FindFile("sub", ""), 1), CASE(FindFile(gone.c_str(), ""), 0),
         // A blank never matches (". .." stand side by side in the listing), nor an empty request;
         // the root matches itself.
         CASE(FindFile("sub", ". .."), 0), CASE(FindFile(nullptr, ""), 0), CASE(FindFile("/", "/"), 1),
         CASE(FindFile(nullptr, "/"), 1), CASE(FindFile(d, std::string(5000, 'n').c_str()), 0),
         // A dangling link is an entry, but FindFile_ asks stat.
         CASE(FindFile(d, "dangling"), 1), CASE(FindFile_(d, "dangling"), 0), CASE(FindFile_(name, nullptr), 1),
         CASE(FindFile_(nullptr, nullptr), 0),
         // The flag is set to 1 when the whole path exists, never to 0.
         CASE(existing(gone + "/x", 0), d_ + "|0"), CASE(existing(gone, 7), d_ + "|7"),
         CASE(existing(d_, 0), d_ + "|1"), CASE(existing("/", 0), "/|1"), CASE(existing("/kandu-none/x", 0), "/|0"),
         CASE(existing("none/x", 0), ".|0"), CASE(existing(d_ + "/" + std::string(5000, 'n'), 0), d_ + "|0"),
         CASE(Take(FindExistingPath(d, nullptr)), d_),
         // Type (0 none, 1 directory, 2 link, 3 other), size and time of what the path names.
         CASE(GetFileType("none"), 0), CASE(GetFileType(d), 1), CASE(GetFileType("link"), 2),
         CASE(GetFileType(name), 3), CASE(GetFileSize(name), 5), CASE(GetFileTime(name), 1234567890),
         CASE(GetFileType(nullptr), 0), CASE(GetFileSize(nullptr), 0), CASE(GetFileTime("none"), 0)});
}
