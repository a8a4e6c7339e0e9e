#include <openssl/crypto.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/platform.h"
#include "platform/posix/arguments.h"

namespace {

constexpr char32_t kEscapeBase = 0xDC00;  // byte b (0x80..0xFF) stands as U+DC00 + b
constexpr char32_t kReplacement = 0xFFFD;

// Length of the valid UTF-8 sequence at text[pos], or 0 when the byte there
// does not start one. Overlong forms, surrogates and values past U+10FFFF
// count as invalid, so that decoding and encoding are exact inverses.
std::size_t ValidSequenceLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  if (byte(pos + 1) < low || byte(pos + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF) return 0;
  }
  return length;
}

char32_t DecodeSequence(std::string_view text, std::size_t pos, std::size_t length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  static const unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t value = byte(pos) & kLeadMask[length];
  for (std::size_t i = 1; i < length; ++i) value = (value << 6) | (byte(pos + i) & 0x3F);
  return value;
}

// Writes the UTF-8 form of one wide character into bytes (room for four)
// and returns how many it took.
std::size_t EncodeUtf8(char32_t value, unsigned char* bytes) {
  if (value >= kEscapeBase + 0x80 && value <= kEscapeBase + 0xFF) {
    bytes[0] = static_cast<unsigned char>(value - kEscapeBase);
    return 1;
  }
  if ((value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) value = kReplacement;
  if (value < 0x80) {
    bytes[0] = static_cast<unsigned char>(value);
    return 1;
  }
  const std::size_t length = value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
  static const unsigned char kLeadMark[] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (std::size_t i = length - 1; i > 0; --i, value >>= 6) {
    bytes[i] = static_cast<unsigned char>(0x80 | (value & 0x3F));
  }
  bytes[0] = static_cast<unsigned char>(kLeadMark[length] | value);
  return length;
}

}  // namespace

std::wstring DecodeArgument(std::string_view bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t length = ValidSequenceLength(bytes, pos);
    if (length == 0) {
      wide += static_cast<wchar_t>(kEscapeBase + static_cast<unsigned char>(bytes[pos]));
      ++pos;
    } else {
      wide += static_cast<wchar_t>(DecodeSequence(bytes, pos, length));
      pos += length;
    }
  }
  return wide;
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, const wchar_t* wideText, int wideLength,
                        char* out, int outSize, const char* /*defaultChar*/,
                        BOOL* usedDefaultChar) {
  if (codePage != CP_UTF8 || wideText == nullptr || wideLength == 0 || wideLength < -1 ||
      outSize < 0) {
    return 0;
  }
  const std::size_t count =
      wideLength == -1 ? std::wcslen(wideText) + 1 : static_cast<std::size_t>(wideLength);
  if (usedDefaultChar != nullptr) *usedDefaultChar = 0;
  // Measured first and then written straight into the caller's buffer: the
  // text may be a password, and no other copy of it should be left behind.
  unsigned char bytes[4];
  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    total += EncodeUtf8(static_cast<char32_t>(wideText[i]), bytes);
  }
  OPENSSL_cleanse(bytes, sizeof bytes);
  if (total > static_cast<std::size_t>(INT_MAX)) return 0;
  const int size = static_cast<int>(total);
  if (outSize == 0) return size;
  if (out == nullptr || size > outSize) return 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t length = EncodeUtf8(static_cast<char32_t>(wideText[i]), bytes);
    std::memcpy(out, bytes, length);
    out += length;
  }
  OPENSSL_cleanse(bytes, sizeof bytes);
  return size;
}
