// The tool's keys, requests, PKCS#12 files and signatures, RSA and GOST, read by openssl and back.
#include <gtest/gtest.h>

#include <array>

#include "tests/support/test_support.h"

TEST(Interop, KeysRequestsPkcs12FilesAndSignaturesRoundTripWithOpenssl) {
  for (const Algorithm& alg : {kRsa, kGost}) {
    SCOPED_TRACE(alg.kind);
    const bool rsa = alg.kind == "RSA";
    TempDir dir;
    const std::string stem = dir / (rsa ? "rsa" : "gost"), doc = dir / "doc", sig = dir / "sig",
                      csr = dir / "req.csr", pfx = dir / "ours.p12", crt = dir / "crt";
    const KeyFiles ours{stem + "_private_key.pem", stem + "_public_key.pem"};
    WriteBytes(doc, std::string("Payment order 42\r\n\0\xFF", 20));
    // The tool makes keys and a request that openssl reads whole: the key carried, a good
    // self-signature with the word's digest, the subject (no leading slash, a value with
    // "=", and Tajik letters in UTF-8, shown as typed) and the extensions.
    RunTool(rsa ? std::vector<std::string>{"genkeys", "RSA", "2048", dir.path()}
                : std::vector<std::string>{"genkeys", "GOST", dir.path()});
    const std::string publicPem = rsa ? FromTextMode(ReadBytes(ours.publicKey))  // a text file
                                      : ReadBytes(ours.publicKey);
    const RunResult run = RunTool({"CSR", alg.word, ours.privateKey, ours.publicKey,
                                   "C=TJ/O=A=B/L=Душанбе/CN=Раҳимов Ҷамшед", csr});
    EXPECT_EQ(run.out + run.err, kBanner + "Signing algoritm " +
                                     (rsa ? "SHA256" : "GOST R 3411-2012") +
                                     "\nCSR:" + ReadBytes(csr) + "\nCSR saved to file " + csr);
    const RunResult read = RunOpenssl({"req", "-in", csr, "-noout", "-verify", "-pubkey", "-text",
                                       "-subject", "-nameopt", "utf8"});
    EXPECT_EQ(read.err + read.out.substr(0, read.out.find(publicPem)),  // 3.5: on the output
              "Certificate request self-signature verify OK\n");
    EXPECT_EQ(read.out.substr(read.out.rfind("subject=")),
              "subject=C=TJ, O=A=B, L=Душанбе, CN=Раҳимов Ҷамшед\n");
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
    // file, the certificate giving the serial and the word the digest, and writes the records;
    // openssl checks them all.
    const KeyFiles issuer = MakeKeyPair(dir, "RSA", "issuer");
    const std::string ca = MakeCertificate(dir, issuer.privateKey, "ca.crt");
    for (const std::string by : {"", "-sha512", "-sha1"}) {
      if (!by.empty()) {
        RunOpensslOrThrow({"x509", "-req", "-in", csr, "-CA", ca, "-CAkey", issuer.privateKey, by,
                           "-set_serial", "0x1234", "-out", crt});
        RunTool({"PFX", ours.privateKey, crt, pfx, "pw", ca});
      }
      const std::string key = by.empty() ? ours.privateKey : pfx, record = dir / ("record" + by);
      const RunResult signing = ExpectRun({"sign", alg.word, key, doc, record, "pw"}, 0,
                                          SignOutput(key, alg,
                                                     RecordLine(alg, by.empty() ? "" : "1234") +
                                                         "Signature written to " + record + "\n"));
      WriteBytes(sig, RawSignatureOf(signing.out));
      EXPECT_EQ(
          RunOpenssl({"dgst", alg.dgst, "-verify", ours.publicKey, "-signature", sig, doc}).out,
          "Verified OK\n")
          << by;
    }
    const std::string info =
        RunOpensslOrThrow({"pkcs12", "-info", "-nodes", "-in", pfx, "-passin", "pass:pw"});
    EXPECT_TRUE(Contains(info, ReadBytes(crt)) && Contains(info, ReadBytes(ca)));
    EXPECT_EQ(RunOpensslOrThrow({"pkey", "-pubout"}, info), publicPem);
    // openssl signs; the tool verifies that and its own records with each kind of key file,
    // and a changed document fails. A certificate's names are shown in UTF-8.
    RunOpensslOrThrow({"dgst", alg.dgst, "-sign", ours.privateKey, "-out", sig, doc});
    RunOpensslOrThrow({"x509", "-in", crt, "-outform", "DER", "-out", crt + ".der"});
    RunOpensslOrThrow(
        {"pkey", "-pubin", "-in", ours.publicKey, "-outform", "DER", "-out", dir / "pub.der"});
    WriteBytes(doc + "2", ReadBytes(doc) + "!");
    const std::string ok = alg.line + "Verification OK\n",
                      failed = alg.line + "Verification Failed\n",
                      report =
                          "Subject Name: /C=TJ/O=A=B/L=Душанбе/CN=Раҳимов Ҷамшед\nIssuer Name: "
                          "/C=TJ/O=TRIL Test/CN=Test Signer\nnot After " +
                          RunOpensslOrThrow({"x509", "-in", crt, "-noout", "-enddate"}).substr(9);
    for (const auto& [key, signature, document, out] : std::vector<std::array<std::string, 4>>{
             {ours.publicKey, sig, doc, ok},
             {pfx, dir / "record-sha1", doc, "PFX is used\n" + report + ok},
             {crt, dir / "record", doc, report + ok},
             {crt, sig, doc + "2", report + failed},
             {crt + ".der", sig, doc, report + ok},
             {crt + ".der", dir / "record-sha1", doc + "2", report + failed},
             {dir / "pub.der", dir / "record", doc, ok},
             {dir / "pub.der", sig, doc + "2", failed}}) {
      ExpectRun({"verify", alg.word, key, document, signature, "pw"}, Contains(out, ok) ? 0 : 1,
                out);
    }
  }
}
