// The tool's keys, requests, PKCS#12 files and signatures, RSA and GOST, read by openssl and back.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

TEST(Interop, KeysRequestsPkcs12FilesAndSignaturesRoundTripWithOpenssl) {
  for (const Algorithm& alg : {kRsa, kGost}) {
    SCOPED_TRACE(alg.kind);
    const bool rsa = alg.kind == "RSA";
    TempDir dir;
    const std::string stem = dir / (rsa ? "rsa" : "gost"), doc = dir / "doc", sig = dir / "sig",
                      csr = dir / "req.csr", pfx = dir / "ours.Pfx";
    const KeyFiles ours{stem + "_private_key.pem", stem + "_public_key.pem"};
    WriteBytes(doc, std::string("Payment order 42\r\n\0\xFF", 20));
    // The tool makes keys and a request that openssl reads whole: the key carried, a good
    // self-signature with the word's digest, the subject (no leading slash, a value with
    // "=", an unknown field, a blank before a field, and bytes that are each one
    // character, so UTF-8 is encoded again) and the extensions.
    RunTool(rsa ? std::vector<std::string>{"genkeys", "RSA", "2048", dir.path()}
                : std::vector<std::string>{"genkeys", "GOST", dir.path()});
    const std::string publicPem = rsa ? FromTextMode(ReadBytes(ours.publicKey))  // a text file
                                      : ReadBytes(ours.publicKey);
    const RunResult run = RunTool({"CSR", alg.word, ours.privateKey, ours.publicKey,
                                   "C=TJ/O=A=B/XX=x/ CN=blank/CN=caf\xC3\xA9", csr});
    EXPECT_EQ(run.out + run.err, kBanner + "Signing algoritm " +
                                     (rsa ? "SHA256" : "GOST R 3411-2012") +
                                     "\nCSR:" + ReadBytes(csr) + "\nCSR saved to file " + csr);
    const RunResult read = RunOpenssl({"req", "-in", csr, "-noout", "-verify", "-pubkey", "-text",
                                       "-subject", "-nameopt", "oneline"});
    EXPECT_EQ(read.err + read.out.substr(0, read.out.find(publicPem)),  // 3.5: on the output
              "Certificate request self-signature verify OK\n");
    EXPECT_EQ(read.out.substr(read.out.rfind("subject=")),
              "subject=C = TJ, O = A=B, CN = caf\\C3\\83\\C2\\A9\n");
    EXPECT_TRUE(Contains(read.out, rsa ? "sha256WithRSAEncryption\n"
                                       : "GOST R 34.10-2012 with GOST R 34.11-2012 (256 bit)\n"));
    EXPECT_TRUE(Contains(read.out,
                         "Requested Extensions:\n"
                         "                X509v3 Basic Constraints: \n"
                         "                    CA:FALSE\n"
                         "                X509v3 Key Usage: \n"
                         "                    Digital Signature, Key Encipherment\n"));
    // openssl issues the certificate (signed with SHA-512, then SHA-1, whatever the key), the tool
    // packs it with its key and the authority's; it signs with its key file and each PKCS#12
    // file, the certificate giving the serial and the word the digest; openssl checks them all.
    const KeyFiles issuer = MakeKeyPair(dir, "RSA", "issuer");
    const std::string ca = MakeCertificate(dir, issuer.privateKey, "ca.crt");
    for (const std::string by : {"", "-sha512", "-sha1"}) {
      if (!by.empty()) {
        RunOpensslOrThrow({"x509", "-req", "-in", csr, "-CA", ca, "-CAkey", issuer.privateKey, by,
                           "-set_serial", "0x1234", "-out", dir / "crt"});
        RunTool({"PFX", ours.privateKey, dir / "crt", pfx, "pw", ca});
      }
      const std::string key = by.empty() ? ours.privateKey : pfx;
      const RunResult signing =
          ExpectRun({"sign", alg.word, key, doc, "", "pw"}, 0,
                    SignOutput(key, alg, RecordLine(alg, by.empty() ? "" : "1234")));
      WriteBytes(sig, RawSignatureOf(signing.out));
      EXPECT_EQ(
          RunOpenssl({"dgst", alg.dgst, "-verify", ours.publicKey, "-signature", sig, doc}).out,
          "Verified OK\n")
          << by;
    }
    const std::string info =
        RunOpensslOrThrow({"pkcs12", "-info", "-nodes", "-in", pfx, "-passin", "pass:pw"});
    EXPECT_TRUE(Contains(info, ReadBytes(dir / "crt")) && Contains(info, ReadBytes(ca)));
    EXPECT_EQ(RunOpensslOrThrow({"pkey", "-pubout"}, info), publicPem);
    // openssl signs; the tool verifies with the public key file and the PKCS#12 file.
    RunOpensslOrThrow({"dgst", alg.dgst, "-sign", ours.privateKey, "-out", sig, doc});
    for (const std::string& key : {ours.publicKey, pfx}) {
      const RunResult verifying = RunTool({"verify", alg.word, key, doc, sig, "pw"});
      EXPECT_EQ(verifying.out.substr(verifying.out.rfind(alg.line)) + verifying.err,
                alg.line + "Verification OK\n");
    }
  }
}
