// What only the Windows build can show: paths of letters that no ANSI code page
// holds, "\" in joined names, text and binary key files, all read by openssl.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;

TEST(Windows, EveryFileArgumentMayHoldCyrillicAndTajikLettersWhateverTheCodePage) {
  if (!ToolIsWindows()) GTEST_SKIP() << "only for cspTRIL.exe, by scripts/test-windows.sh";
  for (const char* lang : {"ru_RU.UTF-8", "C.UTF-8"}) {  // ANSI code pages 1251 and 1252
    setenv("LANG", lang, 1);
    for (const Algorithm& alg : {kRsa, kGost}) {
      SCOPED_TRACE(lang + (" " + alg.kind));
      const bool rsa = alg.kind == "RSA";
      TempDir dir;
      const std::string folder = dir / "Раҳим";
      fs::create_directory(folder);
      const auto in = [&](const std::string& name) { return folder + "/" + name; };
      const std::string stem = in(rsa ? "rsa" : "gost"), doc = in("ҳуҷҷат.txt");
      const std::string key = stem + "_private_key.pem", pub = stem + "_public_key.pem";
      const std::string raw = in("ҳуҷҷат.sig"), csr = in("ҳуҷҷат.csr"), pfx = in("ҳуҷҷат.pfx");
      WriteBytes(doc, "Супориши пардохт №42\n");
      // RSA into a named folder; GOST into the current one, as GetCurrentDirectoryA names it.
      const std::string shown = rsa ? folder : ToolPath(fs::canonical(folder));
      ExpectRun(rsa ? std::vector<std::string>{"genkeys", "RSA", "1024", folder}
                    : std::vector<std::string>{"genkeys", "GOST"},
                rsa ? "RSA generation key\nBitSize: 1024\nRSA private key is " + shown +
                          "\\rsa_private_key.pem\nRSA public key is " + shown +
                          "\\rsa_public_key.pem\nResult :1\n"
                    : "GOST generation key\nFolder is " + shown + "\nGOST private key is " +
                          shown + "\\gost_private_key.pem\nGOST public key is " + shown +
                          "\\gost_public_key.pem\nResult :1\n",
                "", {rsa ? std::string() : folder});
      // RSA key files are text (every line CR LF, which FromTextMode checks), GOST ones binary.
      EXPECT_EQ(Contains(ReadBytes(key), "\r\n"), rsa);
      EXPECT_EQ(RunOpensslOrThrow({"pkey", "-in", key, "-pubout"}),
                rsa ? FromTextMode(ReadBytes(pub)) : ReadBytes(pub));
      const RunResult signedDoc = ExpectRun(
          {"sign", alg.word, key, doc, in("ҳуҷҷат.json")},
          "Private key path is " + key + "\n" + alg.line + alg.prefix +
              "{\"serial\":\"\",\"sign\":\"*\"}\nSignature written to " + in("ҳуҷҷат.json") + "\n");
      WriteBytes(raw, RawSignatureOf(signedDoc.out));
      EXPECT_EQ(RunOpenssl({"dgst", alg.dgst, "-verify", pub, "-signature", raw, doc}).out,
                "Verified OK\n");
      ExpectRun({"verify", alg.word, pub, doc, raw}, alg.line + "Verification OK\n");
      const RunResult request = RunTool({"CSR", alg.word, key, pub, "/CN=x", csr});
      EXPECT_TRUE(Contains(request.out, "CSR saved to file " + csr)) << request.out << request.err;
      EXPECT_EQ(RunOpenssl({"req", "-in", csr, "-verify", "-noout"}).err,
                "Certificate request self-signature verify OK\n");
      RunOpensslOrThrow({"x509", "-req", "-in", csr, "-key", key, "-set_serial", "42", "-out",
                         in("ҳуҷҷат.crt")});
      ExpectRun({"PFX", key, in("ҳуҷҷат.crt"), pfx, "pw", in("ҳуҷҷат.crt")},
                "Generate PKCS12 OK1\ndata saved to PKCS12 file " + pfx + "\n");
      RunOpensslOrThrow({"pkcs12", "-in", pfx, "-passin", "pass:pw", "-noout"});  // MAC checked
      WriteBytes(raw, RawSignatureOf(RunTool({"sign", alg.word, pfx, doc, "", "pw"}).out));
      EXPECT_TRUE(Contains(RunTool({"verify", alg.word, pfx, doc, raw, "pw"}).out,
                           alg.line + "Verification OK\n"));
    }
  }
}

TEST(Windows, PrivateKeyFilesGrantTheirOwnerAlone) {
  GTEST_SKIP() << "Wine 8 keeps no DACL: it turns one into Unix mode bits (0775 for an "
                  "owner-only one) and reports a DACL made from those, so none can be read back";
}
