// Paths nobody should hand the tool: folders, names too long to open or that are
// no UTF-8, devices, outputs that cannot be written. Every run ends normally with
// its verdict. (Damaged file contents are the fuzz targets' part.)
#include <gtest/gtest.h>

#include <fstream>

#include "codec/myBase64.h"
#include "tests/support/test_support.h"

TEST(HostileInputs, FoldersLongOrNonUtf8NamesAndUnwritableOutputsEndEachRunWithItsVerdict) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  // Windows takes no argument that is not UTF-8.
  const std::string key = keys.privateKey, pub = keys.publicKey,
                    data = dir / (ToolIsWindows() ? "data" : "\xFF\xFE");
  const std::string folder = dir.path(), tooLong = "/" + std::string(4095, 'a');  // over PATH_MAX
  const std::string unreadable = "Unable to open key file!\n", noPfx = "Generate PKCS12 failed0\n";
  const auto noWrite = [](const std::string& path) {
    return "Failed to open file for writing: " + path + "\n";
  };
  const auto sign = [&](const std::string& keyFile, const std::string& end) {
    return "Private key path is " + keyFile + "\n" + kRsa.line + end;
  };
  const std::string record = kRsa.prefix + "{\"serial\":\"\",\"sign\":\"*\"}\n";
  WriteBytes(data, "Payment order 42\n");
  RunOpensslOrThrow({"dgst", "-sha256", "-sign", key, "-out", dir / "sig", data});
  RunTool({"CSR", "SHA256", key, pub, "/CN=x", dir / "req"});
  const std::string cert = MakeCertificate(dir, key, "c"), csr = "CSR:" + ReadBytes(dir / "req");
  ExpectRuns({
      {{"sign", "SHA256", folder, data}, sign(folder, "Signature is error\n"),
       unreadable + "Failed to load private key.\n"},
      {{"sign", "SHA256", key, tooLong}, sign(key, record), unreadable},
      {{"sign", "SHA256", key, data, folder}, sign(key, record), noWrite(folder)},
      {{"sign", "SHA256", key, data, tooLong}, sign(key, record), noWrite(tooLong)},
      {{"sign", "SHA256", key, data, data + "/x"}, sign(key, record), noWrite(data + "/x")},
      {{"sign", "SHA256", key, data, "/dev/null"},
       sign(key, record + "Signature written to /dev/null\n")},
      {{"verify", "SHA256", pub, data, dir / "sig"}, kRsa.line + "Verification OK\n"},
      {{"verify", "SHA256", folder, data, dir / "sig"}, "Error get public key\n", unreadable},
      {{"verify", "SHA256", tooLong + ".pfx", data, data},
       "PFX is used\nCan not read certificate from PFX\n",
       unreadable + "Error reading PFX file.\n"},
      {{"CSR", "SHA256", key, pub, "/CN=x", folder},
       "Signing algoritm SHA256\n" + csr + "\nCSR saved to file " + folder, noWrite(folder)},
      {{"PFX", key, cert, folder, "pw"}, noPfx, noWrite(folder)},
      {{"PFX", key, cert, "/dev/null", "pw"},
       "Generate PKCS12 OK1\ndata saved to PKCS12 file /dev/null\n"},
      {{"PFX", key, folder, dir / "out", "pw"}, noPfx,
       unreadable + "Error reading X.509 certificate.\n"},
  });
  EXPECT_EQ(FileMode("/dev/null"), 0666u);  // a device is written to, never narrowed to its owner
}

TEST(HostileInputs, ATwoAndAHalfGibibyteFileIsSignedAndVerifiedWhole) {
  std::ifstream meminfo("/proc/meminfo");
  std::string field;
  long long availableKiB = 0;
  while (meminfo >> field >> availableKiB && field != "MemAvailable:") meminfo.ignore(64, '\n');
  if (availableKiB < (4LL << 20)) {
    GTEST_SKIP() << "the 2.5 GiB input is read whole: 4 GiB of available memory needed, "
                 << (availableKiB >> 10) << " MiB available";
  }
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string big = dir / "big", raw = dir / "big.sig";
  std::ofstream(big, std::ios::binary).seekp((5LL << 29) - 1).put('!');  // sparse but its last byte
  const RunResult sign = RunTool({"sign", "SHA256", keys.privateKey, big});
  const std::string head = "RSA signature {\"serial\":\"\",\"sign\":\"";
  const std::size_t from = sign.out.find(head) + head.size();
  ASSERT_GT(from, head.size()) << sign.out << sign.err;
  WriteBytes(raw, Base64Decode(sign.out.substr(from, sign.out.find('"', from) - from)));
  // openssl checks it over every byte, so a short read on both sides cannot pass.
  EXPECT_EQ(RunOpenssl({"dgst", "-sha256", "-verify", keys.publicKey, "-signature", raw, big}).out,
            "Verified OK\n");
  const RunResult verify = RunTool({"verify", "SHA256", keys.publicKey, big, raw});
  EXPECT_EQ(verify.out.substr(verify.out.size() - 16) + sign.err + verify.err, "Verification OK\n");
}
