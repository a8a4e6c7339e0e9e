// What is signed is the input as long as it was when opened, read whole and in flat memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/read_ahead.h"
#include "tests/support/test_support.h"

// The tool opens the input, then waits on a key file that is a FIFO: the input changes while
// the tool is held there, before a byte of it is read; no hook in the tool, nothing to timing.
// Bytes added since are not signed; an input that shrank is not signed at all.
TEST(Streaming, WhatIsSignedIsTheInputAsLongAsItWasWhenOpenedOrNothingIfItShrank) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string input = dir / "input", fifo = dir / "key.pem", expected = dir / "expected";
  std::string original((3 << 20) + 5, '\0');  // several pieces and a ragged end
  for (std::size_t i = 0; i < original.size(); ++i) original[i] = static_cast<char>(i % 251 + 1);
  WriteBytes(expected, original);
  RunOpensslOrThrow({"dgst", "-sha256", "-sign", keys.privateKey, "-out", dir / "sig", expected});
  for (const std::size_t changed : {(std::size_t{1} << 20) + 3, original.size() + 4096}) {
    SCOPED_TRACE(std::to_string(changed) + " bytes");
    WriteBytes(input, original);
    mkfifo(fifo.c_str(), 0600);
    std::thread changer([&] {
      const int fd = open(fifo.c_str(), O_WRONLY);  // once the tool opens the key file
      truncate(input.c_str(), static_cast<off_t>(changed));
      const std::string bytes = ReadBytes(keys.privateKey);
      [[maybe_unused]] const ssize_t written = write(fd, bytes.data(), bytes.size());
      close(fd);
    });
    const RunResult run = RunTool({"sign", "SHA256", fifo, input});
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // frees a changer left waiting
    changer.join();
    close(reader);
    unlink(fifo.c_str());
    if (changed < original.size()) {
      EXPECT_EQ(run.out + run.err + std::to_string(run.exitCode),
                kBanner + SignOutput(fifo, kRsa, "") +
                    Unreadable(input, "file shrank while being read") + "1");
    } else {
      EXPECT_EQ(RawSignatureOf(run.out), ReadBytes(dir / "sig")) << run.out << run.err;
    }
  }
  // Nor one whose reading fails part-way (a preload that sanitizers, valgrind and Wine miss).
  if (CSPTRIL_SANITIZED || std::getenv("CSPTRIL_TOOL_RUNNER") != nullptr) return;
  ExpectRun({"sign", "SHA256", keys.privateKey, input}, 1, SignOutput(keys.privateKey, kRsa, ""),
            Unreadable(input, "Input/output error"),
            {"", "", "", "export LD_PRELOAD=" CSPTRIL_READ_FAILS});
}

TEST(Streaming, ATwoAndAHalfGibibyteFileIsSignedAndVerifiedInFlatMemory) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string one = dir / "one", big = dir / "big", raw = dir / "big.sig";
  WriteBytes(one, "!");
  RunTool({"sign", "SHA256", keys.privateKey, one});
  rusage small{}, large{};  // the largest peak of any process this test has run, in KiB
  getrusage(RUSAGE_CHILDREN, &small);
  std::ofstream(big, std::ios::binary).seekp((5LL << 29) - 1).put('!');  // sparse but its last byte
  const RunResult sign = RunTool({"sign", "SHA256", keys.privateKey, big});
  WriteBytes(raw, RawSignatureOf(sign.out));
  // openssl checks it over every byte, so a short read on both sides cannot pass.
  EXPECT_EQ(RunOpenssl({"dgst", "-sha256", "-verify", keys.publicKey, "-signature", raw, big}).out,
            "Verified OK\n");
  const RunResult verify = RunTool({"verify", "SHA256", keys.publicKey, big, raw});
  EXPECT_EQ(verify.out.substr(verify.out.size() - 16) + sign.err + verify.err, "Verification OK\n");
  // 2.5 GiB cost no more than one byte did, give or take the pieces read ahead and the
  // thread that reads them: under 16 MiB in all in a plain build, where one byte takes 8 MiB.
  getrusage(RUSAGE_CHILDREN, &large);
  EXPECT_LT(large.ru_maxrss, small.ru_maxrss + (8 << 10));
}

// The reader thread hands over its pieces in order and ends with its source; a taker that
// refuses a piece or throws stops it, at most a ring's length ahead, and finds it joined.
TEST(Streaming, TheReaderAheadKeepsOrderAndStopsWithItsTaker) {
  for (const std::size_t slots : {1, 3}) {
    std::size_t reads = 0;  // the reader's own, looked at once it has ended
    const PieceSource read = [&reads](unsigned char* into, std::size_t) {
      into[0] = static_cast<unsigned char>('a' + reads);
      return std::size_t{++reads <= 5};
    };
    std::string taken;
    EXPECT_TRUE(ReadAhead(read, 1, slots, [&taken](const unsigned char* bytes, std::size_t) {
      return taken += static_cast<char>(bytes[0]), true;
    }));
    EXPECT_EQ(taken + std::to_string(reads), "abcde6");
    reads = 0;
    EXPECT_FALSE(
        ReadAhead(read, 1, slots, [](const unsigned char*, std::size_t) { return false; }));
    EXPECT_LE(reads, slots);
    const PieceSink thrower = [](const unsigned char*, std::size_t) -> bool {
      throw std::runtime_error("taker");
    };
    EXPECT_THROW(ReadAhead(read, 1, slots, thrower), std::runtime_error);
  }
}
