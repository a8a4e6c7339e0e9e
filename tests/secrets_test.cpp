// Passwords and private keys: what other processes see of a run that waits,
// and what a run leaves behind in the memory it gives back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <new>
#include <string_view>

#include "cli/entry.h"
#include "tests/support/test_support.h"

namespace {

const std::string kPassword = "Open-Sesame-4729";  // too long to live inside a string object

// The command line of the running process that names this path, as any user reads it.
std::string CommandLineNaming(const std::string& path) {
  std::string found;
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    std::ifstream file(process.path() / "cmdline", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (Contains(text, path)) found = text;
  }
  return found;
}

// While watching, every block handed back through operator delete is searched for these.
std::vector<std::string> watched;
bool watching = false;
int blocksWithSecrets = 0;

void Inspect(void* block, std::size_t size) {
  if (!watching || block == nullptr) return;
  const std::string_view bytes(static_cast<const char*>(block), size);
  for (const std::string& secret : watched) blocksWithSecrets += bytes.find(secret) != bytes.npos;
}

struct Fixture {
  TempDir dir;
  KeyFiles keys = MakeKeyPair(dir, "RSA");
  std::string cert = MakeCertificate(dir, keys.privateKey, "cert.pem", {"-set_serial", "7"});
  std::string pfx = MakePkcs12(dir, keys.privateKey, cert, kPassword, "key.pfx");
};

}  // namespace

void* operator new(std::size_t size) {
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
  Inspect(block, block == nullptr ? 0 : malloc_usable_size(block));
  std::free(block);
}
void operator delete(void* block, std::size_t size) noexcept {
  Inspect(block, size);
  std::free(block);
}

TEST(Secrets, PasswordsLeaveTheCommandLineWhileTheRunWaitsOnItsInput) {
  const Fixture f;
  const std::string fifo = f.dir / "fifo", data = "Payment order 42";
  WriteBytes(f.dir / "data.sig",
             RunOpensslOrThrow({"dgst", "-sha256", "-sign", f.keys.privateKey}, data));
  struct Case {
    std::vector<std::string> args;
    std::string fed, lastLine;
  };
  const Case cases[] = {
      {{"sign", "SHA256", f.pfx, fifo, f.dir / "out.sig", kPassword},
       data,
       "Signature written to " + f.dir / "out.sig"},
      {{"verify", "SHA256", f.pfx, fifo, f.dir / "data.sig", kPassword}, data, "Verification OK"},
      {{"PFX", fifo, f.cert, f.dir / "out.pfx", kPassword},
       ReadBytes(f.keys.privateKey),
       "data saved to PKCS12 file " + f.dir / "out.pfx"}};
  for (const Case& c : cases) {
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto run = std::async(std::launch::async, [&] { return RunTool(c.args); });
    const int writer = open(fifo.c_str(), O_WRONLY);  // returns once the run opens it to read
    std::string shown;
    for (const std::string& arg : c.args)
      shown += (arg == kPassword ? std::string(arg.size(), 'x') : arg) + '\0';
    const std::string cmdline = CommandLineNaming(fifo);
    EXPECT_EQ(cmdline.substr(cmdline.find('\0') + 1), shown);
    EXPECT_EQ(write(writer, c.fed.data(), c.fed.size()), static_cast<ssize_t>(c.fed.size()));
    close(writer);
    const RunResult result = run.get();
    EXPECT_TRUE(Contains(result.out, c.lastLine + "\n")) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    std::filesystem::remove(fifo);
  }
}

TEST(Secrets, PasswordsAndKeyTextAreWipedBeforeTheirMemoryIsFreed) {
  const Fixture f;
  WriteBytes(f.dir / "data.txt", "Payment order 42");
  WriteBytes(f.dir / "data.sig", RunOpensslOrThrow({"dgst", "-sha256", "-sign", f.keys.privateKey,
                                                    f.dir / "data.txt"}));
  const std::wstring widePassword(kPassword.begin(), kPassword.end());
  watched = {kPassword,
             std::string(reinterpret_cast<const char*>(widePassword.data()),
                         widePassword.size() * sizeof(wchar_t)),
             ReadBytes(f.keys.privateKey).substr(200, 32), ReadBytes(f.pfx).substr(400, 32)};
  const std::vector<std::vector<std::string>> runs = {
      {"sign", "SHA256", f.pfx, f.dir / "data.txt", f.dir / "out.sig", kPassword},
      {"verify", "SHA256", f.pfx, f.dir / "data.txt", f.dir / "data.sig", kPassword},
      {"PFX", f.keys.privateKey, f.cert, f.dir / "out.pfx", kPassword},
      {"CSR", "SHA256", f.keys.privateKey, f.keys.publicKey, "/CN=Wiped", f.dir / "out.csr"}};
  testing::internal::CaptureStdout();
  for (const std::vector<std::string>& run : runs) {
    std::vector<std::wstring> args{L"cspTRIL"};
    for (const std::string& arg : run) args.emplace_back(arg.begin(), arg.end());
    std::vector<wchar_t*> argv;
    for (std::wstring& arg : args) argv.push_back(arg.data());
    watching = true;
    wmain(static_cast<int>(argv.size()), argv.data());
    watching = false;
    EXPECT_TRUE(run.back() != kPassword || argv.back()[0] == L'\0');  // the wide copy too
  }
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(blocksWithSecrets, 0);
  EXPECT_TRUE(Contains(out, "Signature written to") && Contains(out, "Verification OK") &&
              Contains(out, "Generate PKCS12 OK1") && Contains(out, "CSR saved to file"))
      << out;
}
