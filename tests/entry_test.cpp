// The entry: banner, usage text, dispatch, and the conversion of arguments.
#include <gtest/gtest.h>

#include <string>

#include "cli/entry.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

const std::string kSubject =
    " \"/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName\"";
const std::string kRsaCsr =
    "cspTRIL.exe CSR SHA256 C:\\test\\rsa_private_key.pem c:\\test\\rsa_public_key.pem" + kSubject;
const std::string kGostCsr =
    "cspTRIL.exe CSR GOST C:\\test\\gost_private_key.pem c:\\test\\gost_public_key.pem" + kSubject;
const std::string kUsage =
    "Command is Missing. Commands:\n"
    "cspTRIL.exe genkeys RSA 1024\n"
    "cspTRIL.exe genkeys GOST\n"
    "cspTRIL.exe genkeys RSA 1024 C:\\test \n"
    "cspTRIL.exe genkeys GOST C:\\test\n"
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_private_key.pem c:\\test\\test.txt\n"
    "cspTRIL.exe sign GOST C:\\test\\gost_private_key.pem c:\\test\\test.txt\n"
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_private_key.pem c:\\test\\test.txt c:\\test\\test.sig\n"
    "cspTRIL.exe sign GOST C:\\test\\gost_private_key.pem c:\\test\\test.txt c:\\test\\test.sig\n"
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_cert.pfx c:\\test\\test.txt "
    "c:\\test\\rsa.sign password\n"
    "cspTRIL.exe sign GOST C:\\test\\gost_cert.pfx c:\\test\\test.txt "
    "c:\\test\\gost.sign password\n"
    "cspTRIL.exe verify SHA256 C:\\test\\rsa_public_key.pem c:\\test\\test.txt c:\\test\\test.sig\n"
    "cspTRIL.exe verify GOST C:\\test\\gost_public_key.pem c:\\test\\test.txt c:\\test\\test.sig\n"
    "cspTRIL verify SHA256 C:\\test\\out.pfx c:\\test\\test.txt c:\\test\\out.sign 4729\n" +
    kRsaCsr + "\n" + kGostCsr + "\n" + kRsaCsr + " C:\\test\\rsa.csr\n" + kGostCsr +
    " C:\\test\\gost.csr\n"
    "cspTRIL.exe PFX private_key.pem cert.pem outfile.pfx pfxpassword cacert.pem friendlyname\n";

}  // namespace

TEST(Entry, MissingCommandPrintsTheUsageAndUnknownWordsOnlyUncnownCommand) {
  ExpectRun({}, kUsage);
  ExpectRun({"genkeys"}, kUsage);
  ExpectRun({"foo", "bar"}, "Uncnown command\n");
  ExpectRun({"Genkeys", "RSA"}, "Uncnown command\n");
}

TEST(WideToUtf8, KeepsTheTerminatorAndGivesBackEveryArgumentByte) {
  EXPECT_EQ(WideToUtf8(L""), std::string(1, '\0'));
  EXPECT_EQ(WideToUtf8(L"\u00e9"), std::string("\xC3\xA9\0", 3));
  EXPECT_EQ(WideToUtf8(L"C:\\test"), std::string("C:\\test\0", 8));
  // Bytes that are no UTF-8 (a lone 0xFF, cut or surrogate or too high sequences) survive.
  for (const std::string bytes : {"\xFF", "caf\xC3\xA9", "a\xC3", "\xED\xA0\x80", "\xF4\x90\x80"}) {
    EXPECT_EQ(WithoutTrailingNul(WideToUtf8(DecodeArgument(bytes))), bytes);
  }
}
