// Files_test.cpp - behaviour of the file readers: streams and their error modes,
// the line reader with continuation lines, the comment-filtering reader, whole
// files, existence by directory listing and file attributes.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"
#include "testutil.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>
#include <unistd.h>

namespace {

using testutil::Child;
using testutil::RunChild;
using testutil::Take;

// A scratch directory for one test; the line reader is closed afterwards.
class FilesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    CloseInputFile();
    flInputFilterState = 1;
  }
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = dir_ / name;
    EXPECT_TRUE(testutil::WriteFile(path, content));
    return path;
  }
  // A path of at least length characters whose file exists (nested directories).
  std::string LongExistingPath(size_t length) {
    std::string path = dir_.path();
    while (path.size() + 101 < length) {
      path += "/" + std::string(100, 'd');
      EXPECT_TRUE(mkdir(path.c_str(), 0755) == 0 || errno == EEXIST);
    }
    path += "/" + std::string(length - path.size() - 1, 'f');
    EXPECT_TRUE(testutil::WriteFile(path, "content\n"));
    return path;
  }
  std::string Dir() const { return dir_.path(); }

  testutil::ScratchDir dir_;
};

}  // namespace

// ===== Streams =====

using OpenFileTest = FilesTest;

TEST_F(OpenFileTest, ReportsAFailureAsItsErrorModeSaysAndRefusesAFormattedPathOver511) {
  const std::string missing = Dir() + "/none";
  Child quiet = RunChild([&] {
    std::printf("%p", static_cast<void*>(OpenFile(nullptr, missing.c_str(), "r", 0)));
  });
  EXPECT_EQ(quiet.out + "|" + quiet.err, "(nil)|");
  Child warn = RunChild([&] { OpenFile(nullptr, missing.c_str(), "r", 1); });
  EXPECT_TRUE(warn.Exited(0));
  EXPECT_EQ(warn.err, "ERROR: can't open file, " + missing + "\n");
  Child fatal = RunChild([&] {
    my_name = const_cast<char*>("filestest");
    OpenFile(nullptr, missing.c_str(), "r", 2);
    std::puts("not reached");
  });
  EXPECT_TRUE(fatal.Exited(1));
  EXPECT_EQ(fatal.out, "");
  EXPECT_EQ(fatal.err, "\nfilestest: can't open file, " + missing + " : No such file or directory\n");
  // The raw open reports on standard output, without a line end.
  Child raw = RunChild([&] { std::printf("|%d", OpenRawFile(missing.c_str(), O_RDONLY) < 0); });
  EXPECT_EQ(raw.out, "ERROR: can't open file, " + missing + "|1");
  // A formatted path of more than 511 characters is refused.
  const std::string path = LongExistingPath(520);
  Child c = RunChild([&] {
    std::printf("%p", static_cast<void*>(OpenFileF(nullptr, "r", 1, "%s", path.c_str())));
  });
  EXPECT_EQ(c.out, "(nil)");
  EXPECT_EQ(c.err, "ERROR: can't open file, " + path.substr(0, 511) + "\n");
}

TEST_F(OpenFileTest, FileSearchGivesTheFirstLineHoldingTheTextAndFgetspReadsAtAnOffset) {
  const std::string p = Write("f", "alpha\nbeta gamma\ngamma\n");
  EXPECT_STREQ(FileSearch(p.c_str(), "gamma", 0), "beta gamma\n");
  EXPECT_STREQ(FileSearch(p.c_str(), nullptr, 0), "alpha\n");
  EXPECT_EQ(FileSearch(p.c_str(), "zeta", 0), nullptr);
  EXPECT_EQ(FileSearch((Dir() + "/none").c_str(), "alpha", 0), nullptr);
  FILE* f = OpenFileF(nullptr, "rt", 2, "%s/%s", Dir().c_str(), "f");
  ASSERT_NE(f, nullptr);
  char buf[64];
  EXPECT_STREQ(fgetsp(buf, sizeof buf, f, 6), "beta gamma\n");
  EXPECT_STREQ(fgetsp(buf, sizeof buf, f, 2), "pha\n");
  std::fclose(f);
}

// ===== The line reader =====

using LineReader = FilesTest;

TEST_F(LineReader, JoinsContinuedLinesReadsLongLinesInPiecesAndGivesTextLinesFirstTokens) {
  ASSERT_EQ(OpenInputFile(Write("f", "a \\\nb\nc").c_str(), 2), 1);
  EXPECT_EQ(FileStatus, 0);
  ASSERT_EQ(GetFileLine(), 1);
  EXPECT_STREQ(LineBuf, "a \\\nb\n");
  EXPECT_EQ(LineLen, 4);
  ASSERT_EQ(GetFileLine(), 1);
  EXPECT_STREQ(LineBuf, "c");
  EXPECT_EQ(LineLen, 0);
  EXPECT_EQ(GetFileLine(), 0);  // the end closes the file
  EXPECT_EQ(FileStatus, 1);
  EXPECT_EQ(pIn, nullptr);
  EXPECT_EQ(GetFileLine(), 0);
  // A physical line over 510 characters arrives in two calls; a joined one stops at 4095.
  ASSERT_EQ(OpenInputFile(Write("f", std::string(600, 'x') + "\n").c_str(), 2), 1);
  ASSERT_EQ(GetFileLine(), 1);
  EXPECT_EQ(std::string(LineBuf), std::string(510, 'x'));
  ASSERT_EQ(GetFileLine(), 1);
  EXPECT_EQ(std::string(LineBuf), std::string(90, 'x') + "\n");
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::string(299, 'x') + "\\\n";
  ASSERT_EQ(OpenInputFile(Write("g", text + "end\n").c_str(), 2), 1);
  ASSERT_EQ(GetFileLine(), 1);
  EXPECT_EQ(std::string(LineBuf), text.substr(0, 4095));
  EXPECT_EQ(LineLen, 13 * 301);
  // Text lines skip comments and lines without a token and give the first token.
  ASSERT_EQ(OpenInputFile(Write("f", "# c\n\n \t \n  word rest\nlast\n").c_str(), 2), 1);
  ASSERT_EQ(GetFileTextLine(" \t\n"), 1);
  EXPECT_STREQ(LineBuf, "word");
  ASSERT_EQ(GetFileTextLine(" \t\n"), 1);
  EXPECT_STREQ(LineBuf, "last");
  EXPECT_EQ(GetFileTextLine(" \t\n"), 0);
  EXPECT_EQ(GetFileTextLine(nullptr), 0);
}

TEST_F(LineReader, AFailedOpenWarnsOrEndsWithStatusZeroAndAPathThatDoesNotFitIsRefused) {
  const std::string missing = Dir() + "/pkg.list";
  Child c = RunChild([&] {
    std::strcpy(LineBuf, "stale");
    LineLen = 9;
    const int r = OpenInputFile(missing.c_str(), 1);
    std::printf("%d %d [%s] %d [%s]", r, FileStatus, LineBuf, LineLen, InputFileName);
  });
  EXPECT_EQ(c.out, "0 2 [] 0 [" + missing + "]");
  EXPECT_EQ(c.err, "WARNING: can't open file, " + missing + "\n");
  Child fatal = RunChild([&] {
    OpenInputFile(missing.c_str(), 2);
    std::puts("not reached");
  });
  EXPECT_TRUE(fatal.Exited(0));
  EXPECT_EQ(fatal.out + "|" + fatal.err, "|ERROR: can't open file, " + missing + "\n");
  // A path that does not fit InputFileName, or a formatted one over 511, is refused.
  const std::string path = LongExistingPath(INPUT_FILE_NAME_SIZE);
  ASSERT_EQ(access(path.c_str(), R_OK), 0);
  c = RunChild([&] {
    const int r = OpenInputFile(path.c_str(), 1);
    std::printf("%d %d [%s]", r, FileStatus, InputFileName);
  });
  EXPECT_EQ(c.out, "0 2 []");
  EXPECT_EQ(c.err, "WARNING: can't open file, " + path + "\n");
  const std::string fits = LongExistingPath(INPUT_FILE_NAME_SIZE - 1);
  EXPECT_EQ(OpenInputFile(fits.c_str(), 1), 1);
  EXPECT_EQ(std::string(InputFileName), fits);
  const std::string file = Write("f", "x\n"), longer = std::string(600, '/') + "f";
  EXPECT_EQ(OpenInputFileF(2, "%s/%s", Dir().c_str(), "f"), 1);
  EXPECT_EQ(std::string(InputFileName), file);
  Child formatted = RunChild([&] {
    const int r = OpenInputFileF(1, "%s", longer.c_str());
    std::printf("%d %d", r, FileStatus);
  });
  EXPECT_EQ(formatted.out, "0 2");
  EXPECT_EQ(formatted.err, "WARNING: can't open file, " + longer.substr(0, 511) + "\n");
}

// ===== The comment-filtering reader =====

using FilteringReader = FilesTest;

TEST_F(FilteringReader, RemovesLineAndBlockCommentsLeadingBlanksAndLineEnds) {
  ASSERT_EQ(OpenInputFile(Write("f", "  code // note\r\n\t// all comment\nplain\n").c_str(), 2), 1);
  for (const char* line : {"code ", "", "plain"}) {
    EXPECT_EQ(GetLine(), 1);
    EXPECT_STREQ(Line, line);
  }
  EXPECT_EQ(GetLine(), 0);
  // Block comments on one line, across lines and unclosed ones.
  const std::string text = "a /* b */ c /* d */\nx /* start\n inside\n end */ y\nnext\nkeep /* open\nnever\n";
  ASSERT_EQ(OpenInputFile(Write("f", text).c_str(), 2), 1);
  EXPECT_EQ(GetLine(), 1);
  EXPECT_STREQ(Line, "a  c ");
  EXPECT_EQ(InPos, 0);
  EXPECT_EQ(GetLine(), 3);
  EXPECT_STREQ(Line, "x y");
  EXPECT_EQ(LineCnt, 3);
  EXPECT_EQ(InPos, static_cast<long>(text.find(" end")));  // the comment's closing line
  EXPECT_EQ(GetLine(), 1);
  EXPECT_STREQ(Line, "next");
  // An unclosed comment keeps the text before it and ends with the file.
  EXPECT_EQ(GetLine(), 2);
  EXPECT_STREQ(Line, "keep ");
  EXPECT_EQ(GetLine(), 0);
}

TEST_F(FilteringReader, TakesLinesRawWhenFilteringIsOffAndReadsTheNthLineOrTheLineAtAPosition) {
  ASSERT_EQ(OpenInputFile(Write("f", std::string(300, 'z') + "\n  raw // kept\n").c_str(), 2), 1);
  EXPECT_EQ(GetLine(), 1);
  flInputFilterState = 0;
  EXPECT_EQ(GetLine(), 1);
  EXPECT_STREQ(Line, "  raw // kept\n");
  for (size_t i = std::strlen(Line); i < 512; ++i) ASSERT_EQ(Line[i], '\0') << i;
  flInputFilterState = 1;
  const std::string text = "one\ntwo\nthree\n";
  ASSERT_EQ(OpenInputFile(Write("f", text).c_str(), 2), 1);
  EXPECT_EQ(GetLineN(0), 0);
  EXPECT_EQ(GetLineN(2), 1);
  EXPECT_STREQ(Line, "two");
  EXPECT_EQ(GetLinePos(static_cast<long>(text.find("three"))), 1);
  EXPECT_STREQ(Line, "three");
  EXPECT_EQ(GetLinePos(0), 1);
  EXPECT_STREQ(Line, "one");
  EXPECT_EQ(GetLineN(5), 0);
}

// ===== Whole files =====

using WholeFile = FilesTest;

TEST_F(WholeFile, WholeContentIsCutTo4096BytesStopsAtTheCallersCountOrIsSavedWhole) {
  std::string big;
  for (int i = 0; i < 5000; ++i) big += static_cast<char>('a' + i % 26);
  Write("big", big);
  Write("empty", "");
  ASSERT_EQ(GetFileContent(Dir().c_str(), "big"), 1);
  EXPECT_EQ(std::string(LineBuf), big.substr(0, 4096));
  ASSERT_EQ(GetFileContent((Dir() + "/big").c_str(), nullptr), 1);
  EXPECT_EQ(std::strlen(LineBuf), 4096u);
  ASSERT_EQ(GetFileContent(Dir().c_str(), "empty"), 1);
  EXPECT_STREQ(LineBuf, "");
  EXPECT_EQ(GetFileContent(Dir().c_str(), "none"), 0);
  // The saved content is the whole file, or null when empty or when its path reaches 256.
  Write("one", "x");
  const std::string whole(10000, 'b');
  Write("whole", whole);
  EXPECT_EQ(GetSavedFileContent(Dir().c_str(), "empty"), nullptr);
  EXPECT_EQ(SavedFileSize, 0);
  EXPECT_EQ(Take(GetSavedFileContent(Dir().c_str(), "one")), "x");
  EXPECT_EQ(SavedFileSize, 1);
  EXPECT_EQ(Take(GetSavedFileContent((Dir() + "/whole").c_str(), nullptr)), whole);
  EXPECT_EQ(SavedFileSize, 10000);
  EXPECT_EQ(GetSavedFileContent(Dir().c_str(), "none"), nullptr);
  EXPECT_EQ(GetSavedFileContent(LongExistingPath(256).c_str(), nullptr), nullptr);
  EXPECT_EQ(Take(GetSavedFileContent(LongExistingPath(255).c_str(), nullptr)), "content\n");
  // Into the caller's buffer the content stops at the count.
  Write("f", "abcdef");
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  ASSERT_EQ(GetFileContentR(Dir().c_str(), "f", buf, 3), 1);
  EXPECT_STREQ(buf, "abc");
  ASSERT_EQ(GetFileContentR((Dir() + "/f").c_str(), nullptr, buf, 7), 1);
  EXPECT_STREQ(buf, "abcdef");
  EXPECT_EQ(GetFileContentR(Dir().c_str(), "none", buf, 7), 0);
}

// ===== Existence and attributes =====

using FindFileTest = FilesTest;

TEST_F(FindFileTest, FindsANameAmongTheDirectoryEntriesExactlyADanglingLinkToo) {
  Write("Name", "");
  Write("a", "");
  Write("b", "");
  ASSERT_EQ(mkdir((Dir() + "/sub").c_str(), 0755), 0);
  Write("sub/x", "");
  const std::string d = Dir();
  const struct {
    std::string dir;  // "-": null
    const char* name;
    int found;
  } rows[] = {
      {"/etc", "passwd", 1}, {"-", "/etc/passwd", 1}, {d, "Name", 1}, {d, "NAME", 0}, {d, "Nam", 0},
      {d + "/none", "Name", 0}, {d, ".", 1}, {d, "..", 1},
      // A name with a directory part is joined; a null name is the directory in its parent.
      {d, "sub/x", 1}, {d, "sub/y", 0}, {d, nullptr, 1}, {d + "/sub", "", 1}, {d + "/gone", "", 0},
      // A blank never matches, nor an empty request; the root given twice matches the empty name.
      {d, "a b", 0}, {"-", "", 0}, {"-", nullptr, 0}, {"/", "/", 1}, {"-", "/", 1},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(FindFile(r.dir == "-" ? nullptr : r.dir.c_str(), r.name), r.found)
        << r.dir << " " << (r.name ? r.name : "null");
  }
  // FindFile counts a dangling link that FindFile_ (through stat) rejects.
  ASSERT_EQ(symlink("/no/such/target", (Dir() + "/dangling").c_str()), 0);
  EXPECT_EQ(FindFile(Dir().c_str(), "dangling"), 1);
  EXPECT_EQ(FindFile_(Dir().c_str(), "dangling"), 0);
  Write("real", "");
  EXPECT_EQ(FindFile_(Dir().c_str(), "real"), 1);
  EXPECT_EQ(FindFile_((Dir() + "/real").c_str(), nullptr), 1);
  EXPECT_EQ(FindFile_(nullptr, nullptr), 0);
}

TEST_F(FindFileTest, TheExistingPartIsTheNearestExistingAncestor) {
  const struct {
    std::string path;
    char flagBefore;
    std::string part;
    char flagAfter;  // set to 1 when the path itself exists, never to 0
  } rows[] = {
      {Dir() + "/none/deeper", 0, Dir(), 0}, {Dir() + "/none", 7, Dir(), 7}, {Dir(), 0, Dir(), 1},
      {"/", 0, "/", 1}, {"/kandu-none/deeper", 0, "/", 0}, {"kandu-none/deeper", 0, ".", 0},
      // An overlong path is walked from its last whole component.
      {Dir() + "/" + std::string(5000, 'n'), 0, Dir(), 0},
  };
  for (const auto& r : rows) {
    char flag = r.flagBefore;
    EXPECT_EQ(Take(FindExistingPath(r.path.c_str(), &flag)), r.part) << r.path.substr(0, 80);
    EXPECT_EQ(flag, r.flagAfter) << r.path.substr(0, 80);
  }
}

TEST_F(FindFileTest, TypesSizesAndTimesOfWhatThePathNames) {
  const std::string file = Write("f", "12345"), none = Dir() + "/none";
  ASSERT_EQ(mkdir((Dir() + "/d").c_str(), 0755), 0);
  ASSERT_EQ(symlink((Dir() + "/d").c_str(), (Dir() + "/link").c_str()), 0);
  EXPECT_EQ(GetFileType(none.c_str()), 0);
  EXPECT_EQ(GetFileType((Dir() + "/d").c_str()), 1);
  EXPECT_EQ(GetFileType((Dir() + "/link").c_str()), 2);
  EXPECT_EQ(GetFileType(file.c_str()), 3);
  EXPECT_EQ(GetFileSize(file.c_str()), 5);
  EXPECT_EQ(GetFileSize(none.c_str()), 0);
  struct utimbuf times = {1000000000, 1234567890};
  ASSERT_EQ(utime(file.c_str(), &times), 0);
  EXPECT_EQ(GetFileTime(file.c_str()), 1234567890);
  EXPECT_EQ(GetFileTime(none.c_str()), 0);
}
