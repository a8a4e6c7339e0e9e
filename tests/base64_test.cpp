// Base64 text of the signature record, checked against fixed vectors and
// against the openssl program's own encoder.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "codec/myBase64.h"
#include "tests/support/test_support.h"

namespace {

std::string RandomBytes(std::mt19937& random, std::size_t size) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

}  // namespace

TEST(Base64, EncodesWithPaddingAndNoLineBreaksAsOpensslDoes) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("a"), "YQ==");
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  EXPECT_EQ(Base64Encode("abc"), "YWJj");
  EXPECT_EQ(Base64Encode("\xFF"), "/w==");
  EXPECT_EQ(Base64Encode(std::string(1, '\0')), "AA==");

  std::mt19937 random(4);
  const std::string rsaSized = Base64Encode(RandomBytes(random, 256));
  EXPECT_EQ(rsaSized.size(), 344u);
  EXPECT_EQ(rsaSized.substr(340, 1).find('='), std::string::npos);
  EXPECT_EQ(rsaSized.substr(342), "==");
  const std::string gostSized = Base64Encode(RandomBytes(random, 64));
  EXPECT_EQ(gostSized.size(), 88u);
  EXPECT_EQ(gostSized.substr(86), "==");

  TempDir dir;
  const std::string large = RandomBytes(random, 10000);
  WriteBytes(dir / "large", large);
  const std::string text = Base64Encode(large);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  EXPECT_TRUE(text == RunOpensslOrThrow({"base64", "-A", "-in", dir / "large"}));
}

TEST(Base64, DecodesSkippingWhitespaceAndPadsAnywhere) {
  EXPECT_EQ(Base64Decode("YWJj"), "abc");
  EXPECT_EQ(Base64Decode("YW Jj\n"), "abc");
  EXPECT_EQ(Base64Decode("\tY\vW\fJ\rj"), "abc");
  EXPECT_EQ(Base64Decode("YQ"), "a");
  EXPECT_EQ(Base64Decode("=Y=Q="), "a");
  EXPECT_EQ(Base64Decode("Y"), "");
  EXPECT_EQ(Base64Decode("AA=="), std::string(1, '\0'));
}

TEST(Base64, RejectsEveryCharacterOutsideTheAlphabet) {
  std::string illegal = "-_!.:@[`{~";
  illegal += std::string(1, '\0') + "\x7F";
  for (int byte = 0x80; byte <= 0xFF; ++byte) illegal += static_cast<char>(byte);
  for (char c : illegal) {
    try {
      Base64Decode(std::string("YW") + c + "Jj");
      ADD_FAILURE() << "accepted byte " << (static_cast<int>(c) & 0xFF);
    } catch (const std::invalid_argument& error) {
      EXPECT_STREQ(error.what(), "This contains characters not legal in a base64 encoded string.");
    }
  }
}

TEST(Base64, DecodingGivesBackEveryEncodedByteString) {
  std::mt19937 random(12);
  for (std::size_t size = 0; size < 300; ++size) {
    const std::string bytes = RandomBytes(random, size);
    EXPECT_EQ(Base64Decode(Base64Encode(bytes)), bytes) << "size " << size;
  }
}
