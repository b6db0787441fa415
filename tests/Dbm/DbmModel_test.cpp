// DbmModel_test.cpp - the record operations against a model: random stores, deletions
// and copies through the file layer and through handles, in both formats; after each,
// the file's exact bytes, every read through the layer, and the reads of a fresh handle
// (a reload) must match the model's records.
#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "DbmFixture.h"

namespace {

using Records = std::vector<std::pair<std::string, std::string>>;  // in file order
const char* const kKeys[] = {"a", "ab", "abc", "b", "k1", "k2", "net0", "x y"};
const char* const kPrefixes[] = {"a", "ab", "k", "n", "s", "zz"};

Records::iterator Find(Records& r, const std::string& key) {
  return std::find_if(r.begin(), r.end(), [&](const auto& kv) { return kv.first == key; });
}

// The file's bytes for the records in one format.
std::string Image(const Records& r, bool typed) {
  std::string s = typed ? dbmtest::TypedHeader(r.size()) : "";
  for (const auto& [k, v] : r) s += typed ? dbmtest::TypedRecord(k, v) : dbmtest::LegacyRecord(k, v);
  return s;
}

// The records of a link list, which is released.
Records FromLinks(DbLinkNode* list) {
  Records r;
  for (DbLinkNode* n = list; n; n = n->pNext) r.emplace_back(n->pKey, std::string(n->pData, static_cast<size_t>(n->DataSize)));
  DbmFreeDbLinkList(list);
  return r;
}

// Every read through a handle, or through the file layer when h is null, gives the records.
void CheckReads(DbTHandle* h, const char* name, Records want) {
  std::string keys, values;
  Records withA;
  for (const auto& [k, v] : want) {
    keys += "," + k;
    values += v + ";";
    if (k.find('a') != std::string::npos) withA.emplace_back(k, v);
  }
  EXPECT_EQ(testutil::Take(h ? DbmTGetRecordList(h, ",", ";") : DbmGetRecordList(name, ",", ";")),
            want.empty() ? "(null)" : keys + ";");
  EXPECT_EQ(FromLinks(h ? DbmTGetDbLinkList(h, "a") : DbmGetDbLinkList(name, "a")), withA);
  std::vector<char> buf(DBM_REC_BUF_SIZE);
  for (const char* key : kKeys) {
    const int n = h ? DbmTGetRecord(h, key, buf.data()) : DbmGetRecord(name, key, buf.data());
    const auto it = Find(want, key);
    EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(n)), it == want.end() ? "" : it->second) << key;
    EXPECT_EQ(h ? DbmTGetRecordSize(h, key) : DbmGetRecordSize(name, key), n) << key;
  }
  if (h) return;
  std::string next;  // the walk of the file layer through every value
  for (int n; (n = DbmGetNextRecord(name, buf.data())) > 0;) next += std::string(buf.data(), static_cast<size_t>(n)) + ";";
  EXPECT_EQ(next, values);
  EXPECT_EQ(Ent2Get, static_cast<int>(want.size()));
  Ent2Get = 0;
}

using DbmModel = dbmtest::DbmTest;

// The file layer, handles on a typed and on a legacy file, and a handle by path whose
// changes wait for DbmTArchiveDb; each on a database of its own.
TEST_F(DbmModel, RandomOperationsMatchTheModel) {
  const struct {
    const char* what;
    bool handle;  // DbmT... on a handle; else the file layer
    bool legacy;  // the file begins in the record file format (one record stored by the file layer)
    int flags;    // the handle's
    std::string name;
  } configs[] = {{"file layer", false, true, 0, "f"},
                 {"handle, typed file", true, false, 0, "t"},
                 {"handle, legacy file", true, true, 0, "l"},
                 {"handle by path, archived", true, false, DBT_NO_WRITEBACK, "./p.xdb"}};
  for (const auto& c : configs) {
    SCOPED_TRACE(c.what);
    const char* name = c.name.c_str();
    const std::string file = c.name[0] == '.' ? c.name : "db/" + c.name + ".xdb";
    std::mt19937 rng(5);
    const auto pick = [&](size_t n) { return rng() % n; };
    Records model, onDisk;  // the records, and those the file holds
    bool onFile = c.legacy;
    if (c.legacy) {
      ASSERT_EQ(DbmPutRecord(name, "seed", "v", 1), 1);
      model = onDisk = {{"seed", "v"}};
    }
    DbTHandle* h = c.handle ? Open(name, c.flags) : nullptr;
    if (c.flags & DBT_NO_WRITEBACK) onFile = DbmTArchiveDb(h) == 1;  // a header alone: an empty database
    for (int step = 0; step < 300 && !HasFailure(); ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const std::string key = kKeys[pick(8)], other = kKeys[pick(8)], prefix = kPrefixes[pick(6)];
      std::string value(pick(20) == 0 ? DBM_MAX_PAYLOAD - 3 - key.size() + pick(2) : pick(40), '\0');
      for (char& ch : value) ch = static_cast<char>(rng());
      const auto fits = [&](const std::string& k) { return k.size() + 1 + value.size() + 2 <= DBM_MAX_PAYLOAD; };
      const bool exists = testutil::Exists(file);
      const size_t op = pick(5);
      int got = 0;
      bool want = false, tooLarge = false;
      const std::string err = testutil::CaptureFd(2, [&] {
        if (op < 2) {  // a value too large or empty is refused
          got = h ? DbmTPutRecord(h, key.c_str(), value.data(), static_cast<int>(value.size()))
                  : DbmPutRecord(name, key.c_str(), value.data(), static_cast<int>(value.size()));
          want = !value.empty() && fits(key);
          tooLarge = !value.empty() && !want;
        } else if (op == 2) {  // the file layer rewrites an existing file; a handle says whether one went
          got = h ? DbmTDeleteRecord(h, key.c_str()) : DbmDeleteRecord(name, key.c_str());
          want = h ? Find(model, key) != model.end() : exists;
        } else if (op == 3) {
          got = h ? DbmTDeleteRecords(h, prefix.c_str()) : DbmDeleteRecords(name, prefix.c_str());
          want = h || exists;
        } else {  // the value of key, stored under other too
          const auto from = Find(model, key);
          if (from != model.end()) value = from->second;
          got = h ? DbmTCopyRecord(h, key.c_str(), other.c_str()) : DbmCopyRecord(name, key.c_str(), other.c_str());
          want = from != model.end() && fits(other);
          tooLarge = from != model.end() && !want;
        }
      });
      EXPECT_EQ(got, want) << "operation " << op << ": " << key << " " << other << " " << prefix;
      EXPECT_EQ(err.find("too large") != std::string::npos, tooLarge) << err;
      const std::string stored = op == 4 ? other : key;
      if (want && op != 3) std::erase_if(model, [&](const auto& kv) { return kv.first == stored; });
      if (op == 3) std::erase_if(model, [&](const auto& kv) { return kv.first.compare(0, prefix.size(), prefix) == 0; });
      if (want && op != 2 && op != 3) model.emplace_back(stored, value);  // a stored record goes to the end
      if (!(c.flags & DBT_NO_WRITEBACK)) {
        onDisk = model;
        onFile = onFile || (want && op != 2 && op != 3);
      } else if (pick(6) == 0) {
        EXPECT_EQ(DbmTArchiveDb(h), 1);
        onDisk = model;
        onFile = true;
      }
      EXPECT_EQ(testutil::Exists(file), onFile);
      EXPECT_EQ(dbmtest::WithoutFiller(testutil::ReadFile(file)), onFile ? Image(onDisk, !c.legacy) : "");
      EXPECT_FALSE(testutil::Exists(file + "_new"));
      if (h) CheckReads(h, name, model);
      DbTHandle* fresh = DbTOpen(name, 0);  // a reload
      CheckReads(fresh, name, onDisk);
      DbTClose(fresh);
      if (c.legacy) CheckReads(nullptr, name, onDisk);  // the file layer reads a legacy file
    }
  }
}

}  // namespace
