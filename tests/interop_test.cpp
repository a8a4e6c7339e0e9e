// What the tool writes the openssl program reads, and what the openssl
// program writes the tool uses, for RSA and GOST.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/myBase64.h"
#include "tests/support/test_support.h"

namespace {

std::string LastLine(const std::string& out) {
  return out.substr(out.rfind('\n', out.size() - 2) + 1);
}

}  // namespace

TEST(Interop, KeysSignaturesRequestsAndPkcs12FilesRoundTripWithOpenssl) {
  for (const std::string kind : {"RSA", "GOST"}) {
    SCOPED_TRACE(kind);
    const bool rsa = kind == "RSA";
    const std::string word = rsa ? "SHA256" : "GOST", digest = rsa ? "-sha256" : "-md_gost12_256";
    TempDir dir;
    const std::string doc = dir / "doc.txt", sig = dir / "raw.sig";
    WriteBytes(doc, std::string("Payment order 42\r\n\0\xFF", 20));
    // The tool signs with a PEM key or PKCS#12 file; openssl verifies the record's signature.
    const auto toolSigns = [&](const std::string& keyFile, const std::string& password,
                               const std::string& publicKey, const std::string& serial) {
      const RunResult run = RunTool({"sign", word, keyFile, doc, "", password});
      const std::string head = (rsa ? "RSA" : "Gost") + std::string(" signature {\"serial\":\"") +
                               serial + "\",\"sign\":\"";
      const std::string record = LastLine(run.out);
      ASSERT_EQ(record.substr(0, head.size()), head) << run.out << run.err;
      WriteBytes(sig, Base64Decode(record.substr(head.size(), record.size() - head.size() - 3)));
      EXPECT_EQ(RunOpenssl({"dgst", digest, "-verify", publicKey, "-signature", sig, doc}).out,
                "Verified OK\n");
    };
    // openssl signs; the tool verifies with a PEM public key or a PKCS#12 file.
    const auto toolVerifies = [&](const std::string& privateKey, const std::string& keyFile,
                                  const std::string& password) {
      RunOpensslOrThrow({"dgst", digest, "-sign", privateKey, "-out", sig, doc});
      const RunResult run = RunTool({"verify", word, keyFile, doc, sig, password});
      EXPECT_EQ(LastLine(run.out) + run.err, "Verification OK\n");
    };

    std::vector<std::string> genkeys{"genkeys", kind, "2048", dir.path()};
    if (!rsa) genkeys.erase(genkeys.begin() + 2);
    ASSERT_EQ(LastLine(RunTool(genkeys).out), "Result :1\n");
    const std::string stem = dir / (rsa ? "rsa" : "gost");
    const KeyFiles ours{stem + "_private_key.pem", stem + "_public_key.pem"};
    const std::string publicPem = ReadBytes(ours.publicKey);  // RSA's is a text file
    EXPECT_EQ(RunOpensslOrThrow({"pkey", "-in", ours.privateKey, "-pubout"}),
              rsa ? FromTextMode(publicPem) : publicPem);
    toolSigns(ours.privateKey, "", ours.publicKey, "");
    toolVerifies(ours.privateKey, ours.publicKey, "");

    const KeyFiles theirs = MakeKeyPair(dir, kind, "theirs");
    toolSigns(theirs.privateKey, "", theirs.publicKey, "");
    const std::string csr = dir / "req.csr", signer = dir / "signer.crt", pfx = dir / "ours.pfx";
    EXPECT_EQ(RunTool({"CSR", word, theirs.privateKey, theirs.publicKey, "/CN=Interop", csr}).err,
              "");
    EXPECT_EQ(RunOpenssl({"req", "-in", csr, "-verify", "-noout"}).err,
              "Certificate request self-signature verify OK\n");
    const std::string ca =
        MakeCertificate(dir, ours.privateKey, "ca.crt", {digest, "-set_serial", "5"});
    RunOpensslOrThrow({"x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ours.privateKey, digest,
                       "-set_serial", "0x1234", "-days", "30", "-out", signer});

    // Ours, packed from that certificate: signs, verifies, and openssl opens it.
    EXPECT_EQ(LastLine(RunTool({"PFX", theirs.privateKey, signer, pfx, "pw", ca, "Signer"}).out),
              "data saved to PKCS12 file " + pfx + "\n");
    toolSigns(pfx, "pw", theirs.publicKey, "1234");
    toolVerifies(theirs.privateKey, pfx, "pw");
    const std::string opened =
        RunOpensslOrThrow({"pkcs12", "-in", pfx, "-passin", "pass:pw", "-nodes"});
    WriteBytes(dir / "opened.pem", opened);
    EXPECT_EQ(RunOpensslOrThrow({"pkey", "-in", dir / "opened.pem", "-pubout"}),
              ReadBytes(theirs.publicKey));
    EXPECT_NE(opened.find("friendlyName: Signer"), std::string::npos);

    // Theirs, from openssl pkcs12 -export: signs and verifies.
    const std::string exported = MakePkcs12(dir, ours.privateKey, ca, "s3cret", "theirs.pfx");
    toolSigns(exported, "s3cret", ours.publicKey, "05");
    toolVerifies(ours.privateKey, exported, "s3cret");
  }
}
