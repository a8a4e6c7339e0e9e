// Certificate requests: the subject parser, and the CSR command as a user runs it,
// with every request read back by the openssl program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/handles.h"
#include "csr/csr_builder.h"
#include "tests/support/test_support.h"

namespace {

using Args = std::vector<std::string>;

const std::string kSubject =
    "/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName";

const std::string kExtensionRequests =
    "            Requested Extensions:\n"
    "                X509v3 Basic Constraints: \n"
    "                    CA:FALSE\n"
    "                X509v3 Key Usage: \n"
    "                    Digital Signature, Key Encipherment\n";

// What openssl req prints about a request with one option: -text, -pubkey, -subject.
std::string ReadRequest(const std::string& csr, const std::string& option) {
  return RunOpensslOrThrow({"req", "-in", csr, "-noout", option});
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
    std::string subject, oneline;
  } cases[] = {
      {kSubject, kSubject},
      {kSubject.substr(1), kSubject},
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
    std::string kind, word, lowerWord, announcement, signatureAlgorithm;
  } cases[] = {
      {"RSA", "SHA256", "sha256", "Signing algoritm SHA256\n", "sha256WithRSAEncryption"},
      {"GOST", "GOST", "gost", "Signing algoritm GOST R 3411-2012\n",
       "GOST R 34.10-2012 with GOST R 34.11-2012 (256 bit)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.kind);
    TempDir dir;
    const KeyFiles keys = MakeKeyPair(dir, test.kind);
    const std::string csr = dir / "request.csr";
    const RunResult run =
        RunTool({"CSR", test.word, keys.privateKey, keys.publicKey, kSubject, csr});
    const std::string pem = ReadBytes(csr);
    EXPECT_EQ(run.out, kBanner + test.announcement + "CSR:" + pem + "\nCSR saved to file " + csr);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(pem.rfind("-----BEGIN CERTIFICATE REQUEST-----\n", 0), 0u);
    EXPECT_EQ(pem.substr(pem.size() - 34), "-----END CERTIFICATE REQUEST-----\n");

    EXPECT_TRUE(SelfSignatureVerifies(csr));
    EXPECT_EQ(ReadRequest(csr, "-pubkey"), ReadBytes(keys.publicKey));
    const std::string text = ReadRequest(csr, "-text");
    EXPECT_TRUE(Contains(text, "Subject: C = TJ, ST = Tajikistan, L = Dushanbe, "
                               "O = YourOrganization, OU = YourUnit, CN = YourCommonName\n"));
    EXPECT_TRUE(Contains(text, kExtensionRequests)) << text;
    EXPECT_TRUE(Contains(text, "Signature Algorithm: " + test.signatureAlgorithm + "\n")) << text;

    // A word in another case chooses no digest: no announcement, and the
    // library's default for the key type signs.
    const std::string lower = dir / "lower.csr";
    const RunResult lowerRun =
        RunTool({"CSR", test.lowerWord, keys.privateKey, keys.publicKey, kSubject, lower});
    EXPECT_EQ(lowerRun.out, kBanner + "CSR:" + ReadBytes(lower) + "\nCSR saved to file " + lower);
    EXPECT_TRUE(SelfSignatureVerifies(lower));
    EXPECT_TRUE(Contains(ReadRequest(lower, "-text"),
                         "Signature Algorithm: " + test.signatureAlgorithm + "\n"));
  }
}

TEST(CsrCommand, KeyFilesAndSubjectDecideWhatIsSignedAndCarried) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const KeyFiles other = MakeKeyPair(dir, "RSA", "other");
  const std::string csr = dir / "request.csr";

  const struct {
    std::string subject, expected;
  } subjects[] = {
      {"C=TJ/O=A=B/XX=dropped/CN=kept", "subject=C = TJ, O = A=B, CN = kept\n"},
      {"", "subject=\n"},
      {"/ CN=refused/O=kept", "subject=O = kept\n"},
  };
  for (const auto& test : subjects) {
    const Args args{"CSR", "SHA256", keys.privateKey, keys.publicKey, test.subject, csr};
    EXPECT_EQ(RunTool(args).err, "");
    EXPECT_TRUE(SelfSignatureVerifies(csr)) << test.subject;
    EXPECT_EQ(ReadRequest(csr, "-subject"), test.expected);
    EXPECT_TRUE(Contains(ReadRequest(csr, "-text"), kExtensionRequests));
  }

  // The private key signs while the public key file names the carried key.
  RunResult run = RunTool({"CSR", "SHA256", keys.privateKey, other.publicKey, kSubject, csr});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadRequest(csr, "-pubkey"), ReadBytes(other.publicKey));
  EXPECT_FALSE(SelfSignatureVerifies(csr));

  run = RunTool({"CSR", "SHA256", keys.privateKey, dir / "missing.pem", kSubject, csr});
  EXPECT_EQ(run.err, "Unable to open key file!\n");
  EXPECT_TRUE(Contains(run.out, "CSR:-----BEGIN CERTIFICATE REQUEST-----\n"));
  EXPECT_EQ(ReadRequest(csr, "-pubkey"), ReadBytes(keys.publicKey));
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

  const std::string example = "\"" + kSubject + "\"\n";
  for (const Args& args : {Args{"CSR", "SHA256"}, Args{"CSR", "SHA256", "a.pem", "b.pem"}}) {
    const RunResult run = RunTool(args, inCwd);
    EXPECT_EQ(run.out, kBanner + "Wrong input parameters\n" +
                           "cspTRIL.exe CSR GOST C:\\test\\gost_private_key.pem "
                           "c:\\test\\gost_public_key.pem " + example +
                           "cspTRIL.exe CSR SHA256 C:\\test\\rsa_private_key.pem "
                           "c:\\test\\rsa_public_key.pem " + example);
    EXPECT_EQ(run.err, "");
  }

  // RSA signatures are deterministic, so every run below yields the same text.
  const Args base{"CSR", "SHA256", keys.privateKey, keys.publicKey, kSubject};
  Args saved = base;
  saved.push_back(csr);
  RunTool(saved);
  const std::string pem = ReadBytes(csr);
  const std::string printed = kBanner + "Signing algoritm SHA256\nCSR:" + pem + "\n";
  Args emptyOutput = base, extra = base;
  emptyOutput.push_back("");
  extra.insert(extra.end(), {"", "ignored"});
  for (const Args& args : {base, emptyOutput, extra}) {
    const RunResult run = RunTool(args, inCwd);
    EXPECT_EQ(run.out, printed) << args.size();
    EXPECT_EQ(run.err, "");
  }
  const RunResult lower = RunTool({"CSR", "sha256", keys.privateKey, keys.publicKey, kSubject});
  EXPECT_EQ(lower.out, kBanner + "CSR:" + pem + "\n");
  EXPECT_TRUE(std::filesystem::is_empty(cwd.path()));

  // The announcement is printed before the writer reports the failure.
  const std::string nowhere = dir / "no/such/folder/request.csr";
  Args merged{"sh", "-c", "exec \"$@\" 2>&1", "sh", ToolPath()};
  merged.insert(merged.end(), base.begin(), base.end());
  merged.push_back(nowhere);
  EXPECT_EQ(RunProgram(merged).out, printed + "CSR saved to file " + nowhere +
                                        "Failed to open file for writing: " + nowhere + "\n");

  // A request that cannot be signed is announced but leaves no file behind.
  const std::string unsignedCsr = dir / "unsigned.csr";
  const RunResult failed =
      RunTool({"CSR", "GOST", keys.privateKey, keys.publicKey, kSubject, unsignedCsr});
  EXPECT_EQ(failed.out, kBanner + "Signing algoritm GOST R 3411-2012\nCSR:\nCSR saved to file " +
                            unsignedCsr);
  EXPECT_EQ(failed.err, "");
  EXPECT_FALSE(FileExists(unsignedCsr));
}
