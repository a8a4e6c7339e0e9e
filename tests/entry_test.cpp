// The entry: banner, usage text, dispatch, and the conversion of arguments.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cli/entry.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

const std::string kUsageText =
    "Command is Missing. Commands:\n"
    "cspTRIL.exe genkeys RSA 1024\n"
    "cspTRIL.exe genkeys GOST\n"
    "cspTRIL.exe genkeys RSA 1024 C:\\test \n"
    "cspTRIL.exe genkeys GOST C:\\test\n"
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_private_key.pem c:\\test\\test.txt\n"
    "cspTRIL.exe sign GOST C:\\test\\gost_private_key.pem c:\\test\\test.txt\n"
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_private_key.pem c:\\test\\test.txt c:\\test\\test.sig\n"
    "cspTRIL.exe sign GOST C:\\test\\gost_private_key.pem c:\\test\\test.txt c:\\test\\test.sig\n"
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_cert.pfx c:\\test\\test.txt c:\\test\\rsa.sign password\n"
    "cspTRIL.exe sign GOST C:\\test\\gost_cert.pfx c:\\test\\test.txt c:\\test\\gost.sign password\n"
    "cspTRIL.exe verify SHA256 C:\\test\\rsa_public_key.pem c:\\test\\test.txt c:\\test\\test.sig\n"
    "cspTRIL.exe verify GOST C:\\test\\gost_public_key.pem c:\\test\\test.txt c:\\test\\test.sig\n"
    "cspTRIL verify SHA256 C:\\test\\out.pfx c:\\test\\test.txt c:\\test\\out.sign 4729\n"
    "cspTRIL.exe CSR SHA256 C:\\test\\rsa_private_key.pem c:\\test\\rsa_public_key.pem "
    "\"/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName\"\n"
    "cspTRIL.exe CSR GOST C:\\test\\gost_private_key.pem c:\\test\\gost_public_key.pem "
    "\"/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName\"\n"
    "cspTRIL.exe CSR SHA256 C:\\test\\rsa_private_key.pem c:\\test\\rsa_public_key.pem "
    "\"/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName\" "
    "C:\\test\\rsa.csr\n"
    "cspTRIL.exe CSR GOST C:\\test\\gost_private_key.pem c:\\test\\gost_public_key.pem "
    "\"/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName\" "
    "C:\\test\\gost.csr\n"
    "cspTRIL.exe PFX private_key.pem cert.pem outfile.pfx pfxpassword cacert.pem friendlyname\n";

void ExpectRun(const std::vector<std::string>& args, const std::string& out) {
  const RunResult result = RunTool(args);
  EXPECT_EQ(result.out, out) << "arguments: " << ::testing::PrintToString(args);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
}

}  // namespace

TEST(Entry, MissingCommandPrintsBannerAndTheEighteenUsageLines) {
  ExpectRun({}, kBanner + kUsageText);
  ExpectRun({"genkeys"}, kBanner + kUsageText);
  ExpectRun({"Uncnown"}, kBanner + kUsageText);
}

TEST(Entry, UnknownOrMiscasedCommandWordsPrintOnlyUncnownCommand) {
  for (const char* word : {"foo", "Genkeys", "GENKEYS", "pfx", "csr", "Sign", "verify "}) {
    ExpectRun({word, "RSA"}, kBanner + "Uncnown command\n");
  }
}

TEST(WideToUtf8, KeepsTheConvertedTerminatorInsideTheSize) {
  EXPECT_EQ(WideToUtf8(L""), std::string(1, '\0'));
  EXPECT_EQ(WideToUtf8(L"\u00e9"), std::string("\xC3\xA9\0", 3));
  const std::string path = WideToUtf8(L"C:\\test");
  EXPECT_EQ(path.size(), 8u);
  EXPECT_STREQ(path.c_str(), "C:\\test");
  EXPECT_EQ(WithoutTrailingNul(path), "C:\\test");
  EXPECT_EQ(WithoutTrailingNul(""), "");
  // Code points that are not Unicode scalar values become U+FFFD.
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD" + std::string(1, '\0'));
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD" + std::string(1, '\0'));
  EXPECT_EQ(WideToUtf8(L"\U0001F600"), std::string("\xF0\x9F\x98\x80\0", 5));
}

TEST(WideToUtf8, EveryArgumentByteStringComesBackUnchanged) {
  const std::string samples[] = {
      "\xFF", "plain", "caf\xC3\xA9", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
      "\xE2\x82", "\xF0\x9F\x98\x80", "\x80\xBF", "a\xC3", "\xEF\xBF\xBD"};
  for (const std::string& bytes : samples) {
    EXPECT_EQ(WithoutTrailingNul(WideToUtf8(DecodeArgument(bytes))), bytes);
  }
  EXPECT_EQ(DecodeArgument("\xFF"), std::wstring(1, static_cast<wchar_t>(0xDCFF)));
  EXPECT_EQ(DecodeArgument("\xC3\xA9"), L"\u00e9");
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& byte : bytes) byte = static_cast<char>(1 + random() % 255);
    ASSERT_EQ(WithoutTrailingNul(WideToUtf8(DecodeArgument(bytes))), bytes);
  }
}

TEST(WideCharToMultiByte, FollowsTheSizeQueryAndBufferConventions) {
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ab\u00e9", -1, nullptr, 0, nullptr, nullptr), 5);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ab\u00e9", 2, nullptr, 0, nullptr, nullptr), 2);
  char small[4];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ab\u00e9", -1, small, 4, nullptr, nullptr), 0);
  char fits[5];
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ab\u00e9", -1, fits, 5, nullptr, nullptr), 5);
  EXPECT_EQ(std::string(fits, 5), std::string("ab\xC3\xA9\0", 5));
  EXPECT_EQ(WideCharToMultiByte(1251, 0, L"ab", -1, nullptr, 0, nullptr, nullptr), 0);
}

TEST(PlatformPaths, FullPathAndCurrentDirectoryFollowTheirReturnConventions) {
  char cwd[4096];
  const DWORD cwdLength = GetCurrentDirectoryA(sizeof(cwd), cwd);
  ASSERT_GT(cwdLength, 0u);
  EXPECT_EQ(std::string(cwd).size(), cwdLength);
  char tiny[2];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof(tiny), tiny), cwdLength + 1);

  wchar_t full[4096];
  const std::wstring wideCwd = DecodeArgument(cwd);
  ASSERT_GT(GetFullPathNameW(L"bin/./x/../cspTRIL", 4096, full, nullptr), 0u);
  EXPECT_EQ(std::wstring(full), (wideCwd == L"/" ? L"" : wideCwd) + L"/bin/cspTRIL");
  wchar_t* filePart = nullptr;
  const DWORD length = GetFullPathNameW(L"/a//b/../c/./d.txt", 4096, full, &filePart);
  EXPECT_EQ(std::wstring(full), L"/a/c/d.txt");
  EXPECT_EQ(length, 10u);
  ASSERT_NE(filePart, nullptr);
  EXPECT_EQ(std::wstring(filePart), L"d.txt");
  EXPECT_EQ(GetFullPathNameW(L"/../..", 4096, full, nullptr), 1u);
  EXPECT_EQ(std::wstring(full), L"/");
  wchar_t shortBuffer[4];
  EXPECT_EQ(GetFullPathNameW(L"/abcdef", 4, shortBuffer, nullptr), 8u);
  EXPECT_EQ(GetFullPathNameW(L"", 4096, full, nullptr), 0u);
}
