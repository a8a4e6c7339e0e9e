// The entry (banner, usage, dispatch, argument counts and conversion), Base64 text, signature
// records, certificate names, and the GOST modes and derivations of password-protected files.
#include <gtest/gtest.h>

#include <stdexcept>

#include "cli/entry.h"
#include "codec/myBase64.h"
#include "codec/signature_record.h"
#include "common/handles.h"
#include "common/x509_name.h"
#include "csr/csr_builder.h"
#include "platform/platform.h"
#include "platform/posix/arguments.h"
#include "platform/posix/processors.h"
#include "platform/windows/command_line.h"
#include "tests/support/test_support.h"

TEST(Entry, ShortCommandLinesGetTheUsageOrTheCommandsOwnLinesAndUnknownWordsUncnownCommand) {
  // The usage text, line for line as it is specified (tests/golden/usage.txt); lines 15 and
  // 14 are the CSR examples, which the CSR command repeats.
  const std::string usage = ReadBytes(CSPTRIL_GOLDEN "/usage.txt");
  const auto line = [&usage](int number) {
    std::size_t at = 0;
    for (int i = 0; i < number; ++i) at = usage.find('\n', at) + 1;
    return usage.substr(at, usage.find('\n', at) + 1 - at);
  };
  const std::string wrong = "Wrong input parameters\n", must = wrong + "Must be : cspTRIL.exe ";
  ExpectRuns({
      Row({}, 1, usage),
      Row({"genkeys"}, 1, usage),
      Row({"foo", "bar"}, 1, "Uncnown command\n"),
      Row({"Genkeys", "RSA"}, 1, "Uncnown command\n"),  // words are compared case by case
      Row({"genkeys", "RSA"}, 1, "RSA generation key\nRSA bitSize is Missing\n"),
      Row({"sign", "SHA256", "key"}, 1, "Private key file or input file is not set\n"),
      Row({"verify", "SHA256", "a", "b"}, 1,
          must + "verify SHA256 rsa_public_key.pem test.txt test.sig\n"),
      Row({"CSR", "SHA256", "a", "b"}, 1, wrong + line(15) + line(14)),
      Row({"PFX", "a", "b", "c"}, 1,
          must + "PFX private_key.pem cert.pem outfile.pfx pfxpassword cacert.pem friendlyname\n"),
  });
}

TEST(WideToUtf8, KeepsTheTerminatorAndGivesBackEveryArgumentByte) {
  // Each length's first and last character both ways; surrogates, past U+10FFFF: no UTF-8.
  const std::string utf8 =
      "C:\\\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"
      "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  const std::wstring wide = L"C:\\\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF";
  EXPECT_EQ(WideToUtf8(wide + L"\xD800\xDFFF\x110000"),
            utf8 + "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" + '\0');
  EXPECT_EQ(DecodeArgument(utf8 + "\xF4\x90\x80"), wide + L"\xDCF4\xDC90\xDC80");
  // Bytes that are no UTF-8 (a lone 0xFF, cut or surrogate or too high sequences) survive.
  for (std::string bytes : {"\xFF", "a\xC3", "\xED\xA0\x80", "\xF4\x90\x80", "\xE0\x80\xA0"}) {
    EXPECT_EQ(WithoutTrailingNul(WideToUtf8(DecodeArgument(bytes))), bytes);
  }
}

// x's where the C runtime finds argument 2; the line's length ends at the "|" (taken out).
TEST(WindowsCommandLine, OnlyTheArgumentAtTheIndexTurnsToXsWhereTheRuntimeSplitsTheLine) {
  for (auto [line, hidden] : std::vector<std::pair<std::wstring, std::wstring>>{
           {LR"("C:\A B\t.exe" a  "p w" z|)", LR"("C:\A B\t.exe" a  xxxxx z)"},
           {LR"(t a\\"b c" p z|)", LR"(t a\\"b c" x z)"},  // an even run: the quote quotes
           {LR"(t a\"b p\\\" z|)", LR"(t a\"b xxxxx z)"},  // an odd run: the quote is a letter
           {LR"(t "a""" b p|)", LR"(t "a""" x p)"},
           {L"t a\tp|q", L"t a\txq"},
           {LR"(t a p\|")", LR"(t a xx")"},
           {LR"(t a p\|\)", LR"(t a xx\)"}}) {
    const std::size_t end = line.find(L'|');
    OverwriteCommandLineArgument(line.erase(end, 1).data(), end, 2);
    EXPECT_EQ(line, hidden);
  }
}

TEST(Processors, ACgroupQuotaOfOneProcessorsTimeLeavesOneWhateverTheAffinityMask) {
  std::string of4;
  for (const char* line : {"100000 100000\n", "50000 100000", "250000 100000", "900000 100000",
                           "max 100000\n", "", "100000 0"}) {
    of4 += std::to_string(ProcessorsWithinQuota(line, 4));
  }
  EXPECT_EQ(of4, "1124444");
}

TEST(Base64, EncodesWithPaddingDecodesSkippingBlanksAndRejectsOtherBytes) {
  for (const auto& [bytes, text] : {std::pair<std::string, std::string>{"", ""},
                                    {"a", "YQ=="},
                                    {"ab", "YWI="},
                                    {std::string("a\0\xFF", 3), "YQD/"}}) {
    EXPECT_EQ(Base64Encode(bytes), text);
    EXPECT_EQ(Base64Decode(text + "\n"), bytes);
  }
  EXPECT_EQ(Base64Decode("Y W\tJ\rj\n"), "abc");
  for (const std::string illegal : {"-", "_", "\xFF"}) {
    EXPECT_THROW(Base64Decode("YW" + illegal + "Jj"), std::invalid_argument);
  }
}

TEST(SignatureRecord, AJsonObjectWithAStringSignIsDecodedAnythingElseIsTheSignatureItself) {
  const std::string raw("a\0\xFF", 3), deep = std::string(40, '[') + std::string(40, ']');
  EXPECT_EQ(SignatureInFile(SignatureRecord("0102", raw)), raw);
  EXPECT_EQ(SignatureInFile("\xEF\xBB\xBF"
                            R"({ "x" : [ ], "y":[ 1 , -0.09E-9, 90, 1.5e+3, true,)"
                            R"( false, null, { }, {"sign":0}, "\"\\\/\b\f\n\r\t" ] ,)"
                            R"("sign" : "Y\u0051 \u003d\u003D" })"),
            "a");
  EXPECT_EQ(SignatureInFile(R"({"sign":"\u00e9"})"), std::nullopt);
  for (const std::string& other : std::vector<std::string>{
           R"({"sign":1})", R"({"sign":"YQ",)", R"({"sign":"YQ"}})", "{\"sign\":\"YQ\n}",
           R"(["YQ"])", "{\"s\":" + deep + ",\"sign\":\"YQ\"}", R"({"sign":"YQ","x")",
           R"({"sign":"YQ","x":")", R"({"sign":"YQ","x":)", R"({"sign":"YQ","x":[})",
           R"({"sign":"\a123"})", R"({"sign":"YQ\u}   )", R"({"sign":"YQ\})",
           R"({"n":-,"sign":"YQ"})", R"({"sign":"YQ","n":1.})"}) {
    EXPECT_EQ(SignatureInFile(other), other);
  }
}

TEST(Names, SubjectValuesAreUtf8OrOneByteALetterAndNamesOutsideAsciiAreShownInUtf8) {
  const X509NamePtr ascii(X509_NAME_new()), other(X509_NAME_new());
  ParseSubject(ascii.get(), "/C=TJ/CN=a\x7F");
  X509_NAME_add_entry_by_txt(ascii.get(), "CN", V_ASN1_BMPSTRING,
                             reinterpret_cast<const unsigned char*>("\0x"), 2, -1, 0);
  ParseSubject(other.get(), "/O=caf\xE9/L=\xD0\x94\xC2\xA0\x1A\x1D\x1E\x7F\xC2\x9B/1.2.3.4=a+b");
  EXPECT_EQ(NameLine(ascii.get()), "/C=TJ/CN=a\\x7F/CN=\\x00x");  // the library's own text
  EXPECT_EQ(NameLine(other.get()),
            "/O=caf\xC3\xA9/L=\xD0\x94\xC2\xA0\\x1A\\x1D\\x1E\\x7F\\xC2\\x9B/1.2.3.4=a\\+b");
}
