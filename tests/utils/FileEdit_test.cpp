// FileEdit_test.cpp - behaviour of the line editors and of OpenIOFiles and
// ReplaceInputFile: the edits, the output-file names and the replacement of the file.
#include "utils/utils.h"

#include "testutil.h"

#include <cerrno>
#include <string>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

using testutil::Exists;

// A file "conf.cfg" (base "conf", extension "cfg") in a scratch directory.
class FileEditTest : public ::testing::Test {
 protected:
  void Write(const std::string& text) { ASSERT_TRUE(testutil::WriteFile(file_, text)); }
  std::string Read() const { return testutil::ReadFile(file_); }
  // The file's text after the edit, which must report success; no output file is left.
  template <typename Edit>
  std::string After(const std::string& text, Edit edit) {
    Write(text);
    EXPECT_EQ(edit(), 0);
    EXPECT_FALSE(Exists(base_ + ".cfgout"));
    return Read();
  }

  testutil::ScratchDir dir_;
  std::string base_ = dir_ / "conf";
  std::string file_ = base_ + ".cfg";
  const char* b_ = base_.c_str();
};

}  // namespace

// ===== The editors =====

TEST_F(FileEditTest, ChangeReplacesTheFirstOccurrenceInEachLineAndChangeCharEveryCharacter) {
  EXPECT_EQ(After("a=1\n=1=1\nb=3\n", [&] { return FileChange(b_, "cfg", "=1", "=2"); }), "a=2\n=2=1\nb=3\n");
  EXPECT_EQ(After("a\tb\t\nc\n", [&] { return FileChangeChar(b_, "cfg", "9", "32,32"); }), "a  b  \nc\n");
  // Codes in hexadecimal and octal, as %i reads them.
  EXPECT_EQ(After(Read(), [&] { return FileChangeChar(b_, "cfg", "0x20", "0x3a,072"); }), "a::::b::::\nc\n");
}

TEST_F(FileEditTest, DeletionsSpareTheFirstMatchingLinesOrPairs) {
  // FileDel cuts the text after the spared lines, FileDelLine deletes whole lines.
  EXPECT_EQ(After("x1\ny\nx2\naxbx\n", [&] { return FileDel(b_, "cfg", 1, "x"); }), "x1\ny\n2\nabx\n");
  EXPECT_EQ(After("x1\ny\nx2\nx3\n", [&] { return FileDelLine(b_, "cfg", 1, "x"); }), "x1\ny\n");
  EXPECT_EQ(After("a\nb\n", [&] { return FileDelLine(b_, "cfg", 0, ""); }), "a\nb\n");  // "" matches no line
  // A start line and the next end line go; the first pair is spared; a lone end line stays.
  EXPECT_EQ(After("BEGIN\nkeep\nEND\nafter\n", [&] { return FileDelLinePair(b_, "cfg", 0, "BEGIN", "END"); }),
            "keep\nafter\n");
  EXPECT_EQ(After("END\nBEGIN\na\nEND\nBEGIN\nb\nEND\nc\n",
                  [&] { return FileDelLinePair(b_, "cfg", 1, "BEGIN", "END"); }),
            "END\nBEGIN\na\nEND\nb\nc\n");
}

TEST_F(FileEditTest, FileDelFormatEditsByTheModeLetterAndRefusesAnother) {
  const std::string text = "one key=val two\nplain\n";
  const struct { const char* mode; const char* what; const char* result; } rows[] = {
      {"b", "key", "key=val two\nplain\n"}, {"a", "val", "one key=val\nplain\n"}, {"", "key=", "one val two\nplain\n"},
      {"c", "0x20", "onekey=valtwo\nplain\n"}, {"l", "key", "plain\n"},  // l: as FileDelLine sparing none
  };
  for (const auto& r : rows) {
    EXPECT_EQ(After(text, [&] { return FileDelFormat(b_, "cfg", r.mode, r.what); }), r.result) << r.mode;
  }
  Write("key=val\n");
  EXPECT_EQ(FileDelFormat(b_, "cfg", "x", "key"), 1);
  EXPECT_EQ(Read(), "key=val\n");
  EXPECT_FALSE(Exists(base_ + ".cfgout"));
}

TEST_F(FileEditTest, FileInsertNumbersTheLinesFromTheTemplateAndEditsALongLineAsSeveral) {
  char numbered[] = "%#0 ", started[] = "%s5%#0 ", late[] = "[%#2]\n", plain[] = "%d> ", matching[] = "%#0 ";
  EXPECT_EQ(After("a\nb\nc\n", [&] { return FileInsert(b_, "cfg", numbered); }), "00000 a\n00001 b\n00002 c\n");
  EXPECT_EQ(After("a\nb\n", [&] { return FileInsert(b_, "cfg", started); }), "00005 a\n00006 b\n");
  EXPECT_STREQ(started, "%#0 ");  // the start directive is taken out of the template
  // Nothing is written while the counter is below the offset; a template without counter stands as it is.
  EXPECT_EQ(After("a\nb\nc\n", [&] { return FileInsert(b_, "cfg", late); }), "a\nb\n[00000]\nc\n");
  EXPECT_EQ(After("a\nb\n", [&] { return FileInsert(b_, "cfg", plain); }), "%d> a\n%d> b\n");
  // FileSearchInsert numbers only the matching lines.
  EXPECT_EQ(After("x1\ny\nx2\n", [&] { return FileSearchInsert(b_, "cfg", matching, "x"); }),
            "00000 x1\ny\n00001 x2\n");
  // A line longer than 510 characters is edited as several lines.
  const std::string longLine(600, 'a');
  char templ[] = "> ";
  EXPECT_EQ(After(longLine + "\n", [&] { return FileInsert(b_, "cfg", templ); }),
            "> " + longLine.substr(0, 511) + "> " + longLine.substr(511) + "\n");
}

TEST_F(FileEditTest, TheFileKeepsItsPermissionBitsAndANameWithBlanksIsReplacedInPlace) {
  Write("a=1\n");
  ASSERT_EQ(chmod(file_.c_str(), 0750), 0);
  EXPECT_EQ(FileChange(b_, "cfg", "1", "2"), 0);
  EXPECT_EQ(testutil::Mode(file_), 0750);
  // A name with blanks is replaced in place.
  const std::string base = dir_ / "my conf";
  ASSERT_TRUE(testutil::WriteFile(base + ".cfg", "a=1\n"));
  EXPECT_EQ(FileChange(base.c_str(), "cfg", "=1", "=2"), 0);
  EXPECT_EQ(testutil::ReadFile(base + ".cfg"), "a=2\n");
  EXPECT_FALSE(Exists(base + ".cfgout"));
  EXPECT_FALSE(Exists(dir_ / "my"));
}

// ===== Names, open failures and the replacement =====

TEST_F(FileEditTest, AFileThatCannotBeOpenedEndsTheProcessAndNamesTheOutputFile) {
  EXPECT_EXIT(FileDelLine(b_, "none", 0, "x"), ::testing::ExitedWithCode(1),
              "can't open file, " + base_ + "\\.none : No such file or directory");
  // An output name taken by a directory cannot be opened: base and extension, or base.out.
  ASSERT_EQ(mkdir((base_ + ".cfgout").c_str(), 0755), 0);
  Write("a\n");
  EXPECT_EXIT(FileChange(b_, "cfg", "a", "b"), ::testing::ExitedWithCode(1),
              "can't open file, " + base_ + "\\.cfgout");
  ASSERT_EQ(mkdir((base_ + ".out").c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteFile(base_, "a\n"));
  EXPECT_EXIT(FileChange(b_, "", "a", "b"), ::testing::ExitedWithCode(1),
              "can't open file, " + base_ + "\\.out");
}

TEST_F(FileEditTest, AFailingRenameKeepsTheOriginalAndTheEditedText) {
  REQUIRE_SANDBOX();
  // A file that is a mount point cannot be renamed over.
  Write("a=1\n");
  const std::string shown = dir_ / "shown";
  ASSERT_TRUE(testutil::WriteFile(shown, "a=1\n"));
  if (mount(shown.c_str(), file_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "cannot bind-mount: " << strerror(errno);
  }
  testing::internal::CaptureStderr();
  int status = FileChange(b_, "cfg", "=1", "=2");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, EBUSY);
  EXPECT_EQ(err, "WARNING: can't replace " + file_ + " by " + file_ + "out: " + strerror(EBUSY) + "\n");
  EXPECT_EQ(testutil::ReadFile(base_ + ".cfgout"), "a=2\n");
  ASSERT_EQ(umount(file_.c_str()), 0);
  EXPECT_EQ(Read(), "a=1\n");
}

// ===== OpenIOFiles and ReplaceInputFile =====

TEST_F(FileEditTest, OpenIOFilesAndReplaceInputFileRewriteTheFileWithOrWithoutExtension) {
  Write("a\nb\n");
  FILE* out = OpenIOFiles(b_, "cfg");
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out, pOut);
  EXPECT_EQ(std::string(Fn), file_);
  EXPECT_EQ(std::string(FnOut), file_ + "out");
  char line[64];
  while (fgets(line, sizeof(line), pIn)) fprintf(pOut, "<%s", line);
  EXPECT_EQ(ReplaceInputFile(), 0);
  EXPECT_EQ(pIn, nullptr);
  EXPECT_EQ(pOut, nullptr);
  EXPECT_EQ(Read(), "<a\n<b\n");
  // A second round opens afresh; nothing closed is closed again.
  ASSERT_NE(OpenIOFiles(b_, "cfg"), nullptr);
  fputs("new\n", pOut);
  EXPECT_EQ(ReplaceInputFile(), 0);
  EXPECT_EQ(Read(), "new\n");
  // Without extension, out is added to the name.
  ASSERT_TRUE(testutil::WriteFile(base_, "a\n"));
  ASSERT_NE(OpenIOFiles(b_, ""), nullptr);
  EXPECT_EQ(std::string(FnOut), base_ + "out");
  EXPECT_EQ(ReplaceInputFile(), 0);
  EXPECT_EQ(testutil::ReadFile(base_), "");
}

TEST_F(FileEditTest, OpenIOFilesRefusesANameOfMoreThan127Characters) {
  const std::string longBase = dir_ / std::string(126 - dir_.path().size(), 'n');
  ASSERT_TRUE(testutil::WriteFile(longBase + ".cfg", "a\n"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(OpenIOFiles(longBase.c_str(), "cfg"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "WARNING: file name too long, " + longBase + ".cfgout\n");
  EXPECT_STREQ(Fn, "");
  EXPECT_EQ(pOut, nullptr);
  EXPECT_NE(ReplaceInputFile(), 0);
  EXPECT_EQ(testutil::ReadFile(longBase + ".cfg"), "a\n");
}
