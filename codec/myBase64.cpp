#include "codec/myBase64.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

// Value of each 7-bit character code; 64 marks a character outside the alphabet.
constexpr unsigned char kIllegal = 64;
constexpr std::array<unsigned char, 128> MakeReverseTable() {
  std::array<unsigned char, 128> table{};
  for (unsigned char& entry : table) entry = kIllegal;
  for (int value = 0; value < 64; ++value) {
    table[static_cast<unsigned char>(kAlphabet[value])] = static_cast<unsigned char>(value);
  }
  return table;
}
constexpr std::array<unsigned char, 128> kReverseTable = MakeReverseTable();

[[noreturn]] void ThrowIllegalCharacter() {
  throw std::invalid_argument("This contains characters not legal in a base64 encoded string.");
}

constexpr bool IsSkipped(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == kPad;
}

}  // namespace

std::string Base64Encode(const std::string& bindata) {
  using std::string;
  // Four characters for every three bytes: beyond this the size would wrap.
  if (bindata.size() > (std::numeric_limits<string::size_type>::max() / 4u) * 3u) {
    throw std::length_error("Converting too large a string to base64.");
  }
  const std::size_t binlen = bindata.size();
  // Positions that the loop does not reach keep their pad character.
  string retval((((binlen + 2) / 3) * 4), kPad);
  std::size_t outpos = 0;
  int bits_collected = 0;
  std::uint32_t accumulator = 0;
  const string::const_iterator binend = bindata.end();

  for (string::const_iterator i = bindata.begin(); i != binend; ++i) {
    accumulator = (accumulator << 8) | static_cast<unsigned char>(*i);
    bits_collected += 8;
    while (bits_collected >= 6) {
      bits_collected -= 6;
      retval[outpos++] = kAlphabet[(accumulator >> bits_collected) & 0x3fu];
    }
  }
  if (bits_collected > 0) {  // Any trailing bits that are missing.
    assert(bits_collected < 6);
    accumulator <<= 6 - bits_collected;
    retval[outpos++] = kAlphabet[accumulator & 0x3fu];
  }
  // Written as a sum so that an empty result does not wrap the subtraction.
  assert(outpos + 2 >= retval.size());
  assert(outpos <= retval.size());
  return retval;
}

std::string Base64Decode(const std::string& ascdata) {
  using std::string;
  string retval;
  const string::const_iterator last = ascdata.end();
  int bits_collected = 0;
  std::uint32_t accumulator = 0;

  for (string::const_iterator i = ascdata.begin(); i != last; ++i) {
    const int c = static_cast<unsigned char>(*i);
    // The range test comes first: a byte 0x80..0xFF is never used as an index.
    if (c > 127) ThrowIllegalCharacter();
    if (IsSkipped(c)) continue;
    const int value = kReverseTable[static_cast<std::size_t>(c)];
    if (value > 63) ThrowIllegalCharacter();
    accumulator = (accumulator << 6) | static_cast<std::uint32_t>(value);
    bits_collected += 6;
    if (bits_collected >= 8) {
      bits_collected -= 8;
      retval += static_cast<char>((accumulator >> bits_collected) & 0xffu);
    }
  }
  return retval;
}
