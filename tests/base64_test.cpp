// Base64 text of the signature record (the sign tests read it back with openssl).
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <utility>

#include "codec/myBase64.h"

TEST(Base64, EncodesWithPaddingDecodesSkippingBlanksAndPadsRejectsOtherBytesAndRoundTrips) {
  const std::pair<std::string, std::string> both[] = {
      {"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"}, {"\xFF", "/w=="},
      {std::string(1, '\0'), "AA=="}};
  for (const auto& [bytes, text] : both) {
    EXPECT_EQ(Base64Encode(bytes), text);
    EXPECT_EQ(Base64Decode(text), bytes);
  }
  const std::pair<std::string, std::string> decodeOnly[] = {
      {"YW Jj\n", "abc"}, {"YQ", "a"}, {"=Y=Q=", "a"}, {"Y", ""}};
  for (const auto& [text, bytes] : decodeOnly) EXPECT_EQ(Base64Decode(text), bytes) << text;

  std::string illegal = "-_!";
  for (int byte = 0x80; byte <= 0xFF; ++byte) illegal += static_cast<char>(byte);
  for (const char c : illegal) {
    try {
      Base64Decode(std::string("YW") + c + "Jj");
      ADD_FAILURE() << "accepted byte " << (c & 0xFF);
    } catch (const std::invalid_argument& error) {
      EXPECT_STREQ(error.what(), "This contains characters not legal in a base64 encoded string.");
    }
  }
  std::mt19937 random(12);
  for (std::size_t size = 0; size < 300; ++size) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    const std::string text = Base64Encode(bytes);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(Base64Decode(text), bytes) << "size " << size;
  }
}
