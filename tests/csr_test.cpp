// Certificate requests: the subject parser, and the CSR command as a user runs it,
// with every request read back by the openssl program.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "common/handles.h"
#include "csr/csr_builder.h"
#include "tests/support/test_support.h"

namespace {

const std::string kSubject =
    "/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName";

const std::string kTooFewArguments =
    "Wrong input parameters\n"
    "cspTRIL.exe CSR GOST C:\\test\\gost_private_key.pem c:\\test\\gost_public_key.pem \"" +
    kSubject + "\"\n" +
    "cspTRIL.exe CSR SHA256 C:\\test\\rsa_private_key.pem c:\\test\\rsa_public_key.pem \"" +
    kSubject + "\"\n";

const std::string kExtensionRequests =
    "            Requested Extensions:\n"
    "                X509v3 Basic Constraints: \n"
    "                    CA:FALSE\n"
    "                X509v3 Key Usage: \n"
    "                    Digital Signature, Key Encipherment\n";

std::string RequestText(const std::string& csr) {
  return RunOpensslOrThrow({"req", "-in", csr, "-noout", "-text"});
}

std::string CarriedKey(const std::string& csr) {
  return RunOpensslOrThrow({"req", "-in", csr, "-noout", "-pubkey"});
}

std::string SubjectLine(const std::string& csr) {
  return RunOpensslOrThrow({"req", "-in", csr, "-noout", "-subject"});
}

// openssl req -verify reports a bad self-signature on standard error but still exits 0.
bool SelfSignatureVerifies(const std::string& csr) {
  const RunResult result = RunOpenssl({"req", "-in", csr, "-noout", "-verify"});
  return result.exitCode == 0 && result.err.find("verify OK") != std::string::npos;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST(ParseSubject, AppendsOneEntryPerPieceInOrderAndLeavesRefusedOnesOut) {
  const struct {
    std::string subject;
    std::string oneline;
  } cases[] = {
      {kSubject, kSubject},
      {"C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName", kSubject},
      {"/O=A=B", "/O=A=B"},
      {"/C=TJ/XX=dropped/CN=kept", "/C=TJ/CN=kept"},
      {"", ""},
      {"no equals sign/at all", ""},
      {"/ CN=x/O=y", "/O=y"},
      {"/CN =x/O=y", "/O=y"},
      {"/CN=x //O= y/", "/CN=x /O= y"},
      {"/=nameless/CN=y", "/CN=y"},
      {"/C=TJK/CN=y", "/CN=y"},
      {"/2.5.4.3=dotted/commonName=long", "/CN=dotted/CN=long"},
      // Each byte is one character: UTF-8 input is not decoded but re-encoded.
      {"/CN=caf\xC3\xA9", "/CN=caf\\xC3\\x83\\xC2\\xA9"},
  };
  for (const auto& test : cases) {
    X509NamePtr name(X509_NAME_new());
    ASSERT_NE(name, nullptr);
    ParseSubject(name.get(), test.subject);
    OpenSslTextPtr oneline(X509_NAME_oneline(name.get(), nullptr, 0));
    EXPECT_STREQ(oneline.get(), test.oneline.c_str()) << "subject: " << test.subject;
    for (int i = 0; i < X509_NAME_entry_count(name.get()); ++i) {
      EXPECT_EQ(X509_NAME_ENTRY_set(X509_NAME_get_entry(name.get(), i)), i) << test.subject;
    }
  }
}

TEST(CsrCommand, RsaAndGostRequestsVerifyAndCarryTheSubjectExtensionsAndDigest) {
  const struct {
    std::string kind, word, announcement, signatureAlgorithm;
  } cases[] = {
      {"RSA", "SHA256", "Signing algoritm SHA256\n", "sha256WithRSAEncryption"},
      {"GOST", "GOST", "Signing algoritm GOST R 3411-2012\n",
       "GOST R 34.10-2012 with GOST R 34.11-2012 (256 bit)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.kind);
    TempDir dir;
    const KeyFiles keys = MakeKeyPair(dir, test.kind);
    const std::string csr = dir / "request.csr";
    const RunResult run = RunTool({"CSR", test.word, keys.privateKey, keys.publicKey, kSubject, csr});
    const std::string pem = ReadBytes(csr);
    EXPECT_EQ(run.out, kBanner + test.announcement + "CSR:" + pem + "\nCSR saved to file " + csr);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(pem.rfind("-----BEGIN CERTIFICATE REQUEST-----\n", 0), 0u);
    EXPECT_EQ(pem.substr(pem.size() - 34), "-----END CERTIFICATE REQUEST-----\n");

    EXPECT_TRUE(SelfSignatureVerifies(csr));
    EXPECT_EQ(CarriedKey(csr), ReadBytes(keys.publicKey));
    const std::string text = RequestText(csr);
    EXPECT_TRUE(Contains(text, "Subject: C = TJ, ST = Tajikistan, L = Dushanbe, "
                               "O = YourOrganization, OU = YourUnit, CN = YourCommonName\n"));
    EXPECT_TRUE(Contains(text, kExtensionRequests)) << text;
    EXPECT_TRUE(Contains(text, "Signature Algorithm: " + test.signatureAlgorithm + "\n")) << text;

    // A word in another case chooses no digest: no announcement, and the
    // library's default for the key type signs.
    const std::string lower = dir / "lower.csr";
    std::string word = test.word;
    for (char& c : word) c = static_cast<char>(std::tolower(c));
    const RunResult lowerRun = RunTool({"CSR", word, keys.privateKey, keys.publicKey, kSubject, lower});
    EXPECT_EQ(lowerRun.out, kBanner + "CSR:" + ReadBytes(lower) + "\nCSR saved to file " + lower);
    EXPECT_TRUE(SelfSignatureVerifies(lower));
    EXPECT_TRUE(Contains(RequestText(lower), "Signature Algorithm: " + test.signatureAlgorithm + "\n"));
  }
}

TEST(CsrCommand, SubjectStringsAreSignedAsTheyParse) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const struct {
    std::string subject, expected;
  } cases[] = {
      {"C=TJ/O=A=B/XX=dropped/CN=kept", "subject=C = TJ, O = A=B, CN = kept\n"},
      {"", "subject=\n"},
      {"/ CN=refused/O=kept", "subject=O = kept\n"},
  };
  for (const auto& test : cases) {
    const std::string csr = dir / "request.csr";
    const RunResult run = RunTool({"CSR", "SHA256", keys.privateKey, keys.publicKey, test.subject, csr});
    EXPECT_EQ(run.err, "") << test.subject;
    EXPECT_TRUE(SelfSignatureVerifies(csr)) << test.subject;
    EXPECT_EQ(SubjectLine(csr), test.expected);
    EXPECT_TRUE(Contains(RequestText(csr), kExtensionRequests));
  }
}

TEST(CsrCommand, ThePrivateKeySignsWhileThePublicKeyFileNamesTheCarriedKey) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const KeyFiles other = MakeKeyPair(dir, "RSA", "other");
  const std::string csr = dir / "request.csr";

  RunResult run = RunTool({"CSR", "SHA256", keys.privateKey, other.publicKey, kSubject, csr});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(CarriedKey(csr), ReadBytes(other.publicKey));
  EXPECT_FALSE(SelfSignatureVerifies(csr));

  run = RunTool({"CSR", "SHA256", keys.privateKey, dir / "missing.pem", kSubject, csr});
  EXPECT_EQ(run.err, "Unable to open key file!\n");
  EXPECT_TRUE(Contains(run.out, "CSR:-----BEGIN CERTIFICATE REQUEST-----\n"));
  EXPECT_EQ(CarriedKey(csr), ReadBytes(keys.publicKey));
  EXPECT_TRUE(SelfSignatureVerifies(csr));

  const std::string noRequest = kBanner + "Signing algoritm SHA256\nCSR:\n";
  run = RunTool({"CSR", "SHA256", dir / "missing.pem", keys.publicKey, kSubject});
  EXPECT_EQ(run.out, noRequest);
  EXPECT_EQ(run.err, "Unable to open key file!\n");
  run = RunTool({"CSR", "SHA256", keys.publicKey, keys.publicKey, kSubject});
  EXPECT_EQ(run.out, noRequest);
  EXPECT_EQ(run.err, "");
}

TEST(CsrCommand, PrintsTheRequestInEachFormAndSavesItOnlyWhenAsked) {
  TempDir dir, cwd;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string csr = dir / "request.csr";
  RunOptions inCwd;
  inCwd.cwd = cwd.path();

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"CSR", "SHA256"}, {"CSR", "SHA256", keys.privateKey, keys.publicKey}}) {
    const RunResult run = RunTool(args, inCwd);
    EXPECT_EQ(run.out, kBanner + kTooFewArguments);
    EXPECT_EQ(run.err, "");
  }

  // RSA signatures are deterministic, so every run below yields the same text.
  RunTool({"CSR", "SHA256", keys.privateKey, keys.publicKey, kSubject, csr});
  const std::string pem = ReadBytes(csr);
  const std::string printed = kBanner + "Signing algoritm SHA256\nCSR:" + pem + "\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"CSR", "SHA256", keys.privateKey, keys.publicKey, kSubject},
        {"CSR", "SHA256", keys.privateKey, keys.publicKey, kSubject, ""},
        {"CSR", "SHA256", keys.privateKey, keys.publicKey, kSubject, "", "ignored"}}) {
    const RunResult run = RunTool(args, inCwd);
    EXPECT_EQ(run.out, printed) << args.size();
    EXPECT_EQ(run.err, "");
  }
  const RunResult lower = RunTool({"CSR", "sha256", keys.privateKey, keys.publicKey, kSubject});
  EXPECT_EQ(lower.out, kBanner + "CSR:" + pem + "\n");
  EXPECT_TRUE(std::filesystem::is_empty(cwd.path()));

  // The announcement is printed before the writer reports the failure.
  const std::string nowhere = dir / "no/such/folder/request.csr";
  const RunResult merged = RunProgram({"sh", "-c", "exec \"$@\" 2>&1", "sh", ToolPath(), "CSR",
                                       "SHA256", keys.privateKey, keys.publicKey, kSubject, nowhere});
  EXPECT_EQ(merged.out, printed + "CSR saved to file " + nowhere +
                            "Failed to open file for writing: " + nowhere + "\n");

  // A request that cannot be signed is announced but leaves no file behind.
  const std::string unsigned_csr = dir / "unsigned.csr";
  const RunResult failed = RunTool({"CSR", "GOST", keys.privateKey, keys.publicKey, kSubject, unsigned_csr});
  EXPECT_EQ(failed.out, kBanner + "Signing algoritm GOST R 3411-2012\nCSR:\nCSR saved to file " + unsigned_csr);
  EXPECT_EQ(failed.err, "");
  EXPECT_FALSE(FileExists(unsigned_csr));
}
