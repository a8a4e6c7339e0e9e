// What every fuzz target shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Sets the library up as the program does (a configuration named in OPENSSL_CONF read, then
// GOST set up, as a run that needs it does), turns the pass-phrase prompt for encrypted
// PEM keys into a plain failure (nobody sits at a terminal), and swallows what the readers print on
// std::cout and std::cerr unless CSPTRIL_FUZZ_CONSOLE is set. Call it from LLVMFuzzerInitialize.
void PrepareFuzzing();

// Empties this thread's OpenSSL error queue and marks, for each error in it,
// a counter that libFuzzer reads as coverage, keyed by the library's source
// file and line that raised it. OpenSSL itself is not instrumented, so this
// is how the fuzzer tells an input that gets further inside a decoder from
// one that fails at its first byte. Call it at the end of every input.
void NoteLibraryErrors();

inline std::string InputBytes(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The password the seed PKCS#12 files are made with (fuzz/make-seeds.sh).
inline constexpr char kSeedPassword[] = "cspTRIL-fuzz";

struct PfxInput {
  std::string password;
  std::string pfx;
};

// A PKCS#12 file is DER and begins with a SEQUENCE tag (0x30): such an input
// is opened with kSeedPassword. Any other first byte gives, in its low five
// bits, the length of a password that follows it; the rest is the file. So
// the fuzzer can change the password as well as the file.
PfxInput SplitPfxInput(const std::uint8_t* data, std::size_t size);
