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

// What a child process did: exit status, standard output and standard error.
struct Child {
  int status = -1;
  std::string out;
  std::string err;
  bool Exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// Runs body in a child process with its output sent to files; the child ends
// with status 0 when body returns.
template <typename Body>
Child RunChild(Body body) {
  testutil::ScratchDir dir;
  const std::string out = dir / "out", err = dir / "err";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    body();
    std::fflush(nullptr);
    _exit(0);
  }
  Child c;
  waitpid(pid, &c.status, 0);
  c.out = testutil::ReadFile(out);
  c.err = testutil::ReadFile(err);
  return c;
}

std::string Take(char* text) {
  if (text == nullptr) return "(null)";
  std::string s = text;
  PutMem(text);
  return s;
}

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

TEST_F(OpenFileTest, ReportsAFailureAsItsErrorModeSays) {
  const std::string missing = Dir() + "/none";
  Child quiet = RunChild([&] {
    std::printf("%p", static_cast<void*>(OpenFile(nullptr, missing.c_str(), "r", 0)));
  });
  EXPECT_EQ(quiet.out, "(nil)");
  EXPECT_EQ(quiet.err, "");

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
  EXPECT_EQ(fatal.err,
            "\nfilestest: can't open file, " + missing + " : No such file or directory\n");
}

TEST_F(OpenFileTest, RefusesAFormattedPathOfMoreThan511Characters) {
  const std::string path = LongExistingPath(520);
  Child c = RunChild([&] {
    std::printf("%p", static_cast<void*>(OpenFileF(nullptr, "r", 1, "%s", path.c_str())));
  });
  EXPECT_EQ(c.out, "(nil)");
  EXPECT_EQ(c.err, "ERROR: can't open file, " + path.substr(0, 511) + "\n");
}

TEST_F(OpenFileTest, RawOpenReportsAFailureOnStandardOutputWithoutALineEnd) {
  const std::string missing = Dir() + "/none";
  Child c = RunChild([&] { std::printf("|%d", OpenRawFile(missing.c_str(), O_RDONLY) < 0); });
  EXPECT_EQ(c.out, "ERROR: can't open file, " + missing + "|1");
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

TEST_F(LineReader, JoinsALineEndingInABackslashWithTheNextAndClosesAtTheEnd) {
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
}

TEST_F(LineReader, APhysicalLineOver510CharactersArrivesInTwoCalls) {
  ASSERT_EQ(OpenInputFile(Write("f", std::string(600, 'x') + "\n").c_str(), 2), 1);
  ASSERT_EQ(GetFileLine(), 1);
  EXPECT_EQ(std::string(LineBuf), std::string(510, 'x'));
  ASSERT_EQ(GetFileLine(), 1);
  EXPECT_EQ(std::string(LineBuf), std::string(90, 'x') + "\n");
}

TEST_F(LineReader, AJoinedLineStopsAt4095Characters) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::string(299, 'x') + "\\\n";
  ASSERT_EQ(OpenInputFile(Write("f", text + "end\n").c_str(), 2), 1);
  ASSERT_EQ(GetFileLine(), 1);
  EXPECT_EQ(std::strlen(LineBuf), 4095u);
  EXPECT_EQ(LineLen, 13 * 301);
  EXPECT_EQ(std::string(LineBuf), text.substr(0, 4095));
}

TEST_F(LineReader, TextLinesSkipCommentsAndLinesWithoutATokenAndGiveTheFirstToken) {
  ASSERT_EQ(OpenInputFile(Write("f", "# c\n\n \t \n  word rest\nlast\n").c_str(), 2), 1);
  ASSERT_EQ(GetFileTextLine(" \t\n"), 1);
  EXPECT_STREQ(LineBuf, "word");
  ASSERT_EQ(GetFileTextLine(" \t\n"), 1);
  EXPECT_STREQ(LineBuf, "last");
  EXPECT_EQ(GetFileTextLine(" \t\n"), 0);
  EXPECT_EQ(GetFileTextLine(nullptr), 0);
}

TEST_F(LineReader, AFailedOpenWarnsAndLeavesTheFailedState) {
  const std::string missing = Dir() + "/pkg.list";
  Child c = RunChild([&] {
    std::strcpy(LineBuf, "stale");
    LineLen = 9;
    const int r = OpenInputFile(missing.c_str(), 1);
    std::printf("%d %d [%s] %d [%s]", r, FileStatus, LineBuf, LineLen, InputFileName);
  });
  EXPECT_EQ(c.out, "0 2 [] 0 [" + missing + "]");
  EXPECT_EQ(c.err, "WARNING: can't open file, " + missing + "\n");
}

TEST_F(LineReader, AFailedOpenInModeTwoEndsWithStatusZero) {
  const std::string missing = Dir() + "/pkg.list";
  Child c = RunChild([&] {
    OpenInputFile(missing.c_str(), 2);
    std::puts("not reached");
  });
  EXPECT_TRUE(c.Exited(0));
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(c.err, "ERROR: can't open file, " + missing + "\n");
}

TEST_F(LineReader, RefusesAPathThatDoesNotFitInputFileName) {
  const std::string path = LongExistingPath(INPUT_FILE_NAME_SIZE);
  ASSERT_EQ(access(path.c_str(), R_OK), 0);
  Child c = RunChild([&] {
    const int r = OpenInputFile(path.c_str(), 1);
    std::printf("%d %d [%s]", r, FileStatus, InputFileName);
  });
  EXPECT_EQ(c.out, "0 2 []");
  EXPECT_EQ(c.err, "WARNING: can't open file, " + path + "\n");

  const std::string fits = LongExistingPath(INPUT_FILE_NAME_SIZE - 1);
  EXPECT_EQ(OpenInputFile(fits.c_str(), 1), 1);
  EXPECT_EQ(std::string(InputFileName), fits);
}

TEST_F(LineReader, TheFormattedOpenRefusesPathsOver511Characters) {
  const std::string path = Write("f", "x\n");
  EXPECT_EQ(OpenInputFileF(2, "%s/%s", Dir().c_str(), "f"), 1);
  EXPECT_EQ(std::string(InputFileName), path);
  const std::string longer = std::string(600, '/') + "f";
  Child c = RunChild([&] {
    const int r = OpenInputFileF(1, "%s", longer.c_str());
    std::printf("%d %d", r, FileStatus);
  });
  EXPECT_EQ(c.out, "0 2");
  EXPECT_EQ(c.err, "WARNING: can't open file, " + longer.substr(0, 511) + "\n");
}

// ===== The comment-filtering reader =====

using FilteringReader = FilesTest;

TEST_F(FilteringReader, RemovesLineCommentsLeadingBlanksAndLineEnds) {
  ASSERT_EQ(OpenInputFile(Write("f", "  code // note\r\n\t// all comment\nplain\n").c_str(), 2), 1);
  EXPECT_EQ(GetLine(), 1);
  EXPECT_STREQ(Line, "code ");
  EXPECT_EQ(GetLine(), 1);
  EXPECT_STREQ(Line, "");
  EXPECT_EQ(GetLine(), 1);
  EXPECT_STREQ(Line, "plain");
  EXPECT_EQ(GetLine(), 0);
}

TEST_F(FilteringReader, RemovesBlockCommentsOnOneLineAndAcrossLines) {
  const std::string text = "a /* b */ c /* d */\nx /* start\n inside\n end */ y\nnext\n";
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
}

TEST_F(FilteringReader, AnUnclosedCommentKeepsTheTextBeforeItAndEndsWithTheFile) {
  ASSERT_EQ(OpenInputFile(Write("f", "keep /* open\nnever closed\n").c_str(), 2), 1);
  EXPECT_EQ(GetLine(), 2);
  EXPECT_STREQ(Line, "keep ");
  EXPECT_EQ(GetLine(), 0);
}

TEST_F(FilteringReader, TakesLinesRawWhenFilteringIsOffAndClearsTheFirst512Bytes) {
  ASSERT_EQ(OpenInputFile(Write("f", std::string(300, 'z') + "\n  raw // kept\n").c_str(), 2), 1);
  EXPECT_EQ(GetLine(), 1);
  flInputFilterState = 0;
  EXPECT_EQ(GetLine(), 1);
  EXPECT_STREQ(Line, "  raw // kept\n");
  for (size_t i = std::strlen(Line); i < 512; ++i) ASSERT_EQ(Line[i], '\0') << i;
}

TEST_F(FilteringReader, ReadsTheNthLineOrTheLineAtAPosition) {
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

TEST_F(WholeFile, ContentKeepsTheFirst4096BytesTerminated) {
  std::string big;
  for (int i = 0; i < 5000; ++i) big += static_cast<char>('a' + i % 26);
  Write("big", big);
  ASSERT_EQ(GetFileContent(Dir().c_str(), "big"), 1);
  EXPECT_EQ(std::string(LineBuf), big.substr(0, 4096));
  ASSERT_EQ(GetFileContent((Dir() + "/big").c_str(), nullptr), 1);
  EXPECT_EQ(std::strlen(LineBuf), 4096u);
  Write("empty", "");
  ASSERT_EQ(GetFileContent(Dir().c_str(), "empty"), 1);
  EXPECT_STREQ(LineBuf, "");
  EXPECT_EQ(GetFileContent(Dir().c_str(), "none"), 0);
}

TEST_F(WholeFile, SavedContentIsTheWholeFileOrNullWhenEmpty) {
  Write("empty", "");
  Write("one", "x");
  EXPECT_EQ(GetSavedFileContent(Dir().c_str(), "empty"), nullptr);
  EXPECT_EQ(SavedFileSize, 0);
  EXPECT_EQ(Take(GetSavedFileContent(Dir().c_str(), "one")), "x");
  EXPECT_EQ(SavedFileSize, 1);
  const std::string big(10000, 'b');
  Write("big", big);
  EXPECT_EQ(Take(GetSavedFileContent((Dir() + "/big").c_str(), nullptr)), big);
  EXPECT_EQ(SavedFileSize, 10000);
  EXPECT_EQ(GetSavedFileContent(Dir().c_str(), "none"), nullptr);
}

TEST_F(WholeFile, SavedContentRefusesAJoinedPathOf256CharactersOrMore) {
  const std::string path = LongExistingPath(256);
  EXPECT_EQ(GetSavedFileContent(path.c_str(), nullptr), nullptr);
  const std::string fits = LongExistingPath(255);
  EXPECT_EQ(Take(GetSavedFileContent(fits.c_str(), nullptr)), "content\n");
}

TEST_F(WholeFile, ContentIntoTheCallersBufferStopsAtTheCount) {
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

TEST_F(FindFileTest, FindsANameAmongTheDirectoryEntriesExactly) {
  EXPECT_EQ(FindFile("/etc", "passwd"), 1);
  EXPECT_EQ(FindFile(nullptr, "/etc/passwd"), 1);
  Write("Name", "");
  EXPECT_EQ(FindFile(Dir().c_str(), "Name"), 1);
  EXPECT_EQ(FindFile(Dir().c_str(), "NAME"), 0);
  EXPECT_EQ(FindFile(Dir().c_str(), "Nam"), 0);
  EXPECT_EQ(FindFile((Dir() + "/none").c_str(), "Name"), 0);
  EXPECT_EQ(FindFile(Dir().c_str(), "."), 1);
  EXPECT_EQ(FindFile(Dir().c_str(), ".."), 1);
}

TEST_F(FindFileTest, JoinsANameHoldingADirectoryPart) {
  ASSERT_EQ(mkdir((Dir() + "/sub").c_str(), 0755), 0);
  Write("sub/x", "");
  EXPECT_EQ(FindFile(Dir().c_str(), "sub/x"), 1);
  EXPECT_EQ(FindFile(Dir().c_str(), "sub/y"), 0);
  EXPECT_EQ(FindFile(Dir().c_str(), nullptr), 1);  // the directory itself, in its parent
  EXPECT_EQ(FindFile((Dir() + "/sub").c_str(), ""), 1);
  EXPECT_EQ(FindFile((Dir() + "/gone").c_str(), ""), 0);
}

TEST_F(FindFileTest, CountsADanglingLinkThatStatRejects) {
  ASSERT_EQ(symlink("/no/such/target", (Dir() + "/dangling").c_str()), 0);
  EXPECT_EQ(FindFile(Dir().c_str(), "dangling"), 1);
  EXPECT_EQ(FindFile_(Dir().c_str(), "dangling"), 0);
  Write("real", "");
  EXPECT_EQ(FindFile_(Dir().c_str(), "real"), 1);
  EXPECT_EQ(FindFile_((Dir() + "/real").c_str(), nullptr), 1);
  EXPECT_EQ(FindFile_(nullptr, nullptr), 0);
}

TEST_F(FindFileTest, NeverFindsANameWithABlankOrAnEmptyRequest) {
  Write("a", "");
  Write("b", "");
  EXPECT_EQ(FindFile(Dir().c_str(), "a b"), 0);
  EXPECT_EQ(FindFile(nullptr, ""), 0);
  EXPECT_EQ(FindFile(nullptr, nullptr), 0);
}

TEST_F(FindFileTest, TheRootGivenTwiceMatchesTheEmptyName) {
  EXPECT_EQ(FindFile("/", "/"), 1);
  EXPECT_EQ(FindFile(nullptr, "/"), 1);
}

TEST_F(FindFileTest, TheExistingPartIsTheNearestExistingAncestor) {
  char flag = 0;
  EXPECT_EQ(Take(FindExistingPath((Dir() + "/none/deeper").c_str(), &flag)), Dir());
  EXPECT_EQ(flag, 0);
  flag = 7;
  EXPECT_EQ(Take(FindExistingPath((Dir() + "/none").c_str(), &flag)), Dir());
  EXPECT_EQ(flag, 7);  // never set to 0
  flag = 0;
  EXPECT_EQ(Take(FindExistingPath(Dir().c_str(), &flag)), Dir());
  EXPECT_EQ(flag, 1);
  flag = 0;
  EXPECT_EQ(Take(FindExistingPath("/", &flag)), "/");
  EXPECT_EQ(flag, 1);
  flag = 0;
  EXPECT_EQ(Take(FindExistingPath("/kandu-none/deeper", &flag)), "/");
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(Take(FindExistingPath("kandu-none/deeper", &flag)), ".");
}

TEST_F(FindFileTest, AnOverlongPathIsWalkedFromItsLastWholeComponent) {
  const std::string path = Dir() + "/" + std::string(5000, 'n');
  char flag = 0;
  EXPECT_EQ(Take(FindExistingPath(path.c_str(), &flag)), Dir());
  EXPECT_EQ(flag, 0);
}

TEST_F(FindFileTest, TypesSizesAndTimesOfWhatThePathNames) {
  const std::string file = Write("f", "12345");
  ASSERT_EQ(mkdir((Dir() + "/d").c_str(), 0755), 0);
  ASSERT_EQ(symlink((Dir() + "/d").c_str(), (Dir() + "/link").c_str()), 0);
  EXPECT_EQ(GetFileType((Dir() + "/none").c_str()), 0);
  EXPECT_EQ(GetFileType((Dir() + "/d").c_str()), 1);
  EXPECT_EQ(GetFileType((Dir() + "/link").c_str()), 2);
  EXPECT_EQ(GetFileType(file.c_str()), 3);
  EXPECT_EQ(GetFileSize(file.c_str()), 5);
  EXPECT_EQ(GetFileSize((Dir() + "/none").c_str()), 0);
  struct utimbuf times = {1000000000, 1234567890};
  ASSERT_EQ(utime(file.c_str(), &times), 0);
  EXPECT_EQ(GetFileTime(file.c_str()), 1234567890);
  EXPECT_EQ(GetFileTime((Dir() + "/none").c_str()), 0);
}
