// The tool's own keys, requests and PKCS#12 files in a round trip with the
// openssl program, for RSA and GOST: each side reads what the other wrote.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

TEST(Interop, KeysSignaturesRequestsAndPkcs12FilesRoundTripWithOpenssl) {
  for (const Algorithm& alg : {kRsa, kGost}) {
    SCOPED_TRACE(alg.kind);
    TempDir dir;
    const std::string stem = dir / (alg.kind == "RSA" ? "rsa" : "gost"), doc = dir / "doc",
                      sig = dir / "sig", pfx = dir / "ours.pfx";
    const KeyFiles ours{stem + "_private_key.pem", stem + "_public_key.pem"};
    WriteBytes(doc, std::string("Payment order 42\r\n\0\xFF", 20));
    // The tool makes keys and a request; openssl issues the certificate (checking the
    // request's self-signature), which the tool packs with its key.
    RunTool(alg.kind == "RSA" ? std::vector<std::string>{"genkeys", "RSA", "2048", dir.path()}
                              : std::vector<std::string>{"genkeys", "GOST", dir.path()});
    RunTool({"CSR", alg.word, ours.privateKey, ours.publicKey, "/CN=Interop", dir / "req.csr"});
    const KeyFiles issuer = MakeKeyPair(dir, alg.kind, "issuer");
    const std::string ca = MakeCertificate(dir, issuer.privateKey, "ca.crt");
    RunOpensslOrThrow({"x509", "-req", "-in", dir / "req.csr", "-CA", ca, "-CAkey",
                       issuer.privateKey, alg.dgst, "-set_serial", "0x1234", "-out", dir / "crt"});
    RunTool({"PFX", ours.privateKey, dir / "crt", pfx, "pw", ca, "Signer"});
    // The tool signs with its key file and its PKCS#12 file; openssl checks with the public key.
    for (const auto& [key, serial] : {std::pair{ours.privateKey, ""}, {pfx, "1234"}}) {
      const RunResult run =
          ExpectRun({"sign", alg.word, key, doc, "", "pw"}, "Private key path is " + key + "\n" +
                    alg.line + alg.prefix + "{\"serial\":\"" + serial + "\",\"sign\":\"*\"}\n");
      WriteBytes(sig, RawSignatureOf(run.out));
      EXPECT_EQ(RunOpenssl({"dgst", alg.dgst, "-verify", ours.publicKey, "-signature", sig, doc}).out,
                "Verified OK\n");
    }
    // openssl signs; the tool verifies with the public key file and the PKCS#12 file.
    RunOpensslOrThrow({"dgst", alg.dgst, "-sign", ours.privateKey, "-out", sig, doc});
    for (const std::string& key : {ours.publicKey, pfx}) {
      const RunResult run = RunTool({"verify", alg.word, key, doc, sig, "pw"});
      EXPECT_EQ(run.out.substr(run.out.rfind(alg.line)) + run.err, alg.line + "Verification OK\n");
    }
  }
}
