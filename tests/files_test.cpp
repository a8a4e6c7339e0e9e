// Whole-file reading and writing, and PEM text to key handles.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <thread>

#include "common/files.h"
#include "common/handles.h"
#include "common/pem.h"
#include "tests/support/test_support.h"

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

TEST(FilesAndPem, EveryByteIsReadAndWrittenWhatCannotBeOpenedIsReportedKeysOfTheirKind) {
  TempDir dir;
  const std::string bytes("a\0b\r\n\xFF", 6), nul(1, '\0'), nowhere = dir / "no/such/out";
  WriteBytes(dir / "out", std::string(1000, 'L'));
  WriteBytes(dir / "empty", "");
  CaptureStderr();
  // Paths may keep the NUL that the argument conversion leaves at their end.
  EXPECT_TRUE(WriteStringToFile(dir / "out" + nul, bytes));
  EXPECT_EQ(ReadBytes(dir / "out"), bytes);
  EXPECT_EQ(ReadFileToString(dir / "out" + nul), bytes);
  EXPECT_EQ(ReadFileToString(dir / "empty"), "");
  EXPECT_EQ(GetCapturedStderr(), "");
  CaptureStderr();
  EXPECT_EQ(ReadFileToString(dir / "missing"), "");
  EXPECT_EQ(ReadFileToString(dir.path()), "");
  EXPECT_FALSE(WriteStringToFile(nowhere, bytes));
  EXPECT_EQ(GetCapturedStderr(), "Unable to open key file!\nUnable to open key file!\n"
                                 "Failed to open file for writing: " + nowhere + "\n");
  EXPECT_FALSE(FileExists(nowhere));

  // A pipe cannot be sized by seeking: it is read to its end.
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::string sent(200000, '\0');
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7);
  std::thread writer([&] { WriteBytes(dir / "fifo", sent); });
  EXPECT_TRUE(ReadFileToString(dir / "fifo") == sent);
  writer.join();

  // A file of many read pieces and a ragged end;
  // a pattern that does not repeat with the piece size shows a misplaced one.
  std::string large((9 << 20) + 7, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i % 251);
  WriteBytes(dir / "large", large);
  EXPECT_TRUE(ReadFileToString(dir / "large") == large);

  // PEM readers take only the kind of key asked for, and stay silent otherwise.
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string privatePem = ReadBytes(keys.privateKey), publicPem = ReadBytes(keys.publicKey);
  CaptureStderr();
  const PkeyPtr privateKey(PemToPrivateKey(privatePem)), publicKey(PemToPublicKey(publicPem));
  for (const std::string& wrong : {std::string(), publicPem, std::string("no key")}) {
    EXPECT_EQ(PemToPrivateKey(wrong), nullptr);
  }
  EXPECT_EQ(PemToPublicKey(privatePem), nullptr);
  EXPECT_EQ(GetCapturedStderr(), "");
  ASSERT_TRUE(privateKey && publicKey);
  EXPECT_EQ(EVP_PKEY_eq(privateKey.get(), publicKey.get()), 1);
}
