// Sha256_test.cpp - the SHA-256 digest against the published vectors, of bytes and of
// a file larger than the reader's buffer.
#include "setup/setup.h"

#include "testutil.h"

TEST(Sha256, Vectors) {
  const struct {
    std::string input;
    const char* digest;
  } rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // the padding takes a second block
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  testutil::ScratchDir dir;
  char hex[SHA256_HEX_SIZE] = "untouched";
  EXPECT_EQ(Sha256File((dir / "missing").c_str(), hex), 0);
  EXPECT_STREQ(hex, "untouched");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input.substr(0, 20));
    Sha256Hex(row.input.data(), row.input.size(), hex);
    EXPECT_STREQ(hex, row.digest);
    ASSERT_TRUE(testutil::WriteFile(dir / "f", row.input));
    ASSERT_EQ(Sha256File((dir / "f").c_str(), hex), 1);
    EXPECT_STREQ(hex, row.digest);
  }
}
