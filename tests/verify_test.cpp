// The verify command: raw signatures made by openssl, the certificate report of
// PKCS#12 key files, the choice of key source by name, and every failure line.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "common/handles.h"
#include "pkcs12/PFX_parser.h"
#include "tests/support/test_support.h"

namespace {

const std::string kOk = "Verification OK\n", kFailed = "Verification Failed\n";
const std::string kUnreadable = "Unable to open key file!\n";
const std::string kNoCertificate = "PFX is used\nCan not read certificate from PFX\n";

std::string Sign(const Algorithm& alg, const std::string& key, const std::string& data,
                 const std::string& out) {
  RunOpensslOrThrow({"dgst", alg.dgst, "-sign", key, "-out", out, data});
  return out;
}

}  // namespace

TEST(VerifyCommand, RawOpensslSignaturesVerifyAndAnyOtherBytesFail) {
  TempDir dir;
  WriteBytes(dir / "data", std::string("signed\0data\r\n", 13));
  WriteBytes(dir / "changed", std::string("signed\0data\r\r", 13));  // a byte after a NUL
  WriteBytes(dir / "empty", "");
  for (const Algorithm& alg : {kRsa, kGost}) {
    const KeyFiles key = MakeKeyPair(dir, alg.kind, alg.kind);
    std::string changed = ReadBytes(Sign(alg, key.privateKey, dir / "data", dir / "data.sig"));
    changed[5] ^= 1;
    WriteBytes(dir / "changed.sig", changed);
    // The record that signing writes is not decoded: only raw bytes verify.
    const std::string base64 = RunOpensslOrThrow({"base64", "-A", "-in", dir / "data.sig"});
    WriteBytes(dir / "record", "{\"serial\":\"\",\"sign\":\"" + base64 + "\"}");
    const auto verify = [&](const std::string& data, const std::string& sig,
                            const std::string& verdict, const std::string& err = "") {
      // A password after a PEM key is ignored.
      return ToolRun{{"verify", alg.word, key.publicKey, data, sig, "unused"}, alg.line + verdict,
                     err, {dir.path()}};
    };
    ExpectRuns({verify("data", "data.sig", kOk), verify("changed", "data.sig", kFailed),
                verify("data", "changed.sig", kFailed), verify("data", "record", kFailed),
                verify("data", "empty", kFailed), verify("data", "missing", kFailed, kUnreadable),
                verify("missing", "data.sig", kFailed, kUnreadable)});
  }
}

TEST(VerifyCommand, Pkcs12KeyFilesReportTheirCertificateAndAreChosenByThreeLetters) {
  TempDir dir;
  const KeyFiles authority = MakeKeyPair(dir, "RSA", "authority");
  const std::string authorityCert = MakeCertificate(dir, authority.privateKey, "authority.pem");
  std::filesystem::create_directory(dir / "old.pfxkeys");
  for (const Algorithm& alg : {kRsa, kGost}) {
    const KeyFiles key = MakeKeyPair(dir, alg.kind, alg.kind);
    const std::string cert = MakeCertificate(dir, key.privateKey, "leaf.pem",
                                             {"-CA", authorityCert, "-CAkey", authority.privateKey,
                                              "-subj", "/O=TRIL Test/CN=Leaf " + alg.kind});
    // The report as openssl shows the names (in one-line form) and the end date.
    std::istringstream shown(RunOpensslOrThrow(
        {"x509", "-in", cert, "-noout", "-subject", "-issuer", "-enddate", "-nameopt", "compat"}));
    std::string report = "PFX is used\n", line;
    for (const std::string label : {"Subject Name: ", "Issuer Name: ", "not After "}) {
      std::getline(shown, line);
      report += label + line.substr(line.find('=') + 1) + "\n";
    }
    const std::string sig = Sign(alg, key.privateKey, cert, dir / "cert.sig");
    const std::string pfx = MakePkcs12(dir, key.privateKey, cert, "s3cret", "key.pfx");
    ExpectRun({"verify", alg.word, pfx, cert, sig, "s3cret"}, report + alg.line + kOk);
    // The word is judged last: every file is read and the report printed first.
    ExpectRun({"verify", "sha256", pfx, dir / "missing", dir / "missing", "s3cret"},
              report + "Wrong digest algoritm\n", kUnreadable + kUnreadable);
    // Without a password argument the empty password opens the file. Each file holds
    // what its name promises, so a wrong choice of reader shows at once.
    const std::string open = ReadBytes(MakePkcs12(dir, key.privateKey, cert, "", "open.pfx"));
    for (const char* name : {"key.PFX", "key.pfx", "key.Pfx", "key.pfxold", "old.pfxkeys/pub"}) {
      WriteBytes(dir / name, open);
      ExpectRun({"verify", alg.word, name, cert, sig}, report + alg.line + kOk, "", {dir.path()});
    }
    for (const char* name : {"key.pFx", "key.p12", "key.pem", "key", ".pfx"}) {
      WriteBytes(dir / name, ReadBytes(key.publicKey));
      ExpectRun({"verify", alg.word, name, cert, sig}, alg.line + kOk, "", {dir.path()});
    }
  }
}

TEST(VerifyCommand, EachFailurePrintsItsLinesOnItsStream) {
  TempDir dir;
  const KeyFiles key = MakeKeyPair(dir, "RSA");
  const std::string cert = MakeCertificate(dir, key.privateKey, "cert.pem");
  const std::string sig = Sign(kRsa, key.privateKey, cert, dir / "cert.sig");
  const std::string pfx = MakePkcs12(dir, key.privateKey, cert, "s3cret", "key.pfx");
  const std::string keyOnly = MakePkcs12(dir, key.privateKey, cert, "", "bare.pfx", {"-nocerts"});
  WriteBytes(dir / "public.pfx", ReadBytes(key.publicKey));
  ExpectRuns({
      {{"verify", "SHA256", "missing.pem", "missing"},
       "Wrong input parameters\n"
       "Must be : cspTRIL.exe verify SHA256 rsa_public_key.pem test.txt test.sig\n"},
      {{"verify", "SHA256", pfx, cert, sig, "wrong"}, kNoCertificate,
       "Error parsing PFX file: error:*\n"},
      {{"verify", "SHA256", dir / "public.pfx", cert, sig}, kNoCertificate,
       "Error reading PFX file.\n"},
      {{"verify", "SHA256", dir / "missing.pfx", cert, sig}, kNoCertificate,
       kUnreadable + "Error reading PFX file.\n"},
      {{"verify", "SHA256", keyOnly, cert, sig}, kNoCertificate},
      {{"verify", "SHA256", dir / "missing.pem", cert, sig}, "Error get public key\n", kUnreadable},
      // On the PEM path only a public-key block serves.
      {{"verify", "SHA256", key.privateKey, cert, sig}, kRsa.line + kFailed},
      {{"verify", "SHA256", cert, cert, sig}, kRsa.line + kFailed},
  });
  // The PEM text of a certificate's key; nothing for no certificate, the bare code (on
  // standard output) for a certificate without a key.
  const X509Ptr taken(PfxToCertificate(ReadBytes(pfx), "s3cret")), keyless(X509_new());
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(CertificateToPublicKeyPem(taken.get()), ReadBytes(key.publicKey));
  EXPECT_EQ(CertificateToPublicKeyPem(nullptr), "");
  EXPECT_EQ(CertificateToPublicKeyPem(keyless.get()), "");
  const std::string shown = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(std::regex_match(shown, std::regex("Error extracting public key: [0-9]+\n")))
      << shown;
}
