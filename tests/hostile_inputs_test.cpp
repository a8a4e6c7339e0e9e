// Folders, names too long or not UTF-8, devices, unwritable outputs: every run ends
// normally with its verdict. (Damaged file contents are the fuzz targets' part.)
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

TEST(HostileInputs, FoldersLongOrNonUtf8NamesAndUnwritableOutputsEndEachRunWithItsVerdict) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  // Windows takes no argument that is not UTF-8.
  const std::string key = keys.privateKey, pub = keys.publicKey,
                    data = dir / (ToolIsWindows() ? "data" : "\xFF\xFE");
  const std::string folder = dir.path(), tooLong = "/" + std::string(4095, 'a');  // over PATH_MAX
  const std::string unreadable = "Unable to open key file!\n", noPfx = "Generate PKCS12 failed0\n";
  const std::string noWrite = "Failed to open file for writing: " + folder + "\n";
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
      {{"sign", "SHA256", key, data, folder}, sign(key, record), noWrite},
      {{"sign", "SHA256", key, data, "/dev/null"},
       sign(key, record + "Signature written to /dev/null\n")},
      {{"verify", "SHA256", pub, data, dir / "sig"}, kRsa.line + "Verification OK\n"},
      {{"verify", "SHA256", folder, data, dir / "sig"}, "Error get public key\n", unreadable},
      {{"verify", "SHA256", tooLong + ".pfx", data, data},
       "PFX is used\nCan not read certificate from PFX\n",
       unreadable + "Error reading PFX file.\n"},
      {{"CSR", "SHA256", key, pub, "/CN=x", folder},
       "Signing algoritm SHA256\n" + csr + "\nCSR saved to file " + folder, noWrite},
      {{"PFX", key, cert, folder, "pw"}, noPfx, noWrite},
      {{"PFX", key, cert, "/dev/null", "pw"},
       "Generate PKCS12 OK1\ndata saved to PKCS12 file /dev/null\n"},
      {{"PFX", key, folder, dir / "out", "pw"}, noPfx,
       unreadable + "Error reading X.509 certificate.\n"},
  });
  EXPECT_EQ(FileMode("/dev/null"), 0666u);  // a device is written to, never narrowed to its owner
}
