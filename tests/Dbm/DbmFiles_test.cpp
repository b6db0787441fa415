// DbmFiles_test.cpp - the record database's files: the bytes of both formats, names and
// paths, damaged files never rewritten, planted temporary files, links, other writers,
// and the rest of the interface.
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <string>
#include <vector>

#include "DbmFixture.h"

namespace {

using namespace dbmtest;
using namespace testutil;
constexpr auto npos = std::string::npos;
using DbmFiles = DbmTest;

std::string Get(DbTHandle* h, const char* key) {
  std::vector<char> buf(DBM_REC_BUF_SIZE);
  return std::string(buf.data(), static_cast<size_t>(DbmTGetRecord(h, key, buf.data())));
}

int Put(DbTHandle* h, const char* key, const std::string& v) {
  return DbmTPutRecord(h, key, v.data(), static_cast<int>(v.size()));
}

// The bytes the tests' encoders build, which the model test holds the files to: lengths
// in host order or big-endian, payloads chained; a header's count cut to nine digits;
// new files of mode 666, rewritten ones keeping theirs.
TEST_F(DbmFiles, WritesTheBytesOfBothFormats) {
  ASSERT_EQ(DbmPutRecord("s", "a", "xyz", 3), 1);
  DbTHandle* h = Open("t");
  ASSERT_EQ(Put(h, "a", "xyz"), 1);
  h->Count = 1234567890;
  UpdateHeader(h);
  EXPECT_EQ(std::string(h->pImage, 16), std::string("TXDBAA123456789", 16));
  const std::string many(296, 'v');  // lengths above 255
  EXPECT_EQ(LegacyRecord("a", "xyz") + TypedRecord("bc", "12") + LegacyRecord("k", many).substr(0, 4) +
                TypedRecord("k", many).substr(0, 4),
            std::string("\x07\0\x02\x61\x61\x78\x01\x03\x7a\0\x07\0\x03\x01\x63\0\x03\x32\x2c\x01\x02\x6b\x01\x2c\0\x02", 26));
  EXPECT_EQ(testutil::Mode("db/s.xdb"), 0666);
  ASSERT_EQ(chmod("db/s.xdb", 0640), 0);
  ASSERT_EQ(DbmPutRecord("s", "b", "v", 1) + Put(Open("s"), "c", "v"), 2);
  EXPECT_EQ(testutil::Mode("db/s.xdb"), 0640);
}

// A plain name lies in "<tool>/db"; "/path" with a "." and "./path" name their file,
// "/path" without one gets ".xdb"; through a link, the file the link names is written
// and the link stays; names too long are refused.
TEST_F(DbmFiles, NamesAndPathsChooseTheFile) {
  const std::string noext = dir_ / "noext";
  const struct { std::string name, file; } rows[] = {{"plain", "db/plain.xdb"}, {dir_ / "abs.xdb", "abs.xdb"},
                                                     {"./rel.dat", "rel.dat"}, {noext, "noext.xdb"}, {"./link.xdb", "target.xdb"}};
  ASSERT_TRUE(WriteFile("rel.dat", "") && WriteFile("target.xdb", TypedHeader(0)));  // empty databases
  ASSERT_EQ(symlink("target.xdb", "link.xdb"), 0);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    if (r.name == noext && noext.find('.') != npos) continue;  // the scratch folder's name has one
    ASSERT_EQ(Put(Open(r.name), "k", r.file), 1);
    EXPECT_EQ(WithoutFiller(ReadFile(r.file)), TypedHeader(1) + TypedRecord("k", r.file));
  }
  struct stat st;
  EXPECT_TRUE(lstat("link.xdb", &st) == 0 && S_ISLNK(st.st_mode));
  handles_.push_back(DbTOpenPath("rel.dat", 0));
  EXPECT_EQ(Get(handles_.back(), "k"), "rel.dat");
  const std::string longName(DBM_PATH_SIZE, 'n');
  EXPECT_FALSE(DbTOpen(longName.c_str(), 0) || DbTOpenPath(("/" + longName).c_str(), 0) || DbTOpen(nullptr, 0) ||
               DbmPutRecord(longName.c_str(), "a", "v", 1) || OpenDataBase(longName.c_str(), "xdb", "rb", 0));
}

// Missing arguments, an empty prefix, a database that does not exist: nothing is
// stored, found or created.
TEST_F(DbmFiles, RefusesMissingArgumentsAndFindsNothingInMissingFiles) {
  DbTHandle* h = Open("none");
  const int results[] = {DbmPutRecord(nullptr, "a", "v", 1), DbmPutRecord("n", nullptr, "v", 1), DbmPutRecord("n", "a", nullptr, 1),
                         DbmPutRecord("n", "a", "v", 0), DbmTPutRecord(h, nullptr, "v", 1), DbmTPutRecord(h, "a", nullptr, 1),
                         DbmTPutRecord(h, "a", "v", 0), DbmDeleteRecords("n", ""), DbmDeleteRecords("n", nullptr),
                         DbmTDeleteRecords(h, ""), DbmTDeleteRecord(h, "a"), DbmGetRecordSize("n", "a"), DbmDeleteRecord("n", "a"),
                         DbmDeleteRecords("n", "a"), DbmCopyRecord("n", "a", "b"), DbmTCopyRecord(h, "a", "b")};
  for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], 0) << "call " << i;
  EXPECT_FALSE(DbmGetRecordList("n", ",", ",") || DbmGetDbLinkList("n", "") || DbmTGetRecordList(h, ",", ","));
  EXPECT_FALSE(testutil::Exists("db"));
}

// A damaged file is read up to the damage and never rewritten: every change through
// either layer is refused with the place of the damage, and its bytes stay.
TEST_F(DbmFiles, DamagedFilesAreNeverRewritten) {
  ASSERT_EQ(mkdir("db", 0777), 0);
  std::string farL = TypedRecord("b", "2");
  farL[0] = 0x7f;  // L far beyond the end of the file
  const struct { const char* name; std::string bytes; int cutAt; const char* found; } rows[] = {
      {"typed", TypedHeader(3) + TypedRecord("a", "1") + farL + TypedRecord("c", "3"), 23, "1"},
      {"legacy", LegacyRecord("a", "1") + std::string("\xff\0junk", 6) + LegacyRecord("c", "3"), 7, "1"},
      {"keylong", LegacyRecord("a", "1") + std::string("\5\0", 2) + Chain(std::string("\x09\0a\0v", 5)), 7, "1"},
      {"short", "TXDBAA1", 0, ""},  // a typed header cut short
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const std::string file = "db/" + std::string(r.name) + ".xdb";
    const bool legacy = r.bytes[0] != 'T';
    ASSERT_TRUE(WriteFile(file, r.bytes));
    DbTHandle* h = Open(r.name);
    EXPECT_EQ(h->CutAt, r.cutAt);
    EXPECT_EQ(Get(h, "a") + "|" + Get(h, "c"), r.found + std::string("|"));
    std::string refused;  // the result of every change through the handle, then the file layer
    const std::string err = testutil::CaptureFd(2, [&] {
      for (int got : {Put(h, "n", "v"), DbmTDeleteRecord(h, "a"), DbmTDeleteRecords(h, "a"), DbmTArchiveDb(h)}) refused += std::to_string(got);
      if (!legacy) return;  // the file layer reads the record file format only
      for (int got : {DbmPutRecord(r.name, "n", "v", 1), DbmDeleteRecord(r.name, "a"), DbmDeleteRecords(r.name, "a")}) refused += std::to_string(got);
    });
    EXPECT_EQ(refused, legacy ? "0000000" : "0000");
    const std::string says = file + ": corrupt record at byte " + std::to_string(r.cutAt) + "; the file is left as it is\n";
    size_t times = 0;  // each refusal says why
    for (size_t at = err.find(says); at != npos; at = err.find(says, at + 1)) ++times;
    EXPECT_EQ(times, refused.size()) << err;
    EXPECT_EQ(ReadFile(file), r.bytes);
    std::vector<char> buf(DBM_REC_BUF_SIZE);
    EXPECT_EQ(DbmGetRecord(r.name, "a", buf.data()), legacy ? 1 : 0);  // the file layer too reads up to the damage
  }
  ASSERT_EQ(mkdir("db/dir.xdb", 0777), 0);  // a folder where the file should be: unreadable
  DbTHandle* d = Open("dir");
  EXPECT_NE(testutil::CaptureFd(2, [&] { EXPECT_EQ(Put(d, "n", "v"), 0); }).find("dir.xdb could not be read; the file is left as it is"), npos);
  EXPECT_EQ(testutil::Mode("db/dir.xdb"), 0777 & ~umask(022)) << "still the folder";
}

// A link or a fifo planted where the new file is written is replaced, never written
// through nor waited on: by the file layer, a handle by name and a handle by path.
TEST_F(DbmFiles, PlantedTemporaryFileIsReplaced) {
  ASSERT_TRUE(WriteFile("victim", "precious"));
  ASSERT_EQ(mkdir("db", 0777), 0);
  const struct { std::string name, tmp, file; bool handle; } rows[] = {
      {"f", "db/f.xdb_new", "db/f.xdb", false}, {"t", "db/t.xdb_new", "db/t.xdb", true}, {"./p.xdb", "p.xdb_new", "p.xdb", true}};
  for (bool fifo : {false, true}) {
    for (const auto& r : rows) {
      SCOPED_TRACE((fifo ? "fifo at " : "link at ") + r.tmp);
      ASSERT_EQ(fifo ? mkfifo(r.tmp.c_str(), 0666) : symlink((dir_ / "victim").c_str(), r.tmp.c_str()), 0);
      alarm(60);  // a write into the fifo would wait for ever
      ASSERT_EQ(r.handle ? Put(Open(r.name), "k", "v") : DbmPutRecord(r.name.c_str(), "k", "v", 1), 1);
      alarm(0);
      EXPECT_EQ(ReadFile("victim"), "precious");
      EXPECT_FALSE(testutil::Exists(r.tmp));
      EXPECT_EQ(WithoutFiller(ReadFile(r.file)), r.handle ? TypedHeader(1) + TypedRecord("k", "v") : LegacyRecord("k", "v"));
    }
  }
}

// A handle sees a rewrite by another process at its next operation; one told not to
// look (DBT_NO_REFRESH) sees it after DbTUpDate.
TEST_F(DbmFiles, HandleSeesAnotherProcessRewrite) {
  DbTHandle* h = Open("shared");
  ASSERT_EQ(Put(h, "a", "old"), 1);
  DbTHandle* frozen = Open("shared", DBT_NO_REFRESH);
  EXPECT_EQ(testutil::RunChild([] { return DbmTPutRecord(DbTOpen("shared", 0), "a", "new", 3); }).value, 1);
  EXPECT_EQ(Get(h, "a"), "new");
  EXPECT_EQ(Get(frozen, "a"), "old");
  DbTUpDate(frozen);
  EXPECT_EQ(Get(frozen, "a"), "new");
}

// Keys selected by names, a value buffer that grows, the cursor's bounds.
TEST_F(DbmFiles, KeyNamesValueBuffersAndCursor) {
  DbTHandle* h = Open("sel");
  for (const char* k : {"netA", "ln", "lp0"}) Put(h, k, std::string(100, k[0]));
  Put(h, "s", "x");
  EXPECT_EQ(testutil::Take(DbmTGetRecordListS(h, "net,lp", ",", ";")), ",netA,lp0;");
  EXPECT_EQ(DbmTGetRecordListS(h, "zz", ",", ";"), nullptr);
  const struct { const char *key, *names; int want; } names[] = {
      {"netA", "net,lp", 1}, {"lp0", "net,lp", 1}, {"ln", "net,lp", 0}, {"ln", ",,ln,", 1}, {"ln", "", 0}, {nullptr, "a", 0}, {"a", nullptr, 0}};
  for (const auto& n : names) EXPECT_EQ(TestKeyName(n.key, n.names), n.want) << (n.key ? n.key : "null") << " in " << (n.names ? n.names : "null");
  char small[8] = {};
  char* buf = small;
  EXPECT_EQ(DbmTGetRecordV(h, "s", &buf, sizeof small), 1);
  EXPECT_EQ(buf, small);
  EXPECT_EQ(DbmTGetRecordV(h, "netA", &buf, sizeof small), 100);
  EXPECT_EQ(testutil::Take(buf), std::string(100, 'n'));  // a new buffer, zero-terminated
  EXPECT_EQ(DbmTGetRecordV(h, "none", &buf, 0), 0);
  h->Cursor = h->Size - 1;
  EXPECT_EQ(DbmTGetData(h, small, 2) + DbmTPutData(h, "xy", 2), 0);  // past the end of the image
}

// The database list of "db" in directory order, the dump of a ".db" file, renames, a
// failed rename and a failed write-back, and the stream's refusal of an overlong record.
TEST_F(DbmFiles, ListsDumpsRenamesAndFailures) {
  EXPECT_EQ(DbmGetDbList(0), nullptr);  // no db folder
  ASSERT_EQ(mkdir("db", 0777), 0);
  for (const char* f : {"a.xdb", "b.xdb", "c.xdb_new", "d.e.xdb", ".xdb"}) WriteFile("db/" + std::string(f), "");
  const std::string comma = testutil::Take(DbmGetDbList(0)), blank = testutil::Take(DbmGetDbList(1));
  EXPECT_TRUE(comma == "a,b" || comma == "b,a") << comma;  // in the directory's order
  EXPECT_EQ(blank, comma == "a,b" ? " a b" : " b a");
  WriteFile("dump.db", LegacyRecord("a", "x\ny") + LegacyRecord("key", "v"));
  testing::internal::CaptureStdout();
  DumpDbm("dump");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "7 2 ==>{a.x.y}\n7 4 ==>{key.v}\n");
  ASSERT_EQ(DbmPutRecord("r", "a", "v", 1), 1);
  EXPECT_EQ(RenameDataBase("r", "xdb", "bak"), 1);
  EXPECT_EQ(ReadFile("db/r.bak"), LegacyRecord("a", "v"));
  EXPECT_NE(testutil::CaptureFd(2, [] { EXPECT_EQ(RenameDataBase("r", "xdb", "bak"), 0); }).find("can't rename"), npos);
  ASSERT_EQ(mkdir("db/x.xdb", 0777) + mkdir("db/x.xdb/keep", 0777), 0);  // a rewrite cannot replace a full folder
  EXPECT_NE(testutil::CaptureFd(2, [] { EXPECT_EQ(DbmDeleteRecords("x", "a"), 0); }).find("can't rename"), npos);
  EXPECT_FALSE(testutil::Exists("db/x.xdb_new"));
  EXPECT_NE(testutil::CaptureFd(2, [&] { EXPECT_EQ(Put(Open(dir_ / "nodir/x.xdb"), "a", "v"), 0); }).find("ERROR: can't open file"), npos);
  char rec[DBM_REC_BUF_SIZE] = {'\xf8', '\xff'};
  EXPECT_EQ(PutData(stdout, rec), 0);
}

}  // namespace
