// The PFX command: PKCS#12 files built from PEM inputs, read back by openssl
// and by the tool's own sign and verify commands.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

std::string Saved(const std::string& path) {
  return "Generate PKCS12 OK1\ndata saved to PKCS12 file " + path + "\n";
}

// What openssl pkcs12 -info shows of a file that the tool wrote, once the file
// is known to be readable by its owner only and to hold exactly one DER structure.
std::string Info(const std::string& pfx, const std::string& password) {
  if (!ToolIsWindows()) {  // Wine keeps no DACL to check instead
    EXPECT_EQ(FileMode(pfx), 0600u);
  }
  std::smatch header;
  const std::string parsed = RunOpensslOrThrow({"asn1parse", "-inform", "DER", "-in", pfx});
  EXPECT_TRUE(std::regex_search(parsed, header, std::regex("^ +0:d=0 +hl=(\\d+) l= *(\\d+)")));
  EXPECT_EQ(ReadBytes(pfx).size(), std::stoul(header[1]) + std::stoul(header[2]));
  return RunOpensslOrThrow({"pkcs12", "-info", "-nodes",
                            "-in", pfx, "-passin", "pass:" + password});
}

}  // namespace

TEST(PfxCommand, PacksKeyCertificateAndFirstCaThatOpensslAndTheToolRead) {
  for (const Algorithm& alg : {kRsa, kGost}) {
    TempDir dir;
    const KeyFiles keys = MakeKeyPair(dir, alg.kind);
    const std::string cert = MakeCertificate(dir, keys.privateKey, "cert.pem");
    const std::string ca1 = MakeCertificate(dir, keys.privateKey, "ca1.pem", {"-set_serial", "11"});
    const std::string ca2 = MakeCertificate(dir, keys.privateKey, "ca2.pem", {"-set_serial", "22"});
    WriteBytes(dir / "cas.pem", ReadBytes(ca1) + ReadBytes(ca2));
    const std::string pfx = dir / "out.pfx", open = dir / "open.pfx";
    WriteBytes(pfx, std::string(9000, 'o'));  // an older, longer file others could read
    std::filesystem::permissions(pfx, std::filesystem::perms(0644));

    ExpectRun({"PFX", keys.privateKey, cert, pfx, "s3cret", dir / "cas.pem", "Signer key"},
              Saved(pfx));
    std::string info = Info(pfx, "s3cret");
    const std::string name = "friendlyName: Signer key\n";
    EXPECT_NE(info.find(name), info.rfind(name)) << info;  // on the key and the certificate
    EXPECT_TRUE(Contains(info, ReadBytes(cert)) && Contains(info, ReadBytes(ca1))) << info;
    EXPECT_FALSE(Contains(info, ReadBytes(ca2)));
    EXPECT_EQ(RunOpensslOrThrow({"pkey", "-pubout"}, info), ReadBytes(keys.publicKey));

    // Empty password, empty CA argument (no CA), empty name; later arguments are ignored.
    ExpectRun({"PFX", keys.privateKey, cert, open, "", "", "", "ignored"}, Saved(open));
    info = Info(open, "");
    EXPECT_TRUE(Contains(info, ReadBytes(cert)) && !Contains(info, ReadBytes(ca1))) << info;

    // The tool's own sign and verify accept the file.
    WriteBytes(dir / "data", "payment order");
    const RunResult record = RunTool({"sign", alg.word, pfx, dir / "data", "", "s3cret"});
    WriteBytes(dir / "data.sig", RawSignatureOf(record.out));
    const RunResult verdict =
        RunTool({"verify", alg.word, pfx, dir / "data", dir / "data.sig", "s3cret"});
    EXPECT_TRUE(Contains(verdict.out, alg.line + "Verification OK\n")) << verdict.out;
  }
}

TEST(PfxCommand, EachFailureIsReportedAndLeavesNoFile) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA"), other = MakeKeyPair(dir, "RSA", "other");
  const std::string& key = keys.privateKey;
  const std::string cert = MakeCertificate(dir, key, "cert.pem"), missing = dir / "missing.pem";
  const std::string out = dir / "out.pfx", nowhere = dir / "no/out";
  const std::string unreadable = "Unable to open key file!\n", failed = "Generate PKCS12 failed0\n";
  WriteBytes(dir / "empty.pem", "");
  ExpectRuns({
      {{"PFX", key, cert, out},
       "Wrong input parameters\nMust be : cspTRIL.exe PFX private_key.pem cert.pem "
       "outfile.pfx pfxpassword cacert.pem friendlyname\n"},
      {{"PFX", other.privateKey, cert, out, "pw"}, failed, "Error creating PKCS12.\n"},
      {{"PFX", missing, cert, out, "pw"}, failed,
       unreadable + "Error reading private key from string.\n"},
      {{"PFX", key, missing, out, "pw"}, failed, unreadable + "Error reading X.509 certificate.\n"},
      {{"PFX", key, cert, out, "pw", missing}, failed,
       unreadable + "Error reading CA certificate.\n"},
      {{"PFX", key, cert, out, "pw", dir / "empty.pem"}, failed, "Error reading CA certificate.\n"},
      {{"PFX", key, cert, nowhere, "pw"}, failed,
       "Failed to open file for writing: " + nowhere + "\n"},
  });
  EXPECT_FALSE(FileExists(out));
}
