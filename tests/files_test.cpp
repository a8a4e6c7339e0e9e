// Whole-file reading and writing, and PEM text to key handles.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <thread>

#include "common/files.h"
#include "common/handles.h"
#include "common/pem.h"
#include "tests/support/test_support.h"

namespace {

std::string ReadCapturingErrors(const std::string& path, std::string& errors) {
  ::testing::internal::CaptureStderr();
  std::string content = ReadFileToString(path);
  errors = ::testing::internal::GetCapturedStderr();
  return content;
}

bool WriteCapturingErrors(const std::string& path, const std::string& data, std::string& errors) {
  ::testing::internal::CaptureStderr();
  const bool written = WriteStringToFile(path, data);
  errors = ::testing::internal::GetCapturedStderr();
  return written;
}

}  // namespace

TEST(ReadFileToString, ReadsEveryByteOrReportsTheFileCannotBeOpened) {
  TempDir dir;
  const std::string bytes("a\0b\r\n\r\nc\0\xFF", 10);
  WriteBytes(dir / "data.bin", bytes);
  WriteBytes(dir / "empty", "");
  std::string errors;

  EXPECT_EQ(ReadCapturingErrors(dir / "data.bin", errors), bytes);
  EXPECT_EQ(errors, "");
  EXPECT_EQ(ReadCapturingErrors(dir / "data.bin" + std::string(1, '\0'), errors), bytes);
  EXPECT_EQ(ReadCapturingErrors(dir / "empty", errors), "");
  EXPECT_EQ(errors, "");
  EXPECT_EQ(ReadCapturingErrors(dir / "missing", errors), "");
  EXPECT_EQ(errors, "Unable to open key file!\n");
  EXPECT_EQ(ReadCapturingErrors(dir.path(), errors), "");
  EXPECT_EQ(errors, "Unable to open key file!\n");
}

TEST(ReadFileToString, ReadsAPipeToItsEnd) {
  TempDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string sent(300000, '\0');
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7);
  std::thread writer([&] { WriteBytes(fifo, sent); });
  std::string errors;
  const std::string received = ReadCapturingErrors(fifo, errors);
  writer.join();
  EXPECT_EQ(received.size(), sent.size());
  EXPECT_EQ(received, sent);
  EXPECT_EQ(errors, "");
}

TEST(WriteStringToFile, WritesExactlyTheDataOrReportsTheFolderIsMissing) {
  TempDir dir;
  const std::string data("x\0y\r\n", 5);
  std::string errors;
  WriteBytes(dir / "out", std::string(1000, 'L'));
  EXPECT_TRUE(WriteCapturingErrors(dir / "out", data, errors));
  EXPECT_EQ(ReadBytes(dir / "out"), data);
  EXPECT_EQ(errors, "");
  EXPECT_TRUE(WriteCapturingErrors(dir / "nul" + std::string(1, '\0'), data, errors));
  EXPECT_EQ(ReadBytes(dir / "nul"), data);

  const std::string nowhere = dir / "no/such/folder/out";
  EXPECT_FALSE(WriteCapturingErrors(nowhere, data, errors));
  EXPECT_EQ(errors, "Failed to open file for writing: " + nowhere + "\n");
  EXPECT_FALSE(FileExists(nowhere));
}

TEST(PemKeys, ReadOnlyTheKindOfKeyAskedForAndStaySilentOtherwise) {
  TempDir dir;
  ASSERT_EQ(RunOpenssl({"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024",
                        "-out", dir / "private.pem"}).exitCode, 0);
  ASSERT_EQ(RunOpenssl({"pkey", "-in", dir / "private.pem", "-pubout", "-out",
                        dir / "public.pem"}).exitCode, 0);
  std::string errors;
  const std::string privatePem = ReadCapturingErrors(dir / "private.pem", errors);
  const std::string publicPem = ReadCapturingErrors(dir / "public.pem", errors);

  ::testing::internal::CaptureStderr();
  PkeyPtr privateKey(PemToPrivateKey(privatePem));
  PkeyPtr publicKey(PemToPublicKey(publicPem));
  EXPECT_EQ(PemToPrivateKey(""), nullptr);
  EXPECT_EQ(PemToPrivateKey(publicPem), nullptr);
  EXPECT_EQ(PemToPrivateKey("not a key at all"), nullptr);
  EXPECT_EQ(PemToPublicKey(privatePem), nullptr);
  EXPECT_EQ(PemToPublicKey(""), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  ASSERT_NE(privateKey, nullptr);
  ASSERT_NE(publicKey, nullptr);
  EXPECT_EQ(EVP_PKEY_eq(privateKey.get(), publicKey.get()), 1);
}
