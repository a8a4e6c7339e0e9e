// The PFX command: PKCS#12 files built from PEM inputs, read back by openssl.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "common/handles.h"
#include "tests/support/test_support.h"

namespace {

std::string Saved(const std::string& path) {
  return kBanner + "Generate PKCS12 OK1\ndata saved to PKCS12 file " + path + "\n";
}

std::vector<std::string> CertificateBlocks(const std::string& text) {
  static const std::regex block("-----BEGIN CERTIFICATE-----\n[^-]*-----END CERTIFICATE-----\n");
  std::vector<std::string> blocks;
  for (std::sregex_iterator it(text.begin(), text.end(), block), end; it != end; ++it) {
    blocks.push_back(it->str());
  }
  std::sort(blocks.begin(), blocks.end());
  return blocks;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Opens the file as any PKCS#12 reader would and checks what every file the
// tool writes must satisfy: owner-only mode, nothing after the DER structure.
RunResult ExpectReadable(const std::string& pfx, const std::string& password) {
  EXPECT_EQ(FileMode(pfx), 0600u);
  std::smatch header;
  const std::string parsed = RunOpensslOrThrow({"asn1parse", "-inform", "DER", "-in", pfx});
  EXPECT_TRUE(std::regex_search(parsed, header, std::regex("^ +0:d=0 +hl=(\\d+) l= *(\\d+)")));
  EXPECT_EQ(ReadBytes(pfx).size(), std::stoul(header[1]) + std::stoul(header[2]));
  EXPECT_NE(RunOpenssl({"pkcs12", "-in", pfx, "-passin", "pass:" + password + "x"}).exitCode, 0);
  const RunResult info =
      RunOpenssl({"pkcs12", "-info", "-in", pfx, "-passin", "pass:" + password, "-nodes"});
  EXPECT_EQ(info.exitCode, 0) << info.err;
  return info;
}

}  // namespace

TEST(PfxCommand, PacksKeyCertificateAndTheFirstCaCertificateUnderTheFriendlyName) {
  for (const std::string kind : {"RSA", "GOST"}) {
    SCOPED_TRACE(kind);
    TempDir dir;
    const KeyFiles keys = MakeKeyPair(dir, kind);
    const std::string cert = MakeCertificate(dir, keys.privateKey, "cert.pem");
    const std::string ca1 = MakeCertificate(dir, keys.privateKey, "ca1.pem", {"-set_serial", "11"});
    const std::string ca2 = MakeCertificate(dir, keys.privateKey, "ca2.pem", {"-set_serial", "22"});
    WriteBytes(dir / "cas.pem", ReadBytes(ca1) + ReadBytes(ca2));
    const std::string pfx = dir / "out.pfx";

    const RunResult run =
        RunTool({"PFX", keys.privateKey, cert, pfx, "s3cret", dir / "cas.pem", "Signer key"});
    EXPECT_EQ(run.out, Saved(pfx));
    EXPECT_EQ(run.err, "");
    const RunResult info = ExpectReadable(pfx, "s3cret");
    EXPECT_EQ(Count(info.out, "friendlyName: Signer key\n"), 2u);  // key and certificate
    EXPECT_EQ(Count(info.err, "AES-256-CBC, Iteration 2048"), 2u);  // library defaults
    EXPECT_EQ(CertificateBlocks(info.out), CertificateBlocks(ReadBytes(cert) + ReadBytes(ca1)));
    EXPECT_EQ(RunOpensslOrThrow({"pkey", "-pubout"}, info.out), ReadBytes(keys.publicKey));
  }
}

TEST(PfxCommand, ArgumentsReachTheFileAsTyped) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string cert = MakeCertificate(dir, keys.privateKey, "cert.pem");
  const std::string pfx = dir / "out.pfx", utf8 = dir / "utf8.pfx";

  EXPECT_EQ(RunTool({"PFX", keys.privateKey, cert, pfx}).out,
            kBanner + "Wrong input parameters\nMust be : cspTRIL.exe PFX private_key.pem "
                      "cert.pem outfile.pfx pfxpassword cacert.pem friendlyname\n");
  EXPECT_FALSE(FileExists(pfx));

  // Empty password, no CA, no name, over an older file others could read.
  WriteBytes(pfx, std::string(9000, 'o'));
  chmod(pfx.c_str(), 0644);
  EXPECT_EQ(RunTool({"PFX", keys.privateKey, cert, pfx, ""}).out, Saved(pfx));
  RunResult info = ExpectReadable(pfx, "");
  EXPECT_EQ(Count(info.out, "friendlyName: \n"), 2u);  // an empty name, not none
  EXPECT_EQ(CertificateBlocks(info.out), CertificateBlocks(ReadBytes(cert)));

  // An empty CA argument is no CA; arguments after the name are ignored.
  const std::string password = "пароль", name = "Ключ подписи";
  EXPECT_EQ(RunTool({"PFX", keys.privateKey, cert, utf8, password, "", name, "x"}).out,
            Saved(utf8));
  info = ExpectReadable(utf8, password);
  EXPECT_EQ(CertificateBlocks(info.out), CertificateBlocks(ReadBytes(cert)));
  // openssl prints a BMPString name lossily, so read the name back with the library.
  const std::string der = ReadBytes(utf8);
  const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der.data());
  Pkcs12Ptr pkcs12(d2i_PKCS12(nullptr, &cursor, static_cast<long>(der.size())));
  EVP_PKEY* key = nullptr;
  X509* parsed = nullptr;
  ASSERT_EQ(PKCS12_parse(pkcs12.get(), password.c_str(), &key, &parsed, nullptr), 1);
  const PkeyPtr keyOwner(key);
  const X509Ptr certOwner(parsed);
  int length = 0;
  const unsigned char* alias = X509_alias_get0(parsed, &length);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(alias), length), name);
}

TEST(PfxCommand, EachFailureIsReportedAndLeavesNoFile) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA"), other = MakeKeyPair(dir, "RSA", "other");
  const std::string cert = MakeCertificate(dir, keys.privateKey, "cert.pem");
  const std::string missing = dir / "missing.pem", out = dir / "out.pfx", kept = dir / "kept.pfx";
  const std::string unwritable = dir / "no/such/folder/out.pfx";
  const std::string cannotWrite = "Failed to open file for writing: ";
  WriteBytes(dir / "empty.pem", "");
  WriteBytes(kept, "older file");
  chmod(kept.c_str(), 0644);
  const std::string unreadable = "Unable to open key file!\n";
  const std::string noKey = "Error reading private key from string.\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {{other.privateKey, cert, kept, "pw"}, "Error creating PKCS12.\n"},
      {{missing, cert, out, "pw"}, unreadable + noKey},
      {{missing, missing, out, "pw", missing}, unreadable + noKey},  // the key is read first
      {{cert, cert, out, "pw"}, noKey},
      {{keys.privateKey, missing, out, "pw"}, unreadable + "Error reading X.509 certificate.\n"},
      {{keys.privateKey, cert, out, "pw", missing}, unreadable + "Error reading CA certificate.\n"},
      {{keys.privateKey, cert, out, "pw", dir / "empty.pem"}, "Error reading CA certificate.\n"},
      {{keys.privateKey, cert, unwritable, "pw"}, cannotWrite + unwritable + "\n"},
      {{keys.privateKey, cert, dir.path(), "pw"}, cannotWrite + dir.path() + "\n"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args{"PFX"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const RunResult run = RunTool(args);
    EXPECT_EQ(run.out, kBanner + "Generate PKCS12 failed0\n") << row.err;
    EXPECT_EQ(run.err, row.err);
    EXPECT_FALSE(FileExists(out));
  }
  EXPECT_FALSE(FileExists(dir / "no"));
  EXPECT_EQ(ReadBytes(kept), "older file");
  EXPECT_EQ(FileMode(kept), 0644u);
}
