// The verify command: raw signatures made by openssl, the certificate report of
// PKCS#12 key files, the choice of key source by name, and every failure line.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "pkcs12/PFX_parser.h"
#include "tests/support/test_support.h"

namespace {

const std::string kRsaLine = "RSA Sha256 sign algoritm\n";
const std::string kOk = "Verification OK\n";
const std::string kFailed = "Verification Failed\n";
const std::string kUnreadable = "Unable to open key file!\n";
const std::string kNoCertificate = "PFX is used\nCan not read certificate from PFX\n";

struct Algorithm {
  const char* kind;    // key kind for MakeKeyPair
  const char* word;    // algorithm word of the command
  const char* digest;  // openssl dgst option
  std::string line;    // the line the command prints for the word
};
const Algorithm kAlgorithms[] = {
    {"RSA", "SHA256", "-sha256", kRsaLine},
    {"GOST", "GOST", "-md_gost12_256", "Gost R 3411-2012 sign algoritm\n"}};

void ExpectRun(const std::vector<std::string>& args, const std::string& out,
               const std::string& err = "", const RunOptions& options = {}) {
  const RunResult result = RunTool(args, options);
  EXPECT_EQ(result.out, kBanner + out) << ::testing::PrintToString(args);
  EXPECT_EQ(result.err, err) << ::testing::PrintToString(args);
  EXPECT_EQ(result.exitCode, 0);
}

std::string Sign(const Algorithm& algorithm, const std::string& key, const std::string& data,
                 const std::string& out) {
  RunOpensslOrThrow({"dgst", algorithm.digest, "-sign", key, "-out", out, data});
  return out;
}

std::string Flipped(const std::string& path, std::size_t at) {
  std::string bytes = ReadBytes(path);
  bytes[at] ^= 0x01;
  WriteBytes(path + ".flipped", bytes);
  return path + ".flipped";
}

// A certificate for the leaf key issued by a separate authority, so that the
// subject and the issuer differ.
std::string IssueCertificate(const TempDir& dir, const KeyFiles& authority, const KeyFiles& leaf,
                             const std::string& stem) {
  const std::string authorityCert = MakeCertificate(dir, authority.privateKey, stem + "_ca.pem");
  RunOpensslOrThrow({"req", "-new", "-key", leaf.privateKey, "-subj",
                     "/C=TJ/O=TRIL Test/OU=Leaf/CN=Leaf " + stem, "-out", dir / (stem + ".csr")});
  RunOpensslOrThrow({"x509", "-req", "-in", dir / (stem + ".csr"), "-CA", authorityCert, "-CAkey",
                     authority.privateKey, "-set_serial", "7", "-days", "400", "-out",
                     dir / (stem + ".pem")});
  return dir / (stem + ".pem");
}

// The report lines expected for a certificate, taken from what openssl shows
// in its one-line name form and its time-print form.
std::string ExpectedReport(const std::string& cert) {
  std::istringstream shown(RunOpensslOrThrow({"x509", "-in", cert, "-noout", "-subject", "-issuer",
                                              "-enddate", "-nameopt", "compat"}));
  std::string report = "PFX is used\n", line;
  const std::pair<std::string, std::string> labels[] = {
      {"subject=", "Subject Name: "}, {"issuer=", "Issuer Name: "}, {"notAfter=", "not After "}};
  for (const auto& [field, label] : labels) {
    std::getline(shown, line);
    EXPECT_EQ(line.rfind(field, 0), 0u) << line;
    report += label + line.substr(field.size()) + "\n";
  }
  return report;
}

}  // namespace

TEST(VerifyCommand, RawOpensslSignaturesVerifyAndAnyOtherBytesFail) {
  TempDir dir;
  WriteBytes(dir / "data", std::string("signed\0data\r\n", 13));
  WriteBytes(dir / "empty", "");
  for (const Algorithm& algorithm : kAlgorithms) {
    SCOPED_TRACE(algorithm.kind);
    const KeyFiles key = MakeKeyPair(dir, algorithm.kind, algorithm.kind);
    const std::string sig = Sign(algorithm, key.privateKey, dir / "data", dir / "data.sig");
    auto verify = [&](const std::string& data, const std::string& signature) {
      return std::vector<std::string>{"verify", algorithm.word, key.publicKey, data, signature};
    };
    ExpectRun(verify(dir / "data", sig), algorithm.line + kOk);
    // The last byte lies after a NUL: every byte of the data counts.
    ExpectRun(verify(Flipped(dir / "data", 12), sig), algorithm.line + kFailed);
    ExpectRun(verify(dir / "data", Flipped(sig, 5)), algorithm.line + kFailed);
    // The record that signing writes is not decoded: only raw bytes verify.
    const std::string base64 = RunOpensslOrThrow({"base64", "-A", "-in", sig});
    WriteBytes(dir / "record", "{\"serial\":\"\",\"sign\":\"" + base64 + "\"}");
    ExpectRun(verify(dir / "data", dir / "record"), algorithm.line + kFailed);
    ExpectRun(verify(dir / "data", dir / "empty"), algorithm.line + kFailed);
    ExpectRun(verify(dir / "data", dir / "missing"), algorithm.line + kFailed, kUnreadable);
    ExpectRun(verify(dir / "missing", sig), algorithm.line + kFailed, kUnreadable);
    const std::string emptySig = Sign(algorithm, key.privateKey, dir / "empty", dir / "empty.sig");
    ExpectRun(verify(dir / "empty", emptySig), algorithm.line + kOk);
    // A password after a PEM key is ignored.
    std::vector<std::string> withPassword = verify(dir / "data", sig);
    withPassword.push_back("unused");
    ExpectRun(withPassword, algorithm.line + kOk);
  }
}

TEST(VerifyCommand, Pkcs12KeyFileReportsItsCertificateThenTheVerdict) {
  TempDir dir;
  const KeyFiles authority = MakeKeyPair(dir, "RSA", "authority");
  for (const Algorithm& algorithm : kAlgorithms) {
    SCOPED_TRACE(algorithm.kind);
    const KeyFiles key = MakeKeyPair(dir, algorithm.kind, algorithm.kind);
    const std::string cert = IssueCertificate(dir, authority, key, algorithm.kind);
    const std::string sig = Sign(algorithm, key.privateKey, cert, dir / "cert.sig");
    const std::string report = ExpectedReport(cert);
    const std::string pfx = MakePkcs12(dir, key.privateKey, cert, "s3cret", "key.pfx");
    ExpectRun({"verify", algorithm.word, pfx, cert, sig, "s3cret"}, report + algorithm.line + kOk);
    // Without a password argument the empty password opens the file.
    const std::string open = MakePkcs12(dir, key.privateKey, cert, "", "open.pfx");
    ExpectRun({"verify", algorithm.word, open, cert, sig}, report + algorithm.line + kOk);
    // The word is judged last: every file is read and the report printed first.
    ExpectRun({"verify", "sha256", pfx, dir / "missing", dir / "missing", "s3cret"},
              report + "Wrong digest algoritm\n", kUnreadable + kUnreadable);
  }
}

TEST(VerifyCommand, LastDotOfTheKeyArgumentChoosesPkcs12ByThreeLetters) {
  TempDir dir;
  const KeyFiles key = MakeKeyPair(dir, "RSA");
  const std::string cert = MakeCertificate(dir, key.privateKey, "cert.pem");
  const std::string sig = Sign(kAlgorithms[0], key.privateKey, cert, dir / "cert.sig");
  const std::string pfx = ReadBytes(MakePkcs12(dir, key.privateKey, cert, "", "source.pfx"));
  const std::string pem = ReadBytes(key.publicKey);
  RunOptions inDir;
  inDir.cwd = dir.path();
  std::filesystem::create_directory(dir / "old.pfxkeys");
  // Each file holds what its name promises, so the wrong path shows at once.
  for (const char* name : {"key.PFX", "key.pfx", "key.Pfx", "key.pfxold", "old.pfxkeys/pub"}) {
    WriteBytes(dir / name, pfx);
    ExpectRun({"verify", "SHA256", name, cert, sig}, ExpectedReport(cert) + kRsaLine + kOk, "",
              inDir);
  }
  for (const char* name : {"key.pFx", "key.p12", "key.pem", "key", ".pfx", "key.pf", "key.p"}) {
    WriteBytes(dir / name, pem);
    ExpectRun({"verify", "SHA256", name, cert, sig}, kRsaLine + kOk, "", inDir);
  }
}

TEST(VerifyCommand, EachFailurePrintsItsLinesOnItsStream) {
  TempDir dir;
  const KeyFiles key = MakeKeyPair(dir, "RSA");
  const std::string cert = MakeCertificate(dir, key.privateKey, "cert.pem");
  const std::string sig = Sign(kAlgorithms[0], key.privateKey, cert, dir / "cert.sig");
  const std::string pfx = MakePkcs12(dir, key.privateKey, cert, "s3cret", "key.pfx");
  ExpectRun({"verify", "SHA256", dir / "missing.pem", dir / "missing"},
            "Wrong input parameters\n"
            "Must be : cspTRIL.exe verify SHA256 rsa_public_key.pem test.txt test.sig\n");

  const RunResult wrongPassword = RunTool({"verify", "SHA256", pfx, cert, sig, "wrong"});
  EXPECT_EQ(wrongPassword.out, kBanner + kNoCertificate);
  EXPECT_EQ(wrongPassword.err.rfind("Error parsing PFX file: error:", 0), 0u) << wrongPassword.err;
  EXPECT_EQ(wrongPassword.err.find('\n'), wrongPassword.err.size() - 1) << wrongPassword.err;

  WriteBytes(dir / "public.pfx", ReadBytes(key.publicKey));
  ExpectRun({"verify", "SHA256", dir / "public.pfx", cert, sig}, kNoCertificate,
            "Error reading PFX file.\n");
  ExpectRun({"verify", "SHA256", dir / "missing.pfx", cert, sig}, kNoCertificate,
            kUnreadable + "Error reading PFX file.\n");
  const std::string keyOnly =
      MakePkcs12(dir, key.privateKey, cert, "s3cret", "keyonly.pfx", {"-nocerts"});
  ExpectRun({"verify", "SHA256", keyOnly, cert, sig, "s3cret"}, kNoCertificate);

  ExpectRun({"verify", "SHA256", dir / "missing.pem", cert, sig}, "Error get public key\n",
            kUnreadable);
  // On the PEM path only a public-key block serves.
  ExpectRun({"verify", "SHA256", key.privateKey, cert, sig}, kRsaLine + kFailed);
  ExpectRun({"verify", "SHA256", cert, cert, sig}, kRsaLine + kFailed);
}

TEST(CertificateToPublicKeyPem, GivesThePemBlockOrTheBareErrorCodeOnStandardOutput) {
  TempDir dir;
  const KeyFiles key = MakeKeyPair(dir, "RSA");
  const std::string cert = MakeCertificate(dir, key.privateKey, "cert.pem");
  const std::string pfx = MakePkcs12(dir, key.privateKey, cert, "", "key.pfx");
  const X509Ptr taken(PfxToCertificate(ReadBytes(pfx), ""));
  const X509Ptr keyless(X509_new());

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(CertificateToPublicKeyPem(taken.get()), ReadBytes(key.publicKey));
  EXPECT_EQ(CertificateToPublicKeyPem(nullptr), "");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(CertificateToPublicKeyPem(keyless.get()), "");
  const std::string shown = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(std::regex_match(shown, std::regex("Error extracting public key: [0-9]+\n")))
      << shown;
}
