// Base64Decode on arbitrary text. Refusing a character outside the alphabet
// with std::invalid_argument is its documented answer; anything else it
// returns, and the raw input itself, must come back unchanged through
// Base64Encode and Base64Decode.
#include <cstdlib>
#include <stdexcept>

#include "codec/myBase64.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = InputBytes(data, size);
  try {
    const std::string bytes = Base64Decode(text);
    if (Base64Decode(Base64Encode(bytes)) != bytes) std::abort();
  } catch (const std::invalid_argument&) {
  }
  if (Base64Decode(Base64Encode(text)) != text) std::abort();
  return 0;
}
