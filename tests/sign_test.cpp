// The sign command: records printed and written, signatures that the openssl
// program accepts, PKCS#12 signer identity, and every failure line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "pkcs12/PFX_parser.h"
#include "tests/support/test_support.h"

namespace {

const std::string kNoKey = "Failed to load private key.\n";

// The openssl program's verdict on the signature inside a printed record.
bool OpensslAccepts(const TempDir& dir, const RunResult& run, const std::string& dgst,
                    const std::string& publicKey, const std::string& data) {
  WriteBytes(dir / "raw.sig", RawSignatureOf(run.out));
  const std::vector<std::string> args{"dgst",       dgst,           "-verify", publicKey,
                                      "-signature", dir / "raw.sig", data};
  return RunOpenssl(args).out == "Verified OK\n";
}

// What a run prints up to the record, and the record with its signature masked.
std::string Signed(const std::string& key, const Algorithm& alg, const std::string& serial) {
  return "Private key path is " + key + "\n" + alg.line + alg.prefix + "{\"serial\":\"" + serial +
         "\",\"sign\":\"*\"}\n";
}

}  // namespace

TEST(SignCommand, KeysSignEveryByteAndPkcs12CertificatesGiveSerialAndDigest) {
  TempDir dir;
  WriteBytes(dir / "data", std::string("a\0b\r\n\r\n\0\xFF", 9));
  WriteBytes(dir / "empty", "");
  const KeyFiles rsa = MakeKeyPair(dir, "RSA", "rsa"), gost = MakeKeyPair(dir, "GOST", "gost");
  // PEM keys: the record goes whole, without a line end, over an older longer file.
  for (const auto& [alg, keys, length] : {std::tuple{kRsa, rsa, 344u}, {kGost, gost, 88u}}) {
    for (const std::string& data : {dir / "data", dir / "empty"}) {
      const std::string out = dir / "record";
      WriteBytes(out, std::string(2000, 'L'));
      const RunResult run = ExpectRun({"sign", alg.word, keys.privateKey, data, out, "", "x"},
                                      Signed(keys.privateKey, alg, "") + "Signature written to " +
                                          out + "\n");
      const std::string record = ReadBytes(out);
      EXPECT_TRUE(Contains(run.out, alg.prefix + record + "\nSignature written"));
      EXPECT_EQ(record.size() - 23, length);  // beside {"serial":"","sign":""}
      EXPECT_TRUE(OpensslAccepts(dir, run, alg.dgst, keys.publicKey, data)) << data;
    }
  }
  // PKCS#12 keys: the certificate gives the serial and overrides the word's digest.
  const struct {
    const KeyFiles& keys;
    std::vector<std::string> certArgs;
    std::string file;
    const Algorithm& alg;
    std::string serial, dgst;
  } cases[] = {
      {rsa, {"-set_serial", "1"}, "one.pfx", kGost, "01", "-sha256"},
      {rsa, {"-sha1", "-set_serial", "0xABCDEF0102"}, "sha1.Pfx", kRsa, "ABCDEF0102", "-sha1"},
      {gost, {"-set_serial", "0"}, "gost.PFX", kRsa, "0", "-md_gost12_256"},
  };
  for (const auto& c : cases) {
    const std::string cert = MakeCertificate(dir, c.keys.privateKey, c.file + ".crt", c.certArgs);
    const std::string pfx = MakePkcs12(dir, c.keys.privateKey, cert, "pw 1", c.file);
    // An empty output argument writes no file, yet lets the password follow.
    const RunResult run = ExpectRun({"sign", c.alg.word, pfx, dir / "data", "", "pw 1"},
                                    Signed(pfx, c.alg, c.serial));
    EXPECT_TRUE(OpensslAccepts(dir, run, c.dgst, c.keys.publicKey, dir / "data")) << c.file;
  }
  // The reader hands on SHA-256 plainly, and leaves its outputs alone when it fails.
  std::string serial = "kept", digest = "kept";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(PfxToPrivateKey(ReadBytes(dir / "one.pfx"), "bad", serial, digest), nullptr);
  EXPECT_EQ(serial + digest, "keptkept");
  const PkeyPtr key(PfxToPrivateKey(ReadBytes(dir / "one.pfx"), "pw 1", serial, digest));
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(serial + " " + digest, "01 SHA256");
}

TEST(SignCommand, EachFailurePrintsItsLinesOnItsStream) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string key = "key_private.pem";  // names are relative to dir, so ".pfx" is whole
  const std::string cert = MakeCertificate(dir, keys.privateKey, "c.crt");
  const std::string pfx = MakePkcs12(dir, keys.privateKey, cert, "pw", "good.pfx");
  const std::string pss =
      MakeCertificate(dir, keys.privateKey, "pss.crt", {"-sigopt", "rsa_padding_mode:pss"});
  MakePkcs12(dir, keys.privateKey, pss, "pw", "pss.pfx");
  for (const char* name : {"k.pFx", ".pfx"}) WriteBytes(dir / name, ReadBytes(pfx));
  WriteBytes(dir / "pem.pfx", ReadBytes(keys.privateKey));
  WriteBytes(dir / "data", "data");
  WriteBytes(dir / "empty.cnf", "");  // enables no GOST
  const RunOptions inDir{dir.path()}, noGost{dir.path(), dir / "empty.cnf"};
  const std::string notSet = "Private key file or input file is not set\n";
  const auto failed = [](const std::string& keyFile, const Algorithm& alg) {
    return "Private key path is " + keyFile + "\n" + alg.line + "Signature is error\n";
  };
  ExpectRuns({
      {{"sign", "SHA256"}, notSet},
      {{"sign", "GOST", key}, notSet},
      // Both files are read before the word is looked at.
      {{"sign", "sha256", "no-key", "no-data"}, "Private key path is no-key\nAlgoritm is Missing\n",
       "Unable to open key file!\nUnable to open key file!\n", inDir},
      {{"sign", "SHA256", "no.pem", "data"}, failed("no.pem", kRsa),
       "Unable to open key file!\n" + kNoKey, inDir},
      // Only PFX, pfx and Pfx mark a PKCS#12 file; a name that is all extension has none.
      {{"sign", "SHA256", "k.pFx", "data", "", "pw"}, failed("k.pFx", kRsa), kNoKey, inDir},
      {{"sign", "SHA256", ".pfx", "data", "", "pw"}, failed(".pfx", kRsa), kNoKey, inDir},
      {{"sign", "SHA256", "pem.pfx", "data", "", "pw"}, failed("pem.pfx", kRsa),
       "Error reading PFX file.\n" + kNoKey, inDir},
      {{"sign", "SHA256", "good.pfx", "data", "", "wrong"}, failed("good.pfx", kRsa),
       "Error parsing PFX file: error:*\n" + kNoKey, inDir},
      {{"sign", "SHA256", "pss.pfx", "data", "", "pw"}, failed("pss.pfx", kRsa),
       "Failed to get digest: RSASSA-PSS\n", inDir},
      // An RSA key does not suit the GOST digest: the signing calls fail without a word,
      // and where nothing enables GOST its digest is not even found (on Windows GOST is
      // built in, and a configuration of the user's own cannot take it away).
      {{"sign", "GOST", key, "data"}, failed(key, kGost), "", inDir},
      {{"sign", "GOST", key, "data"}, failed(key, kGost),
       ToolIsWindows() ? "" : "Failed to get digest: md_gost12_256\n", noGost},
      // A missing input file is signed as empty data; a missing folder gets no file.
      {{"sign", "SHA256", key, "no-data", "no/sig"}, Signed(key, kRsa, ""),
       "Unable to open key file!\nFailed to open file for writing: no/sig\n", inDir},
  });
}
