// Base64 text of the signature record, checked against fixed vectors and
// against the openssl program's own encoder.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <utility>

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
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},        {"a", "YQ=="},    {"ab", "YWI="},
      {"abc", "YWJj"}, {"\xFF", "/w=="}, {std::string(1, '\0'), "AA=="},
  };
  for (const auto& [bytes, text] : vectors) EXPECT_EQ(Base64Encode(bytes), text);

  std::mt19937 random(4);
  const std::string rsaSized = Base64Encode(RandomBytes(random, 256));
  EXPECT_EQ(rsaSized.size(), 344u);
  EXPECT_EQ(rsaSized.find('='), 342u);
  const std::string gostSized = Base64Encode(RandomBytes(random, 64));
  EXPECT_EQ(gostSized.size(), 88u);
  EXPECT_EQ(gostSized.find('='), 86u);

  TempDir dir;
  const std::string large = RandomBytes(random, 10000);
  WriteBytes(dir / "large", large);
  const std::string text = Base64Encode(large);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  EXPECT_TRUE(text == RunOpensslOrThrow({"base64", "-A", "-in", dir / "large"}));
}

TEST(Base64, DecodesSkippingWhitespaceAndPadsAnywhere) {
  const std::pair<std::string, std::string> cases[] = {
      {"YWJj", "abc"}, {"YW Jj\n", "abc"}, {"\tY\vW\fJ\rj", "abc"},        {"YQ", "a"},
      {"=Y=Q=", "a"},  {"Y", ""},          {"AA==", std::string(1, '\0')},
  };
  for (const auto& [text, bytes] : cases) EXPECT_EQ(Base64Decode(text), bytes) << text;
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
