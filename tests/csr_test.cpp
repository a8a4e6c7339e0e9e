// The CSR command, with every request read back by the openssl program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace {

const std::string kSubject =
    "/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName";

std::string Show(const std::string& csr, const std::string& option) {
  return RunOpensslOrThrow({"req", "-in", csr, "-noout", option});
}

}  // namespace

TEST(CsrCommand, RequestsCarryTheSubjectKeyAndExtensionsAndAreSignedWithTheChosenDigest) {
  TempDir dir;
  const KeyFiles rsa = MakeKeyPair(dir, "RSA", "rsa"), gost = MakeKeyPair(dir, "GOST", "gost");
  const KeyFiles other = MakeKeyPair(dir, "RSA", "other");
  const std::string csr = dir / "request.csr", missing = dir / "missing.pem";
  const std::string shown = "subject=C = TJ, ST = Tajikistan, L = Dushanbe, "
                            "O = YourOrganization, OU = YourUnit, CN = YourCommonName\n";
  const struct {
    std::string word, privateKey, publicKey, subject, err, shownSubject, carried;
    bool verifies;
  } rows[] = {
      {"SHA256", rsa.privateKey, rsa.publicKey, kSubject, "", shown, rsa.publicKey, true},
      {"GOST", gost.privateKey, gost.publicKey, kSubject, "", shown, gost.publicKey, true},
      // No leading slash, a value with "=", an unknown field, a blank before a field, and
      // bytes that are each one character (so UTF-8 is encoded again, not decoded).
      {"SHA256", rsa.privateKey, rsa.publicKey, "C=TJ/O=A=B/XX=x/ CN=blank/CN=caf\xC3\xA9", "",
       "subject=C = TJ, O = A=B, CN = caf\\C3\\83\\C2\\A9\n", rsa.publicKey, true},
      {"SHA256", rsa.privateKey, rsa.publicKey, "", "", "subject=\n", rsa.publicKey, true},
      // The private key signs; the public key file names the key carried.
      {"SHA256", rsa.privateKey, other.publicKey, kSubject, "", shown, other.publicKey, false},
      {"SHA256", rsa.privateKey, missing, kSubject, "Unable to open key file!\n", shown,
       rsa.publicKey, true},
  };
  for (const auto& row : rows) {
    std::filesystem::remove(csr);
    const bool gostWord = row.word == "GOST";
    const RunResult run =
        RunTool({"CSR", row.word, row.privateKey, row.publicKey, row.subject, csr});
    EXPECT_EQ(run.out, kBanner + "Signing algoritm " + (gostWord ? "GOST R 3411-2012" : "SHA256") +
                           "\nCSR:" + ReadBytes(csr) + "\nCSR saved to file " + csr);
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(Show(csr, "-subject"), row.shownSubject);
    EXPECT_EQ(Show(csr, "-pubkey"), ReadBytes(row.carried));
    // openssl req -verify reports a bad self-signature on standard error but exits 0.
    EXPECT_EQ(Contains(RunOpenssl({"req", "-in", csr, "-noout", "-verify"}).err, "verify OK"),
              row.verifies) << row.subject;
    const std::string text = Show(csr, "-text");
    EXPECT_TRUE(Contains(text, gostWord ? "GOST R 34.10-2012 with GOST R 34.11-2012 (256 bit)\n"
                                        : "sha256WithRSAEncryption\n"));
    EXPECT_TRUE(Contains(text, "Requested Extensions:\n"
                               "                X509v3 Basic Constraints: \n"
                               "                    CA:FALSE\n"
                               "                X509v3 Key Usage: \n"
                               "                    Digital Signature, Key Encipherment\n"));
  }
}

TEST(CsrCommand, PrintsTheRequestInEachFormAndSavesItOnlyWhenAsked) {
  TempDir dir, cwd;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string &key = keys.privateKey, &pub = keys.publicKey;
  const std::string csr = dir / "request.csr", nowhere = dir / "no/such/request.csr";
  const std::string example = " \"" + kSubject + "\"\n";
  // RSA signatures are deterministic, so every run below prints the same request.
  RunTool({"CSR", "SHA256", key, pub, kSubject, csr});
  const std::string pem = ReadBytes(csr), printed = "Signing algoritm SHA256\nCSR:" + pem + "\n";
  ExpectRuns({
      {{"CSR", "SHA256", "a.pem", "b.pem"},
       "Wrong input parameters\ncspTRIL.exe CSR GOST C:\\test\\gost_private_key.pem "
       "c:\\test\\gost_public_key.pem" + example + "cspTRIL.exe CSR SHA256 "
       "C:\\test\\rsa_private_key.pem c:\\test\\rsa_public_key.pem" + example, "", {cwd.path()}},
      {{"CSR", "SHA256", key, pub, kSubject, csr}, printed + "CSR saved to file " + csr},
      {{"CSR", "SHA256", key, pub, kSubject}, printed, "", {cwd.path()}},
      {{"CSR", "SHA256", key, pub, kSubject, ""}, printed, "", {cwd.path()}},
      {{"CSR", "sha256", key, pub, kSubject}, "CSR:" + pem + "\n", "", {cwd.path()}},
      {{"CSR", "SHA256", "missing.pem", pub, kSubject}, "Signing algoritm SHA256\nCSR:\n",
       "Unable to open key file!\n", {cwd.path()}},
      {{"CSR", "SHA256", key, pub, kSubject, nowhere}, printed + "CSR saved to file " + nowhere,
       "Failed to open file for writing: " + nowhere + "\n"},
  });
  EXPECT_TRUE(std::filesystem::is_empty(cwd.path()));
}
