// The sign command: records printed and written, signatures that the openssl
// program accepts, PKCS#12 signer identity, and every failure line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "codec/myBase64.h"
#include "pkcs12/PFX_parser.h"
#include "tests/support/test_support.h"

namespace {

struct Word {
  std::string word, algorithmLine, prefix, dgstFlag;
  std::size_t signLength;
};
const Word kSha256{"SHA256", "RSA Sha256 sign algoritm", "RSA signature ", "-sha256", 344};
const Word kGost{"GOST", "Gost R 3411-2012 sign algoritm", "Gost signature ", "-md_gost12_256", 88};

std::string Lines(const std::vector<std::string>& lines) {
  std::string text = kBanner;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The record that follows the prefix on its line, or empty.
std::string RecordAfter(const std::string& out, const std::string& prefix) {
  const std::size_t start = out.find("\n" + prefix);
  if (start == std::string::npos) return {};
  const std::size_t from = start + 1 + prefix.size();
  return out.substr(from, out.find('\n', from) - from);
}

// Checks the record's shape and has the openssl program verify its signature.
void ExpectVerifiedRecord(const TempDir& dir, const std::string& record, const std::string& serial,
                          const std::string& dgstFlag, const std::string& publicKey,
                          const std::string& data, std::size_t signLength = 0) {
  const std::string head = "{\"serial\":\"" + serial + "\",\"sign\":\"";
  ASSERT_EQ(record.substr(0, head.size()), head);
  ASSERT_EQ(record.substr(record.size() - 2), "\"}");
  const std::string sign = record.substr(head.size(), record.size() - head.size() - 2);
  if (signLength != 0) {
    EXPECT_EQ(sign.size(), signLength);
  }
  WriteBytes(dir / "raw.sig", Base64Decode(sign));
  const RunResult good =
      RunOpenssl({"dgst", dgstFlag, "-verify", publicKey, "-signature", dir / "raw.sig", data});
  EXPECT_EQ(good.out, "Verified OK\n") << good.err;
  WriteBytes(dir / "tampered", ReadBytes(data) + "x");
  EXPECT_NE(RunOpenssl({"dgst", dgstFlag, "-verify", publicKey, "-signature", dir / "raw.sig",
                        dir / "tampered"})
                .exitCode,
            0);
}

class Sign : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    rsa_ = MakeKeyPair(*dir_, "RSA", "rsa");
    gost_ = MakeKeyPair(*dir_, "GOST", "gost");
    WriteBytes(*dir_ / "data.bin", std::string("a\0b\r\n\r\n\0\xFF", 9));
    WriteBytes(*dir_ / "empty", "");
  }
  static void TearDownTestSuite() { delete dir_; }
  static const TempDir& dir() { return *dir_; }

  static TempDir* dir_;
  static KeyFiles rsa_, gost_;
};
TempDir* Sign::dir_ = nullptr;
KeyFiles Sign::rsa_, Sign::gost_;

}  // namespace

TEST_F(Sign, PemKeysSignEveryByteAndWriteExactlyThePrintedRecord) {
  for (const auto& [word, keys] : {std::pair{kSha256, rsa_}, std::pair{kGost, gost_}}) {
    for (const std::string& data : {dir() / "data.bin", dir() / "empty"}) {
      const std::string out = dir() / "record";
      WriteBytes(out, std::string(2000, 'L'));
      const RunResult r = RunTool({"sign", word.word, keys.privateKey, data, out, "ignored", "x"});
      const std::string record = RecordAfter(r.out, word.prefix);
      EXPECT_EQ(r.out, Lines({"Private key path is " + keys.privateKey, word.algorithmLine,
                              word.prefix + record, "Signature written to " + out}));
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(ReadBytes(out), record);
      ExpectVerifiedRecord(dir(), record, "", word.dgstFlag, keys.publicKey, data, word.signLength);
    }
  }
}

TEST_F(Sign, RsaRecordsRepeatWhileGostRecordsDiffer) {
  const auto record = [&](const Word& word, const KeyFiles& keys) {
    return RecordAfter(RunTool({"sign", word.word, keys.privateKey, dir() / "data.bin"}).out,
                       word.prefix);
  };
  EXPECT_EQ(record(kSha256, rsa_), record(kSha256, rsa_));
  EXPECT_NE(record(kGost, gost_), record(kGost, gost_));
}

TEST_F(Sign, Pkcs12KeysTakeSerialAndDigestFromTheirCertificate) {
  struct Case {
    const KeyFiles& keys;
    std::vector<std::string> certArgs, pkcs12Args;
    std::string file;
    const Word& word;
    std::string serial, dgstFlag;
  };
  const Case cases[] = {
      {rsa_, {"-set_serial", "1"}, {}, "one.pfx", kGost, "01", "-sha256"},
      {rsa_, {"-set_serial", "0xABCDEF0102"}, {}, "big.PFX", kSha256, "ABCDEF0102", "-sha256"},
      {rsa_, {"-sha1", "-set_serial", "0"}, {}, "sha1.Pfx", kSha256, "0", "-sha1"},
      {gost_, {"-set_serial", "7"}, {}, "gost.pfx", kSha256, "07", "-md_gost12_256"},
      {rsa_, {}, {"-nocerts"}, "bare.pfx", kSha256, "", "-sha256"},
  };
  for (const Case& c : cases) {
    const std::string cert = MakeCertificate(dir(), c.keys.privateKey, c.file + ".crt", c.certArgs);
    const std::string pfx =
        MakePkcs12(dir(), c.keys.privateKey, cert, "pw 1", c.file, c.pkcs12Args);
    const RunResult r = RunTool({"sign", c.word.word, pfx, dir() / "data.bin", "", "pw 1"});
    const std::string record = RecordAfter(r.out, c.word.prefix);
    EXPECT_EQ(r.out,
              Lines({"Private key path is " + pfx, c.word.algorithmLine, c.word.prefix + record}));
    EXPECT_EQ(r.err, "");
    ExpectVerifiedRecord(dir(), record, c.serial, c.dgstFlag, c.keys.publicKey, dir() / "data.bin");
  }
}

TEST_F(Sign, KeyFileFailuresPrintTheReaderLineThenSignatureIsError) {
  const std::string cert = MakeCertificate(dir(), rsa_.privateKey, "rsa.crt");
  const std::string pfx = MakePkcs12(dir(), rsa_.privateKey, cert, "pw", "good.pfx");
  const std::string pss =
      MakeCertificate(dir(), rsa_.privateKey, "pss.crt", {"-sigopt", "rsa_padding_mode:pss"});
  MakePkcs12(dir(), rsa_.privateKey, pss, "pw", "pss.pfx");
  // Only PFX, pfx and Pfx mark a PKCS#12 file; a name that is all extension has none.
  for (const char* name : {"k.pFx", "k.p12", "k.PFx", ".pfx"}) {
    WriteBytes(dir() / name, ReadBytes(pfx));
  }
  WriteBytes(dir() / "pem.pfx", ReadBytes(rsa_.privateKey));
  WriteBytes(dir() / "empty.pfx", "");
  const std::string noKey = "Failed to load private key.\n";
  const std::string notPkcs12 = "Error reading PFX file.\n" + noKey;
  const std::pair<std::string, std::string> cases[] = {
      {"k.pFx", noKey},
      {"k.p12", noKey},
      {"k.PFx", noKey},
      {".pfx", noKey},
      {"pem.pfx", notPkcs12},
      {"empty.pfx", notPkcs12},
      {"missing.pem", "Unable to open key file!\n" + noKey},
      {"pss.pfx", "Failed to get digest: RSASSA-PSS\n"},
      {"good.pfx", "Error parsing PFX file: "},  // then OpenSSL's text
  };
  RunOptions inDir;
  inDir.cwd = dir().path();  // so that ".pfx" is the whole path
  for (const auto& [name, err] : cases) {
    const std::string password = name == "good.pfx" ? "wrong" : "pw";
    const RunResult r = RunTool({"sign", "SHA256", name, "data.bin", "", password}, inDir);
    EXPECT_EQ(r.out,
              Lines({"Private key path is " + name, kSha256.algorithmLine, "Signature is error"}));
    if (name != "good.pfx") {
      EXPECT_EQ(r.err, err) << name;
      continue;
    }
    const std::string tail = "\n" + noKey;
    EXPECT_EQ(r.err.substr(0, err.size() + 6), err + "error:");
    EXPECT_EQ(r.err.find('\n'), r.err.size() - tail.size());
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail);
  }
}

TEST_F(Sign, ArgumentAndFileProblemsPrintTheirLines) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"sign", "SHA256"}, {"sign", "GOST", rsa_.privateKey}}) {
    const RunResult r = RunTool(args);
    EXPECT_EQ(r.out, Lines({"Private key file or input file is not set"}));
    EXPECT_EQ(r.err, "");
  }
  // Both files are read before the word is looked at.
  for (const char* word : {"sha256", "Gost", "RSA"}) {
    const RunResult r = RunTool({"sign", word, dir() / "no-key", dir() / "no-data"});
    EXPECT_EQ(r.out, Lines({"Private key path is " + dir() / "no-key", "Algoritm is Missing"}));
    EXPECT_EQ(r.err, "Unable to open key file!\nUnable to open key file!\n");
  }
  // The key does not suit the digest: the signing calls fail without a word.
  RunResult r = RunTool({"sign", "GOST", rsa_.privateKey, dir() / "data.bin"});
  EXPECT_EQ(r.out, Lines({"Private key path is " + rsa_.privateKey, kGost.algorithmLine,
                          "Signature is error"}));
  EXPECT_EQ(r.err, "");
  // A missing input file is signed as empty data; a missing folder gets no file.
  const std::string nowhere = dir() / "no/such/folder/sig";
  r = RunTool({"sign", "SHA256", rsa_.privateKey, dir() / "no-data", nowhere});
  const std::string record = RecordAfter(r.out, kSha256.prefix);
  EXPECT_EQ(r.out, Lines({"Private key path is " + rsa_.privateKey, kSha256.algorithmLine,
                          kSha256.prefix + record}));
  EXPECT_EQ(r.err, "Unable to open key file!\nFailed to open file for writing: " + nowhere + "\n");
  EXPECT_FALSE(FileExists(nowhere));
  ExpectVerifiedRecord(dir(), record, "", "-sha256", rsa_.publicKey, dir() / "empty");
  // The last dot stands in a folder name: the "extension" holds a separator, so PEM.
  std::filesystem::create_directory(dir() / "keys.pfx");
  WriteBytes(dir() / "keys.pfx/rsa", ReadBytes(rsa_.privateKey));
  r = RunTool({"sign", "SHA256", dir() / "keys.pfx/rsa", dir() / "empty"});
  EXPECT_EQ(RecordAfter(r.out, kSha256.prefix), record);
}

TEST(PfxToPrivateKey, FillsSerialAndDigestOnlyFromACertificate) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string cert = MakeCertificate(dir, keys.privateKey, "c.crt", {"-sha1"});
  const std::string withCert = ReadBytes(MakePkcs12(dir, keys.privateKey, cert, "pw", "a.pfx"));
  const std::string bare =
      ReadBytes(MakePkcs12(dir, keys.privateKey, cert, "pw", "b.pfx", {"-nocerts"}));
  std::string serial = "kept", digest = "kept";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(PfxToPrivateKey(withCert, "bad", serial, digest), nullptr);
  EXPECT_EQ(PfxToPrivateKey("", "pw", serial, digest), nullptr);
  for (const std::string* pfx : {&bare, &withCert}) {
    EXPECT_EQ(serial + digest, "keptkept");
    EVP_PKEY* key = PfxToPrivateKey(*pfx, "pw", serial, digest);
    EXPECT_NE(key, nullptr);
    EVP_PKEY_free(key);
  }
  EXPECT_EQ(digest, "RSA-SHA1");
  EXPECT_EQ(serial.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  // RSA-SHA256 names a digest too, but the reader hands on the plain name.
  const std::string cert256 = MakeCertificate(dir, keys.privateKey, "c256.crt");
  EVP_PKEY_free(PfxToPrivateKey(ReadBytes(MakePkcs12(dir, keys.privateKey, cert256, "pw", "c.pfx")),
                                "pw", serial, digest));
  EXPECT_EQ(digest, "SHA256");
  ::testing::internal::GetCapturedStderr();
}
