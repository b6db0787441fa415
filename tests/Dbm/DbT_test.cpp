// DbT_test.cpp - behaviour of the typed record database: the typed file bytes, legacy
// files kept in their format, reloading, batching, write-back and damaged files.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "DbmFixture.h"
#include "MemMgr/MemMgr.h"

using dbmtest::Bytes;
using dbmtest::Hex;
using dbmtest::LegacyRecord;
using dbmtest::TypedHeader;
using dbmtest::TypedRecord;

namespace {

class DbT : public dbmtest::DbmTest {
 protected:
  void TearDown() override {
    for (DbTHandle* h : handles_) DbTClose(h);
    DbmTest::TearDown();
  }
  DbTHandle* Open(const std::string& name, int flags = 0) {
    DbTHandle* h = DbTOpen(name.c_str(), flags);
    if (h) handles_.push_back(h);
    return h;
  }
  static std::string Get(DbTHandle* h, const char* key) {
    std::vector<char> buf(DBM_REC_BUF_SIZE);
    int n = DbmTGetRecord(h, key, buf.data());
    return std::string(buf.data(), static_cast<size_t>(n));
  }
  static int Put(DbTHandle* h, const char* key, const std::string& value) {
    return DbmTPutRecord(h, key, value.data(), static_cast<int>(value.size()));
  }
  // The file without its 8 header bytes after the count's zero (pseudo-random filler).
  std::string WithoutFiller(const std::string& path) {
    std::string bytes = Read(path);
    if (bytes.size() >= 16) bytes.replace(8, 8, 8, '\0');
    return bytes;
  }
  // What fn writes to standard error.
  template <typename F>
  static std::string Err(F fn) {
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
  }
  std::vector<DbTHandle*> handles_;
};

TEST_F(DbT, FirstPutOfANewDatabaseWritesTheTwentyFiveByteTypedFileWithTheCountInItsHeader) {
  DbTHandle* h = Open("t");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->Type, DBT_NEW);
  EXPECT_EQ(h->Size, 0);
  ASSERT_EQ(Put(h, "a", "xyz"), 1);
  std::string file = Read(DbFile("t"));
  ASSERT_EQ(file.size(), 25u);
  EXPECT_EQ(file.substr(0, 8), std::string("TXDBAA1\0", 8));
  // L = 7 and k = 2 big-endian, "a" and its zero chained, the value chained.
  EXPECT_EQ(Hex(file.substr(16)), Hex(Bytes({0x00, 0x07, 0x00, 0x02, 0x61, 0x00, 0x01, 0x03, 0x7a})));
  EXPECT_EQ(h->Type, DBT_TYPED);
  EXPECT_EQ(h->Count, 1);
  // The header holds the count in decimal, cut to nine digits.
  h->Count = 1234567890;
  UpdateHeader(h);
  EXPECT_EQ(std::string(h->pImage, 16), std::string("TXDBAA123456789\0", 16));
  h->Count = 42;
  UpdateHeader(h);
  EXPECT_EQ(std::string(h->pImage, 9), std::string("TXDBAA42\0", 9));
}

TEST_F(DbT, TypedFileRoundTripsThroughANewHandleAndALegacyFileKeepsItsFormat) {
  DbTHandle* w = Open("rt");
  Put(w, "alpha", "one");
  Put(w, "beta", std::string("t\0o", 3));
  Put(w, "alpha", "uno");
  EXPECT_EQ(WithoutFiller(DbFile("rt")),
            TypedHeader(2) + TypedRecord("beta", std::string("t\0o", 3)) + TypedRecord("alpha", "uno"));
  DbTHandle* r = Open("rt");
  EXPECT_EQ(r->Type, DBT_TYPED);
  EXPECT_EQ(r->Count, 2);
  EXPECT_EQ(Get(r, "alpha"), "uno");
  EXPECT_EQ(Get(r, "beta"), std::string("t\0o", 3));
  EXPECT_EQ(DbmTGetRecordSize(r, "beta"), 3);
  EXPECT_EQ(DbmTGetRecordSize(r, "gamma"), 0);
  EXPECT_EQ(Get(r, "alph"), "");
  // A legacy file is read and extended in its own format.
  ASSERT_EQ(DbmPutRecord("leg", "a", "xyz", 3), 1);
  const std::string before = Read(DbFile("leg"));  // its bytes: DbmRecords_test
  DbTHandle* h = Open("leg");
  EXPECT_EQ(h->Type, DBT_LEGACY);
  EXPECT_EQ(h->Swap, 0);
  char value[16] = {};
  ASSERT_EQ(DbmGetRecord("leg", "a", value), 3);
  EXPECT_EQ(Get(h, "a"), std::string(value, 3));
  ASSERT_EQ(Put(h, "bb", "more"), 1);
  EXPECT_EQ(Hex(Read(DbFile("leg"))), Hex(before + LegacyRecord("bb", "more")));
  char more[16] = {};
  EXPECT_EQ(DbmGetRecord("leg", "bb", more), 4);
  EXPECT_EQ(DbmTDeleteRecord(h, "a"), 1);
  EXPECT_EQ(Read(DbFile("leg")), LegacyRecord("bb", "more"));
}

TEST_F(DbT, NamesAndPathsChooseTheFile) {
  MakeDb();
  Write(DbFile("plain"), TypedHeader(1) + TypedRecord("k", "tool"));
  Write(Path("abs.xdb"), TypedHeader(1) + TypedRecord("k", "absolute"));
  Write(Path("noext.xdb"), TypedHeader(1) + TypedRecord("k", "appended"));
  Write(Path("rel.dat"), TypedHeader(1) + TypedRecord("k", "relative"));
  EXPECT_EQ(Get(Open("plain"), "k"), "tool");
  EXPECT_EQ(Get(Open(Path("abs.xdb")), "k"), "absolute");
  // The scratch folder's name may hold a "."; only a path without one gets ".xdb".
  if (Path("noext").find('.') == std::string::npos) {
    EXPECT_EQ(Get(Open(Path("noext")), "k"), "appended");
  }
  EXPECT_EQ(Get(Open("./rel.dat"), "k"), "relative");
  DbTHandle* exact = DbTOpenPath("rel.dat", 0);
  ASSERT_NE(exact, nullptr);
  handles_.push_back(exact);
  EXPECT_EQ(Get(exact, "k"), "relative");
}

TEST_F(DbT, HandleOpenedByAPathWritesBackToThatFileThroughALinkKeepingTheLink) {
  DbTHandle* abs = Open(Path("abs.xdb"));
  ASSERT_EQ(Put(abs, "a", "1"), 1);
  DbTHandle* rel = Open("./rel.xdb");
  ASSERT_EQ(Put(rel, "b", "2"), 1);
  EXPECT_EQ(WithoutFiller(Path("abs.xdb")), TypedHeader(1) + TypedRecord("a", "1"));
  EXPECT_EQ(WithoutFiller(Path("rel.xdb")), TypedHeader(1) + TypedRecord("b", "2"));
  EXPECT_FALSE(testutil::Exists(Path("db")));  // nothing went below the tool folder
  EXPECT_FALSE(testutil::Exists(Path("abs.xdb_new")));
  Write(Path("target.xdb"), TypedHeader(0));
  ASSERT_EQ(symlink("target.xdb", Path("link.xdb").c_str()), 0);
  ASSERT_EQ(Put(Open("./link.xdb"), "a", "1"), 1);
  struct stat st;
  ASSERT_EQ(lstat(Path("link.xdb").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(WithoutFiller(Path("target.xdb")), TypedHeader(1) + TypedRecord("a", "1"));
}

TEST_F(DbT, MissingOrEmptyFileIsAnEmptyDatabase) {
  DbTHandle* h = Open("missing");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->Changed, 0);
  EXPECT_EQ(Get(h, "a"), "");
  EXPECT_EQ(DbmTGetRecordList(h, ",", ","), nullptr);
  EXPECT_EQ(DbmTDeleteRecord(h, "a"), 0);
  EXPECT_EQ(DbTOpen(nullptr, 0), nullptr);
  EXPECT_FALSE(testutil::Exists(DbFile("missing")));
  // Archiving an untouched new handle writes an empty database.
  DbTHandle* blank = Open(Path("blank.xdb"));
  ASSERT_EQ(DbmTArchiveDb(blank), 1);
  EXPECT_EQ(WithoutFiller(Path("blank.xdb")), TypedHeader(0));
  // An empty file is an empty database that becomes typed.
  MakeDb();
  Write(DbFile("empty"), "");
  h = Open("empty");
  EXPECT_EQ(h->Type, DBT_NEW);
  EXPECT_EQ(h->Size, 16);
  EXPECT_EQ(std::string(h->pImage, 8), std::string("TXDBAA0\0", 8));
  ASSERT_EQ(Put(h, "k", "v"), 1);
  EXPECT_EQ(WithoutFiller(DbFile("empty")), TypedHeader(1) + TypedRecord("k", "v"));
}

TEST_F(DbT, RecordListsSelectionAndDeletionByPrefix) {
  DbTHandle* h = Open("sel");
  for (const char* k : {"netA", "ln", "lp0", "x"}) Put(h, k, "v");
  EXPECT_EQ(testutil::Take(DbmTGetRecordList(h, ",", ",")), ",netA,ln,lp0,x,");
  EXPECT_EQ(testutil::Take(DbmTGetRecordListS(h, "net,lp", ",", ",")), ",netA,lp0,");
  EXPECT_EQ(DbmTGetRecordListS(h, "zz", ",", ","), nullptr);
  // TestKeyName matches any name of the list as a prefix.
  EXPECT_EQ(TestKeyName("netA", "net,lp"), 1);
  EXPECT_EQ(TestKeyName("lp0", "net,lp"), 1);
  EXPECT_EQ(TestKeyName("ln", "net,lp"), 0);
  EXPECT_EQ(TestKeyName("ln", ",,ln,"), 1);  // empty names are skipped
  EXPECT_EQ(TestKeyName("ln", ""), 0);
  EXPECT_EQ(TestKeyName(nullptr, "a"), 0);
  EXPECT_EQ(TestKeyName("a", nullptr), 0);
  // DbmTDeleteRecords removes the prefixed keys only.
  h = Open("del");
  for (const char* k : {"a", "ab", "abc", "b"}) Put(h, k, k);
  EXPECT_EQ(DbmTDeleteRecords(h, "ab"), 1);
  EXPECT_EQ(WithoutFiller(DbFile("del")), TypedHeader(2) + TypedRecord("a", "a") + TypedRecord("b", "b"));
  EXPECT_EQ(DbmTDeleteRecords(h, "zz"), 1);
  EXPECT_EQ(DbmTDeleteRecords(h, ""), 0);
  EXPECT_EQ(DbmTDeleteRecord(h, "a"), 1);
  EXPECT_EQ(DbmTDeleteRecord(h, "a"), 0);
  EXPECT_EQ(h->Count, 1);
}

TEST_F(DbT, FlagFourBatchesChangesUntilArchive) {
  DbTHandle* h = Open("batch");
  Put(h, "a", "1");
  std::string before = Read(DbFile("batch"));
  DbTHandle* b = Open("batch", DBT_NO_WRITEBACK);
  EXPECT_EQ(Put(b, "b", "2"), 1);
  EXPECT_EQ(DbmTDeleteRecord(b, "a"), 1);
  EXPECT_EQ(Read(DbFile("batch")), before);
  EXPECT_EQ(Get(b, "b"), "2");
  EXPECT_EQ(DbmTArchiveDb(b), 1);
  EXPECT_EQ(WithoutFiller(DbFile("batch")), TypedHeader(1) + TypedRecord("b", "2"));
}

TEST_F(DbT, HandleSeesARewriteByAnotherProcessAtItsNextOperation) {
  DbTHandle* h = Open("shared");
  Put(h, "a", "old");
  h->Changed = 0;
  EXPECT_EQ(Get(h, "a"), "old");
  EXPECT_EQ(h->Changed, 0);  // nothing reloaded while the file stayed the same
  DbTHandle* frozen = Open("shared", DBT_NO_REFRESH);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    DbTHandle* other = DbTOpen("shared", 0);
    _exit(other && DbmTPutRecord(other, "a", "new", 3) == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(Get(h, "a"), "new");
  EXPECT_EQ(h->Changed, 1);
  EXPECT_EQ(Get(frozen, "a"), "old");  // flag 2: no reload
  DbTUpDate(frozen);
  EXPECT_EQ(Get(frozen, "a"), "new");
}

TEST_F(DbT, RecordsBeyondTheReadableLimitAreRefused) {
  DbTHandle* h = Open("lim");
  std::string most(65523, 'v');  // key "k": L = 2 + 2 + 65523 = 65527
  EXPECT_EQ(Put(h, "k", most), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Put(h, "k", most + "v"), 0);
  EXPECT_EQ(Put(h, "j", std::string(70000, 'x')), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(DbmTPutRecord(h, "k", "v", 0), 0);
  EXPECT_EQ(DbmTPutRecord(h, nullptr, "v", 1), 0);
  EXPECT_EQ(DbmTPutRecord(h, "k", nullptr, 1), 0);
  DbTHandle* r = Open("lim");
  EXPECT_EQ(Get(r, "k"), most);
  EXPECT_EQ(DbmTGetRecordSize(r, "j"), 0);
}

TEST_F(DbT, DamagedTypedOrLegacyFilesHeadersCutShortAndUnreadableFilesAreNeverReplaced) {
  MakeDb();
  std::string rec2 = TypedRecord("b", "2");
  rec2[0] = static_cast<char>(0x7f);  // L far beyond the end of the file
  std::string damaged = TypedHeader(3) + TypedRecord("a", "1") + rec2 + TypedRecord("c", "3");
  Write(DbFile("bad"), damaged);
  DbTHandle* h = Open("bad");
  EXPECT_EQ(h->CutAt, 23);
  EXPECT_EQ(Get(h, "a"), "1");
  EXPECT_EQ(Get(h, "c"), "");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Put(h, "n", "new"), 0);
  EXPECT_EQ(DbmTDeleteRecord(h, "a"), 0);
  EXPECT_EQ(DbmTDeleteRecords(h, "a"), 0);
  EXPECT_EQ(DbmTArchiveDb(h), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("bad.xdb: corrupt record at byte 23; the file is left as it is"), std::string::npos) << err;
  EXPECT_EQ(Read(DbFile("bad")), damaged);
  EXPECT_EQ(Get(h, "a"), "1");  // the image did not change either
  // A damaged legacy file, a header cut short or an unreadable file is never replaced either.
  const std::string legacy = LegacyRecord("a", "1") + Bytes({3, 0}) + dbmtest::Chain(Bytes({7, 0, 'x'}));
  Write(DbFile("lbad"), legacy);
  Write(DbFile("short"), "TXDBAA1");
  ASSERT_EQ(mkdir(DbFile("dir").c_str(), 0777), 0);  // a folder where the file should be
  const struct { const char* name; int type; long cutAt; const char* found; } rows[] = {
      {"lbad", DBT_LEGACY, 7, "1"}, {"short", DBT_TYPED, 0, ""}, {"dir", -1, 0, ""}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    DbTHandle* d = Open(r.name);
    if (r.type >= 0) {
      EXPECT_EQ(d->Type, r.type);
    }
    EXPECT_EQ(d->CutAt, r.cutAt);
    EXPECT_EQ(Get(d, "a"), r.found);
    const std::string msg = Err([&] { EXPECT_EQ(Put(d, "n", "v"), 0); });
    if (r.type < 0) {
      EXPECT_NE(msg.find("could not be read"), std::string::npos) << msg;
    }
  }
  EXPECT_EQ(Read(DbFile("lbad")), legacy);
  EXPECT_EQ(Read(DbFile("short")), "TXDBAA1");
  struct stat st;
  ASSERT_EQ(stat(DbFile("dir").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(DbT, WalkAndFindLeaveTheCursorAtKeyAndValueAndGetRecordVGrowsTheBuffer) {
  DbTHandle* h = Open("walk");
  Put(h, "one", "1");
  Put(h, "two", "22");
  DbTRec rec;
  std::string seen;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r; r = WalkDbTRecords(h, &rec, 1)) {
    char key[8] = {}, value[8] = {};
    ASSERT_EQ(DbmTGetData(h, key, r->k), 1);
    ASSERT_EQ(DbmTGetData(h, value, r->L - 2 - r->k), 1);
    seen += std::string(key) + "=" + value + ";";
  }
  EXPECT_EQ(seen, "one=1;two=22;");
  // Finding a record leaves the cursor at its value.
  ASSERT_EQ(FindTRecord(h, "two", &rec), 1);
  EXPECT_EQ(rec.L, 8);
  EXPECT_EQ(rec.k, 4);
  char value[4] = {};
  ASSERT_EQ(DbmTGetData(h, value, 2), 1);
  EXPECT_STREQ(value, "22");
  EXPECT_EQ(FindTRecord(h, "tw", &rec), 0);
  h->Cursor = h->Size - 1;
  char two[2];
  EXPECT_EQ(DbmTGetData(h, two, 2), 0);  // past the end of the image
  EXPECT_EQ(DbmTPutData(h, "xy", 2), 0);
  // DbmTGetRecordV grows the buffer for a long value.
  h = Open("v");
  std::string longer(100, 'L');
  Put(h, "long", longer);
  Put(h, "short", "s");
  char small[8] = {};
  char* buf = small;
  EXPECT_EQ(DbmTGetRecordV(h, "short", &buf, sizeof small), 1);
  EXPECT_EQ(buf, small);
  EXPECT_EQ(DbmTGetRecordV(h, "long", &buf, sizeof small), 100);
  ASSERT_NE(buf, small);
  EXPECT_EQ(std::string(buf), longer);  // zero-terminated
  PutMem(buf);
  EXPECT_EQ(DbmTGetRecordV(h, "none", &buf, 0), 0);
}

TEST_F(DbT, CopyRecordAndLinkListsOfTypedAndLegacyImages) {
  DbTHandle* h = Open("cl");
  Put(h, "netA", "one");
  Put(h, "lp0", "two");
  EXPECT_EQ(DbmTCopyRecord(h, "netA", "xnet"), 1);
  EXPECT_EQ(DbmTCopyRecord(h, "none", "y"), 0);
  DbLinkNode* list = DbmTGetDbLinkList(h, "net");
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->pKey, "netA");
  EXPECT_EQ(std::string(list->pData, static_cast<size_t>(list->DataSize)), "one");
  ASSERT_NE(list->pNext, nullptr);
  EXPECT_STREQ(list->pNext->pKey, "xnet");
  EXPECT_EQ(std::string(list->pNext->pData, 3), "one");
  EXPECT_EQ(list->pNext->pNext, nullptr);
  DbmFreeDbLinkList(list);
  // The same from a legacy image.
  ASSERT_EQ(DbmPutRecord("ll", "netA", "one", 3), 1);
  ASSERT_EQ(DbmPutRecord("ll", "ln", "two", 3), 1);
  DbTHandle* legacy = Open("ll");
  EXPECT_EQ(testutil::Take(DbmTGetRecordList(legacy, " ", "")), " netA ln");
  DbLinkNode* nodes = DbmTGetDbLinkList(legacy, "A");
  ASSERT_NE(nodes, nullptr);
  EXPECT_STREQ(nodes->pKey, "netA");
  EXPECT_EQ(std::string(nodes->pData, 3), "one");
  EXPECT_EQ(nodes->pNext, nullptr);
  DbmFreeDbLinkList(nodes);
}

TEST_F(DbT, FailedWriteBackReportsAndOverlongNamesAreRefused) {
  DbTHandle* h = Open(Path("nodir/x.xdb"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Put(h, "a", "v"), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("ERROR: can't open file"), std::string::npos);
  const std::string name(DBM_PATH_SIZE, 'n');
  EXPECT_EQ(DbTOpen(name.c_str(), 0), nullptr);
  EXPECT_EQ(DbTOpenPath(("/" + name).c_str(), 0), nullptr);
}

}  // namespace
