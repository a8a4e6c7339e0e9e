// The tool's keys, requests, PKCS#12 files and signatures, RSA and GOST, read by openssl and back.
#include <gtest/gtest.h>

#include <array>

#include "common/algorithm_words.h"
#include "common/gost_modes.h"
#include "common/gost_setup.h"
#include "platform/platform.h"
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

// The standards' own examples: PBKDF2-HMAC-Streebog-512 (R 50.1.111-2016, as RFC 9337 repeats
// it), KDF_TREE_GOSTR3411_2012_256 (R 50.1.113-2016), Kuznyechik in CTR-ACPKM with 32-octet
// sections (R 1323565.1.017-2018), and OMAC of Kuznyechik and Magma (GOST R 34.13-2015).
TEST(GostModes, EachPieceGivesTheStandardsExamples) {
  ASSERT_TRUE(PrepareOpenSsl() && PrepareGost(false));
  const auto hex = [](const std::string& digits) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
      bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    }
    return bytes;
  };
  const std::string k = hex("8899aabbccddeeff0011223344556677fedcba98765432100123456789abcdef"),
                    p =
                        hex("1122334455667700ffeeddccbbaa998800112233445566778899aabbcceeff0a"
                            "112233445566778899aabbcceeff0a002233445566778899aabbcceeff0a0011"),
                    km = hex("ffeeddccbbaa99887766554433221100f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
  const MdPtr streebog = DigestByName(kStreebog512Digest);
  const CipherPtr kuznyechik = CipherByName(OBJ_nid2sn(NID_kuznyechik_cbc)),
                  magma = CipherByName(OBJ_nid2sn(NID_magma_cbc));
  ASSERT_TRUE(streebog && kuznyechik && magma);
  std::string data = p + hex("33445566778899aabbcceeff0a001122445566778899aabbcceeff0a00112233"
                             "5566778899aabbcceeff0a0011223344");
  ASSERT_TRUE(CtrAcpkm(kuznyechik.get(), k, hex("1234567890abcef0"), 32, data));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Pbkdf2("password", "salt", 1, streebog.get(), 64),
       "64770af7f748c3b1c9ac831dbcfd85c26111b30a8a657ddc3056b80ca73e040d"
       "2854fd36811f6d825cc4ab66ec0a68a490a9e5cf5156b3a2b7eecddbf9a16b47"},
      {Pbkdf2("password", "salt", 4096, streebog.get(), 64),
       "e52deb9a2d2aaff4e2ac9d47a41f34c20376591c67807f0477e32549dc341bc7"
       "867c09841b6d58e29d0347c996301d55df0d34e47cf68f4e3c2cdaf1d9ab86c3"},
      {KdfTree256(hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"),
                  hex("26bdb878"), hex("af21434145656378"), 64),
       "22b6837845c6bef65ea71672b265831086d3c76aebe6dae91cad51d83f79d16b"
       "074c9330599d7f8d712fca54392f4ddde93751206b3584c8f43f9e6dc51531f9"},
      {data,
       "f195d8bec10ed1dbd57b5fa240bda1b885eee733f6a13e5df33ce4b33c45dee4"
       "4bceeb8f646f4c55001706275e85e800587c4df568d094393e4834afd0805046"
       "cf30f57686aeece11cfc6c316b8a896edffd07ec813636460c4f3b743423163e"
       "6409a9c282fac8d469d221e7fbd6de5d"},
      {Omac(kuznyechik.get(), k, p), "336f4d296059fbe34ddeb35b37749c67"},
      {Omac(magma.get(), km,
            hex("92def06b3c130a59db54c704f8189d204a98fb2e67a8024c8912409b17b57e41")),
       "154e72102030c5bb"},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, hex(expected));
}
