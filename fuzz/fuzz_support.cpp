#include "fuzz/fuzz_support.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/ui.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <streambuf>
#include <string_view>

#include "common/gost_setup.h"
#include "platform/platform.h"

namespace {

// Accepts and drops every character, so that the printing code still runs.
class DiscardingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// libFuzzer clears this section before every input and reads it after.
__attribute__((section("__libfuzzer_extra_counters"), used))
std::uint8_t libraryErrorCounters[1 << 12];

}  // namespace

void PrepareFuzzing() {
  PrepareOpenSsl();
  // Up front, so that every input meets the same library: a run sets GOST up
  // at the first key that needs it, which would make the first input unlike
  // the rest.
  PrepareGost(false);
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS |
                          OPENSSL_INIT_LOAD_CRYPTO_STRINGS,
                      nullptr);
  UI_set_default_method(UI_null());
  if (std::getenv("CSPTRIL_FUZZ_CONSOLE") == nullptr) {
    static DiscardingBuffer discard;
    std::cout.rdbuf(&discard);
    std::cerr.rdbuf(&discard);
  }
}

void NoteLibraryErrors() {
  const char* file = nullptr;
  int line = 0;
  while (ERR_get_error_all(&file, &line, nullptr, nullptr, nullptr) != 0) {
    const std::size_t site = std::hash<std::string_view>{}(file != nullptr ? file : "") ^
                             (static_cast<std::size_t>(line) * 0x9E3779B97F4A7C15u);
    std::uint8_t& counter = libraryErrorCounters[site % sizeof(libraryErrorCounters)];
    if (counter < 255) ++counter;
  }
}

PfxInput SplitPfxInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = InputBytes(data, size);
  if (bytes.empty() || data[0] == 0x30) return {kSeedPassword, bytes};
  const std::size_t length = std::min<std::size_t>(data[0] & 0x1fu, bytes.size() - 1);
  return {bytes.substr(1, length), bytes.substr(1 + length)};
}
