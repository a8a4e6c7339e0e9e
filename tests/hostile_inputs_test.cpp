// Files and paths nobody should hand the tool, as each file argument of each
// command: every run ends normally with its verdict, and a failure found
// before writing leaves no output file behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/test_support.h"

namespace {

const std::string kLongPath = "/" + std::string(4095, 'a');  // with its NUL, over PATH_MAX

}  // namespace

TEST(HostileInputs, EveryFileArgumentEndsWithItsVerdictWhateverTheFileIs) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string key = keys.privateKey, pub = keys.publicKey, data = dir / "data",
                    sig = dir / "sig", out = dir / "out";
  const std::string cert = MakeCertificate(dir, key, "cert.pem");
  const std::string pfx = ReadBytes(MakePkcs12(dir, key, cert, "pw", "good.pfx"));
  WriteBytes(data, "Payment order 42\n");
  RunOpensslOrThrow({"dgst", "-sha256", "-sign", key, "-out", sig, data});
  std::string random(10 << 20, '\0');
  std::ifstream("/dev/urandom", std::ios::binary).read(random.data(), random.size());
  mkdir((dir / "directory.pem").c_str(), 0700);
  // Lines for a good file, an empty or unreadable one, garbage, a damaged PKCS#12 file.
  const std::string sgn = "RSA signature {", err = "Signature is error\n", ok = "Verification OK\n",
                    bad = "Verification Failed\n", csr = "-----END CERTIFICATE REQUEST-----\n",
                    pkcs12 = "Generate PKCS12 OK1\n", noPkcs12 = "Generate PKCS12 failed0\n";
  const struct {
    std::vector<std::string> args;  // "@" stands for the file under test
    std::string good, lines[4];
  } arguments[] = {
      {{"sign", "SHA256", "@", data, out, "pw"}, key, {sgn, err, err, err}},
      {{"sign", "SHA256", key, "@", out}, data, {sgn, sgn, sgn, sgn}},
      {{"verify", "SHA256", "@", data, sig, "pw"},
       pub,
       {ok, "Error get public key\n", bad, "Can not read certificate from PFX\n"}},
      {{"verify", "SHA256", pub, "@", sig}, data, {ok, bad, bad, bad}},
      {{"verify", "SHA256", pub, data, "@"}, sig, {ok, bad, bad, bad}},
      {{"CSR", "SHA256", "@", pub, "/CN=x", out}, key, {csr, "CSR:\n", "CSR:\n", "CSR:\n"}},
      {{"CSR", "SHA256", key, "@", "/CN=x", out}, pub, {csr, csr, csr, csr}},
      {{"PFX", "@", cert, out, "pw", cert}, key, {pkcs12, noPkcs12, noPkcs12, noPkcs12}},
      {{"PFX", key, "@", out, "pw", cert}, cert, {pkcs12, noPkcs12, noPkcs12, noPkcs12}},
      {{"PFX", key, cert, out, "pw", "@"}, cert, {pkcs12, noPkcs12, noPkcs12, noPkcs12}},
  };
  for (const auto& argument : arguments) {
    const std::size_t at =
        std::find(argument.args.begin(), argument.args.end(), "@") - argument.args.begin();
    const std::string good = ReadBytes(argument.good);
    std::string flipped = good, flippedPfx = pfx;
    flipped[good.size() / 2] ^= '\x80';    // no Base64 text holds such a byte
    flippedPfx[pfx.size() / 2] ^= '\x80';  // inside what the MAC covers
    const std::tuple<std::string, std::string, int> kinds[] = {  // name, bytes, outcome
        {"directory.pem", "", 1}, {"/dev/null", "", 1}, {kLongPath, "", 1}, {"empty.pem", "", 1},
        {"fifo.pem", good, 0}, {"\xFF\xFE.pem", good, 0}, {"random.pem", random, 2},
        {"truncated.pem", good.substr(0, good.size() / 2), 2}, {"flipped.pem", flipped, 2},
        {"truncated.pfx", pfx.substr(0, pfx.size() / 2), 3}, {"flipped.pfx", flippedPfx, 3}};
    for (const auto& [name, bytes, outcome] : kinds) {
      std::vector<std::string> args = argument.args;
      const std::string path = args[at] = name[0] == '/' ? name : dir / name;
      SCOPED_TRACE(args[0] + " argument " + std::to_string(at) + ": " + name.substr(0, 20));
      if (name[0] != '/' && name != "directory.pem" && name != "fifo.pem") WriteBytes(path, bytes);
      unlink(out.c_str());
      // A FIFO gets the good bytes from a writer that a reader end of our own
      // releases after the run, had the tool never opened it (they fit the pipe).
      std::thread writer;
      if (name == "fifo.pem") {
        mkfifo(path.c_str(), 0600);
        writer = std::thread([&] {
          const int fd = open(path.c_str(), O_WRONLY);
          [[maybe_unused]] const ssize_t written = write(fd, good.data(), good.size());
          close(fd);
        });
      }
      const RunResult run = RunTool(args);
      if (writer.joinable()) {
        const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        writer.join();
        close(reader);
        unlink(path.c_str());
      }
      const std::string& expected = argument.lines[outcome];
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_NE(run.out.find("\n" + expected), std::string::npos) << run.out << run.err;
      if (std::find(args.begin(), args.end(), out) != args.end()) {
        EXPECT_EQ(FileExists(out), expected == argument.lines[0]);
      }
    }
  }
}

TEST(HostileInputs, OutputPathsThatCannotBeOpenedAreReportedAndLeftAlone) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string cert = MakeCertificate(dir, keys.privateKey, "cert.pem"), data = dir / "data";
  WriteBytes(data, "Payment order 42\n");
  mkdir((dir / "directory").c_str(), 0700);
  const std::pair<std::string, bool> targets[] = {  // path, whether it can be written
      {dir / "directory", false}, {data + "/out", false}, {dir / "missing/out", false},
      {kLongPath, false}, {"/dev/null", true}, {dir / "\xFF\xFE", true}};
  // Each command and how its output ends when the file is written or cannot be opened.
  const std::tuple<std::vector<std::string>, std::string, std::string> commands[] = {
      {{"sign", "SHA256", keys.privateKey, data, "@"}, "Signature written to @\n", "\"}\n"},
      {{"CSR", "SHA256", keys.privateKey, keys.publicKey, "/CN=x", "@"}, "CSR saved to file @",
       "CSR saved to file @"},
      {{"PFX", keys.privateKey, cert, "@", "pw"}, "data saved to PKCS12 file @\n",
       "Generate PKCS12 failed0\n"}};
  for (const auto& [command, written, failed] : commands) {
    for (const auto& [path, writable] : targets) {
      SCOPED_TRACE(command[0] + " to " + path.substr(0, 60));
      std::vector<std::string> args = command;
      std::replace(args.begin(), args.end(), std::string("@"), path);
      const RunResult run = RunTool(args);
      std::string ending = writable ? written : failed;
      if (const std::size_t at = ending.find('@'); at != std::string::npos) {
        ending.replace(at, 1, path);
      }
      EXPECT_EQ(run.out.substr(run.out.size() - std::min(run.out.size(), ending.size())), ending);
      EXPECT_EQ(run.err, writable ? "" : "Failed to open file for writing: " + path + "\n");
      EXPECT_EQ(run.exitCode, 0);
      EXPECT_EQ(FileExists(path), writable || path == dir / "directory");
    }
  }
  EXPECT_EQ(FileMode("/dev/null"), 0666u);  // a device is written to, never narrowed to its owner
}
