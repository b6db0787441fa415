// FileEdit_test.cpp - the line editors, OpenIOFiles and ReplaceInputFile: the edits,
// the output files and the replacement of the file in one step.
#include "Cases.h"

#include <sys/mount.h>

namespace {

// The file "conf.cfg" (base "conf", extension "cfg") in a scratch directory.
struct FileEdit : cases::InScratch {
  // What edit(base, "cfg", args...) leaves of text; it must succeed and leave no output file.
  template <typename Edit, typename... Args>
  std::string Ed(const std::string& text, Edit edit, Args... args) {
    Write(file_, text);
    EXPECT_EQ(edit(b, "cfg", args...), 0);
    EXPECT_FALSE(Exists(out_));
    return testutil::ReadFile(file_);
  }
  const char* b = "conf";
  const std::string file_ = "conf.cfg", out_ = "conf.cfgout";
};

}  // namespace

TEST_F(FileEdit, EditsEveryLineByItsRule) {
  char numbered[] = "%#0 ", started[] = "%s5%#0 ", late[] = "[%#2]\n", plain[] = "%d> ", cut[] = "> ";
  const std::string kv = "one key=val two\nplain\n", a600(600, 'a');
  Check({CASE(Ed("a=1\n=1=1\nb\n", FileChange, "=1", "=2"), "a=2\n=2=1\nb\n"),
         CASE(Ed("a b\n", FileChangeChar, "0x20", "0x3a,x,072"), "a::b\n"),
         CASE(Ed("a=1\n", FileChange, "=1", nullptr), "a\n"), CASE(Ed("a\nb\n", FileDelLine, 0, ""), "a\nb\n"),
         CASE(Ed("a\tb\t\n", FileChangeChar, "9", "32,32"), "a  b  \n"),
         // Deletions spare the first matching lines.
         CASE(Ed("x1\ny\nx2\naxbx\n", FileDel, 1, "x"), "x1\ny\n2\nabx\n"),
         CASE(Ed("x1\ny\nx2\nx3\n", FileDelLine, 1, "x"), "x1\ny\n"),
         CASE(Ed("E\nB\na\nE\nB\nb\nE\nc\n", FileDelLinePair, 1, "B", "E"), "E\nB\na\nE\nb\nc\n"),
         CASE(Ed(kv, FileDelFormat, "b", "key"), "key=val two\nplain\n"),
         CASE(Ed(kv, FileDelFormat, "a", "val"), "one key=val\nplain\n"),
         CASE(Ed(kv, FileDelFormat, "", "key="), "one val two\nplain\n"),
         CASE(Ed(kv, FileDelFormat, "c", "0x20"), "onekey=valtwo\nplain\n"),
         CASE(Ed(kv, FileDelFormat, "l", "key"), "plain\n"), CASE(FileDelFormat(b, "cfg", "x", "key"), 1),
         CASE(testutil::ReadFile(file_) + std::to_string(Exists(out_)), "plain\n0"),
         // Templates number the lines: "%s<n>" starts the counter, "%#<K>" places it less K.
         CASE(Ed("a\nb\n", FileInsert, started), "00005 a\n00006 b\n"), CASE(started, "%#0 "),
         CASE(Ed("a\nb\nc\n", FileInsert, late), "a\nb\n[00000]\nc\n"),
         CASE(Ed("a\nb\n", FileInsert, plain), "%d> a\n%d> b\n"), CASE(Ed("a\n", FileInsert, nullptr), "a\n"),
         CASE(Ed("x1\ny\nx2\n", FileSearchInsert, numbered, "x"), "00000 x1\ny\n00001 x2\n"),
         // A line longer than 511 characters is edited as several.
         CASE(Ed(a600 + "\n", FileInsert, cut), "> " + a600.substr(0, 511) + "> " + a600.substr(511) + "\n")});
}

// The edited text takes the file's place in one rename, keeping its permission bits;
// when the output cannot be written whole or the rename fails, the file stays as it was.
TEST_F(FileEdit, TheFileKeepsItsModeAndStaysWhenTheReplacementFails) {
  REQUIRE_SANDBOX();
  ASSERT_TRUE(Write(file_, "a=1\n") && Write("my conf.cfg", "a=1\n") && Write("shown", "a=2\n"));
  ASSERT_EQ(chmod(file_.c_str(), 0750), 0);
  bool mounted = false;
  const std::string err = testutil::CaptureFd(2, [&] {
    Check({CASE(FileChange(b, "cfg", "=1", "=2"), 0), CASE(testutil::Mode(file_), 0750),
           CASE(FileChange("my conf", "cfg", "=1", "=2"), 0), CASE(testutil::ReadFile("my conf.cfg"), "a=2\n"),
           CASE(Exists("my conf.cfgout") || Exists("my"), 0),
           CASE((symlink("/dev/full", out_.c_str()), FileChange(b, "cfg", "=2", "=3")), ENOSPC),
           CASE(testutil::ReadFile(file_) + std::to_string(Exists(out_)), "a=2\n0")});
    // A file that is a mount point cannot be renamed over: the edited text stays beside it.
    mounted = mount("shown", file_.c_str(), nullptr, MS_BIND, nullptr) == 0;
    if (mounted) Check({CASE(FileChange(b, "cfg", "=2", "=4"), EBUSY), CASE(testutil::ReadFile(out_), "a=4\n"),
                        CASE(umount(file_.c_str()), 0), CASE(testutil::ReadFile(file_), "a=2\n")});
  });
  if (!mounted) GTEST_SKIP() << "cannot bind-mount: " << std::strerror(errno);
  EXPECT_TRUE(HasAll(err, {out_ + ": " + std::strerror(ENOSPC), file_ + " by " + out_ + ": " + std::strerror(EBUSY)}))
      << err;
}

TEST_F(FileEdit, AFileThatCannotBeOpenedEndsTheProcess) {
  ASSERT_TRUE(Write(file_, "a\n") && Write(b, "a\n") && mkdir(out_.c_str(), 0755) == 0 && mkdir("conf.out", 0755) == 0);
  EXPECT_EXIT(FileDelLine(b, "none", 0, "x"), ::testing::ExitedWithCode(1), "conf\\.none : No such file");
  EXPECT_EXIT(FileChange(b, "cfg", "a", "b"), ::testing::ExitedWithCode(1), "conf\\.cfgout : Is a directory");
  EXPECT_EXIT(FileChange(b, "", "a", "b"), ::testing::ExitedWithCode(1), "conf\\.out : Is a directory");
}

TEST_F(FileEdit, OpenIOFilesAndReplaceInputFileRewriteTheFile) {
  const std::string longBase(121, 'n');  // "<base>.cfgout" of 128 characters
  ASSERT_TRUE(Write(file_, "a\nb\n") && Write(longBase + ".cfg", "a\n") && Write(longBase.substr(1) + ".cfg", "a\n"));
  const auto copy = [](FILE* out) {
    for (char line[64]; fgets(line, sizeof line, pIn);) fprintf(out, "<%s", line);
    return ReplaceInputFile() + (pIn || pOut);
  };
  const std::string err = testutil::CaptureFd(2, [&] {
    Check({CASE(copy(OpenIOFiles(b, "cfg")), 0), CASE(Fn, file_), CASE(FnOut, out_),
           CASE(testutil::ReadFile(file_), "<a\n<b\n"),
           CASE(ReplaceInputFile(), ENOENT),
           // A name of 128 characters or more opens nothing.
           CASE(OpenIOFiles(longBase.c_str(), "cfg") || pOut, 0), CASE(Fn, ""), CASE(ReplaceInputFile(), 1),
           CASE(testutil::ReadFile(longBase + ".cfg"), "a\n"),
           CASE(OpenIOFiles(longBase.substr(1).c_str(), "cfg") != nullptr, 1), CASE(ReplaceInputFile(), 0)});
  });
  EXPECT_TRUE(HasAll(err, {longBase + ".cfgout\n"})) << err;
}
