// Sha256_test.cpp - the SHA-256 digest against the published test vectors, in one
// piece and read from a file larger than the reader's buffer.
#include "setup/setup.h"

#include "testutil.h"

TEST(Sha256, Vectors) {
  const std::string million(1000000, 'a');
  const struct {
    std::string input;
    const char* digest;
  } rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // padding spills into a second block
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  testutil::ScratchDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input.substr(0, 20));
    char hex[SHA256_HEX_SIZE];
    Sha256Hex(row.input.data(), row.input.size(), hex);
    EXPECT_STREQ(hex, row.digest);
    ASSERT_TRUE(testutil::WriteFile(dir / "f", row.input));
    ASSERT_EQ(Sha256File((dir / "f").c_str(), hex), 1);
    EXPECT_STREQ(hex, row.digest);
  }
  char untouched[SHA256_HEX_SIZE] = "x";
  EXPECT_EQ(Sha256File((dir / "missing").c_str(), untouched), 0);
  EXPECT_STREQ(untouched, "x");
}
