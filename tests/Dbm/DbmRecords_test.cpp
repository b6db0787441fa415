// DbmRecords_test.cpp - behaviour of the record database files: the stored bytes,
// replacing, finding, deleting, listing and the refusal to lose damaged records.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "DbmFixture.h"
#include "MemMgr/MemMgr.h"

using dbmtest::Bytes;
using dbmtest::Hex;
using dbmtest::LegacyRecord;
using testutil::Take;

namespace {

class DbmRecords : public dbmtest::DbmTest {
 protected:
  // The value of key as a string ("" when there is none).
  std::string Get(const char* name, const char* key) {
    std::vector<char> buf(DBM_REC_BUF_SIZE);
    int n = DbmGetRecord(name, key, buf.data());
    return std::string(buf.data(), static_cast<size_t>(n));
  }
  int Put(const char* name, const char* key, const std::string& value) {
    return DbmPutRecord(name, key, value.data(), static_cast<int>(value.size()));
  }
  // What fn writes to standard error.
  template <typename F>
  std::string Err(F fn) {
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
  }
};

TEST_F(DbmRecords, StoresTheRecordBytesWithLengthsInHostOrderInANewDbFolderFileOfMode666) {
  ASSERT_EQ(Put("s", "a", "xyz"), 1);
  // L = 7 and k = 2, little-endian on this host; the payload 02 00 'a' 00 'x' 'y' 'z'
  // is stored as the XOR chain with its last byte plain.
  EXPECT_EQ(Hex(Read(DbFile("s"))), Hex(Bytes({0x07, 0x00, 0x02, 0x61, 0x61, 0x78, 0x01, 0x03, 0x7a})));
  EXPECT_EQ(Get("s", "a"), "xyz");
  EXPECT_FALSE(testutil::Exists(Path("db/s.xdb_new")));  // no temporary file is left
  struct stat st;
  ASSERT_EQ(stat(Path("db").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(testutil::Mode(DbFile("s")), 0666);
  ASSERT_EQ(chmod(DbFile("s").c_str(), 0640), 0);
  ASSERT_EQ(Put("s", "k2", "v"), 1);
  EXPECT_EQ(testutil::Mode(DbFile("s")), 0640);  // a rewrite keeps the file's mode
}

TEST_F(DbmRecords, ReplacingAKeyLeavesOneRecordAtTheEndAndKeysMatchExactly) {
  ASSERT_EQ(Put("r", "a", "1"), 1);
  ASSERT_EQ(Put("r", "b", "2"), 1);
  ASSERT_EQ(Put("r", "a", "33"), 1);
  EXPECT_EQ(Hex(Read(DbFile("r"))), Hex(LegacyRecord("b", "2") + LegacyRecord("a", "33")));
  EXPECT_EQ(Get("r", "a"), "33");
  ASSERT_EQ(Put("p", "abc", "long"), 1);
  EXPECT_EQ(DbmGetRecordSize("p", "ab"), 0);
  EXPECT_EQ(Get("p", "ab"), "");
  ASSERT_EQ(Put("q", "ab", "short"), 1);
  EXPECT_EQ(DbmGetRecordSize("q", "abc"), 0);
  EXPECT_EQ(DbmGetRecordSize("q", "ab"), 5);
}

TEST_F(DbmRecords, MissingArgumentsAndMissingDatabaseFindNothing) {
  EXPECT_EQ(DbmPutRecord(nullptr, "a", "v", 1), 0);
  EXPECT_EQ(DbmPutRecord("n", nullptr, "v", 1), 0);
  EXPECT_EQ(DbmPutRecord("n", "a", nullptr, 1), 0);
  EXPECT_EQ(DbmPutRecord("n", "a", "v", 0), 0);
  EXPECT_EQ(Get("none", "a"), "");
  EXPECT_EQ(DbmGetRecordSize("none", "a"), 0);
  EXPECT_EQ(DbmDeleteRecord("none", "a"), 0);
  EXPECT_EQ(DbmDeleteRecords("none", "a"), 0);
  EXPECT_EQ(DbmGetRecordList("none", ",", ","), nullptr);
  EXPECT_EQ(DbmGetDbLinkList("none", ""), nullptr);
  EXPECT_EQ(DbmCopyRecord("none", "a", "b"), 0);
  EXPECT_EQ(DbmGetDbList(0), nullptr);  // no db folder
  // Paths longer than the limit are refused.
  std::string name(DBM_PATH_SIZE, 'n');
  EXPECT_EQ(Put(name.c_str(), "a", "v"), 0);
  EXPECT_EQ(OpenDataBase(name.c_str(), "xdb", "rb", 0), nullptr);
  EXPECT_EQ(Get(name.c_str(), "a"), "");
}

TEST_F(DbmRecords, RecordsLongerThanTheReadableLimitAreRefused) {
  // L = k + value + 2: key "k" (k = 2) leaves 65523 value bytes for L = 65527.
  std::string most(65523, 'v');
  ASSERT_EQ(Put("big", "k", most), 1);
  EXPECT_EQ(Get("big", "k"), most);
  std::string before = Read(DbFile("big"));
  std::string err = Err([&] {
    EXPECT_EQ(Put("big", "k", most + "v"), 0);
    EXPECT_EQ(Put("big", "other", std::string(70000, 'x')), 0);
  });
  EXPECT_NE(err.find("too large"), std::string::npos) << err;
  EXPECT_EQ(Read(DbFile("big")), before);
}

TEST_F(DbmRecords, DeleteRecordRemovesTheExactKeyAndDeleteRecordsEveryKeyWithThePrefix) {
  Put("d", "ab", "1");
  Put("d", "abc", "2");
  EXPECT_EQ(DbmDeleteRecord("d", "ab"), 1);
  EXPECT_EQ(Read(DbFile("d")), LegacyRecord("abc", "2"));
  EXPECT_EQ(DbmDeleteRecord("d", "zz"), 1);  // rewritten, nothing removed
  EXPECT_EQ(Read(DbFile("d")), LegacyRecord("abc", "2"));
  for (const char* k : {"a", "ab", "abc", "abx", "b"}) Put("x", k, k);
  EXPECT_EQ(DbmDeleteRecords("x", "ab"), 1);
  EXPECT_EQ(Read(DbFile("x")), LegacyRecord("a", "a") + LegacyRecord("b", "b"));
  EXPECT_EQ(DbmDeleteRecords("x", ""), 0);
  EXPECT_EQ(DbmDeleteRecords("x", nullptr), 0);
}

TEST_F(DbmRecords, DeleteRecordsReportsAFailedRename) {
  Put("x", "ab", "1");
  // A folder in place of the temporary file's destination makes the rename fail.
  ASSERT_EQ(rename(DbFile("x").c_str(), Path("saved").c_str()), 0);
  ASSERT_EQ(mkdir(DbFile("x").c_str(), 0777), 0);
  ASSERT_EQ(mkdir((DbFile("x") + "/keep").c_str(), 0777), 0);
  EXPECT_NE(Err([] { EXPECT_EQ(DbmDeleteRecords("x", "a"), 0); }).find("can't rename"), std::string::npos);
  EXPECT_FALSE(testutil::Exists(Path("db/x.xdb_new")));  // no leftover
}

TEST_F(DbmRecords, DamagedFileIsNeverRewrittenWithoutItsTail) {
  MakeDb();
  // The second record's L claims more bytes than the file holds; a third follows.
  std::string damaged = LegacyRecord("a", "1") + Bytes({0xff, 0x00}) + "junk" + LegacyRecord("c", "3");
  Write(DbFile("bad"), damaged);
  EXPECT_EQ(Get("bad", "a"), "1");  // what lies before the damage stays readable
  std::string err = Err([&] {
    EXPECT_EQ(Put("bad", "n", "new"), 0);
    EXPECT_EQ(DbmDeleteRecord("bad", "a"), 0);
    EXPECT_EQ(DbmDeleteRecords("bad", "a"), 0);
  });
  EXPECT_NE(err.find("corrupt record at byte 7"), std::string::npos) << err;
  EXPECT_EQ(Read(DbFile("bad")), damaged);
  // A record whose key (k = 9) does not fit its payload (L = 5) is damage too.
  Write(DbFile("k"), LegacyRecord("z", "1") + Bytes({5, 0}) + dbmtest::Chain(Bytes({9, 0, 'a', 0, 'v'})));
  Err([&] { EXPECT_EQ(Put("k", "y", "2"), 0); });
  EXPECT_EQ(DbmGetRecordSize("k", "a"), 0);
  EXPECT_EQ(Get("k", "z"), "1");
}

TEST_F(DbmRecords, CopyRecordListsAndTheWalkFindRecordsByKey) {
  Put("cp", "from", "value");
  EXPECT_EQ(DbmCopyRecord("cp", "from", "to"), 1);
  EXPECT_EQ(Get("cp", "to"), "value");
  EXPECT_EQ(Get("cp", "from"), "value");
  EXPECT_EQ(DbmCopyRecord("cp", "missing", "x"), 0);
  // The record list puts the separator before every key, then the closing text.
  Put("l", "x", "1");
  Put("l", "y", "2");
  EXPECT_EQ(Take(DbmGetRecordList("l", ",", ",")), ",x,y,");
  EXPECT_EQ(Take(DbmGetRecordList("l", " ", "")), " x y");
  // The link list holds the records whose key contains the pattern.
  Put("ll", "netA", "one");
  Put("ll", "lp0", "two");
  Put("ll", "xnety", "three");
  DbLinkNode* list = DbmGetDbLinkList("ll", "net");
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->pKey, "netA");
  EXPECT_EQ(std::string(list->pData, static_cast<size_t>(list->DataSize)), "one");
  ASSERT_NE(list->pNext, nullptr);
  EXPECT_STREQ(list->pNext->pKey, "xnety");
  EXPECT_EQ(list->pNext->DataSize, 5);
  EXPECT_EQ(list->pNext->pNext, nullptr);
  DbmFreeDbLinkList(list);
  EXPECT_EQ(DbmGetDbLinkList("ll", "zzz"), nullptr);
  // The next-record walk goes through the file once per run.
  Ent2Get = 0;
  char buf[64] = {};
  EXPECT_EQ(DbmGetNextRecord("l", buf), 1);
  EXPECT_EQ(std::string(buf, 1), "1");
  EXPECT_EQ(DbmGetNextRecord("l", buf), 1);
  EXPECT_EQ(std::string(buf, 1), "2");
  EXPECT_EQ(DbmGetNextRecord("l", buf), 0);
  EXPECT_EQ(Ent2Get, 2);
  Ent2Get = 0;
}

TEST_F(DbmRecords, DbListNamesTheXdbFilesInDirectoryOrder) {
  MakeDb();
  for (const char* f : {"a.xdb", "b.xdb", "c.xdb_new", "d.e.xdb", ".xdb"}) Write(Path(std::string("db/") + f), "");
  // The expected order is the directory's own.
  std::string comma, blank;
  DIR* d = opendir(Path("db").c_str());
  ASSERT_NE(d, nullptr);
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "a.xdb" && n != "b.xdb") continue;
    comma += (comma.empty() ? "" : ",") + n.substr(0, 1);
    blank += " " + n.substr(0, 1);
  }
  closedir(d);
  EXPECT_EQ(Take(DbmGetDbList(0)), comma);
  EXPECT_EQ(Take(DbmGetDbList(1)), blank);
}

TEST_F(DbmRecords, DumpPrintsLengthsAndThePayloadAfterK) {
  Write(Path("dump.db"), LegacyRecord("a", "x\ny") + LegacyRecord("key", "v"));
  testing::internal::CaptureStdout();
  DumpDbm("dump");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "7 2 ==>{a.x.y}\n7 4 ==>{key.v}\n");
}

TEST_F(DbmRecords, PutDataAndGetDataRoundTripThroughAStreamAndRefuseAShortOrOverlongRecord) {
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  char rec[DBM_REC_BUF_SIZE] = {};
  std::string payload = Bytes({3, 0}) + std::string("ky", 3) + "val";
  rec[0] = static_cast<char>(payload.size());
  std::memcpy(rec + 2, payload.data(), payload.size());
  ASSERT_EQ(PutData(f, rec), 1);
  // An L above the readable limit is neither written nor read.
  rec[0] = static_cast<char>(0xf8);
  rec[1] = static_cast<char>(0xff);
  EXPECT_EQ(PutData(f, rec), 0);
  const std::string cut = LegacyRecord("a", "xyz");
  std::fwrite(cut.data(), 1, cut.size() - 1, f);  // a record one byte short
  std::rewind(f);
  char back[DBM_REC_BUF_SIZE] = {};
  ASSERT_EQ(GetData(f, back), 1);
  EXPECT_EQ(std::string(back + 2, payload.size()), payload);
  EXPECT_EQ(GetData(f, back), 0);  // the short record
  EXPECT_EQ(GetData(f, back), 0);  // the end of the file
  std::fclose(f);
}

TEST_F(DbmRecords, NewDataBaseReplacesALinkPlantedAtTheTemporaryNameAndRenameStaysInTheDbFolder) {
  MakeDb();
  Write(Path("victim"), "precious");
  ASSERT_EQ(symlink(Path("victim").c_str(), Path("db/t.xdb_new").c_str()), 0);
  ASSERT_EQ(Put("t", "a", "v"), 1);
  EXPECT_EQ(Read(Path("victim")), "precious");
  EXPECT_EQ(Read(DbFile("t")), LegacyRecord("a", "v"));
  EXPECT_EQ(RenameDataBase("t", "xdb", "bak"), 1);
  EXPECT_EQ(Read(Path("db/t.bak")), LegacyRecord("a", "v"));
  Err([] { EXPECT_EQ(RenameDataBase("t", "xdb", "bak"), 0); });
}

}  // namespace
