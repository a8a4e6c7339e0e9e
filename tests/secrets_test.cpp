// Passwords and keys: what others see of a waiting run, what a run leaves in freed memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <regex>

#include "cli/entry.h"
#include "platform/platform.h"
#include "platform/posix/arguments.h"
#include "tests/support/test_support.h"

namespace {
const std::string kPassword = "Open-Sesame-4729";   // too long to live inside a string object
const std::vector<std::string>* watched = nullptr;  // no block given back may hold one of these
int blocksWithSecrets = 0;

void Inspect(void* block, std::size_t size) {
  if (watched == nullptr || block == nullptr) return;
  const std::string_view bytes(static_cast<const char*>(block), size);
  for (const std::string& secret : *watched) blocksWithSecrets += bytes.find(secret) != bytes.npos;
}
}  // namespace

// Blocks come from malloc and go back to free, where the watch can see them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  if (void* p = malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { Inspect(p, malloc_usable_size(p)), free(p); }
void operator delete(void* p, std::size_t n) noexcept { Inspect(p, n), free(p); }

// Each command runs as a program blocked on a FIFO, its command line read from outside, then
// in this process, where every freed block is searched for the password, key and PKCS#12 bytes.
TEST(Secrets, PasswordsLeaveTheCommandLineAndNoSecretStaysInFreedMemory) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string cert = MakeCertificate(dir, keys.privateKey, "cert.pem"), data = dir / "data",
                    pfx = MakePkcs12(dir, keys.privateKey, cert, kPassword, "key.pfx"),
                    fifo = dir / "fifo";
  WriteBytes(data, "Payment order 42");
  RunOpensslOrThrow({"dgst", "-sha256", "-sign", keys.privateKey, "-out", dir / "data.sig", data});
  const std::wstring wide(kPassword.begin(), kPassword.end());
  const std::vector<std::string> secrets = {
      kPassword, std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 4),
      ReadBytes(keys.privateKey).substr(200, 32), ReadBytes(pfx).substr(400, 32)};
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"sign", "SHA256", pfx, fifo, dir / "sig", kPassword},
        {"verify", "SHA256", pfx, fifo, dir / "data.sig", kPassword},
        {"verify", "SHA256", fifo, data, dir / "data.sig", kPassword},  // a private key, wrongly
        {"PFX", fifo, cert, dir / "o.pfx", kPassword}}) {
    const std::string fed = command[3] == fifo ? data : keys.privateKey;  // the FIFO's bytes
    // The bytes wait in the FIFO before the run starts, and the run waits for this test's close
    // (Wine opens a FIFO without waiting for a writer, and reads one that has none as empty).
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    const std::string bytes = ReadBytes(fed);  // fits the pipe: the write never waits
    EXPECT_EQ(write(writer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    // The run's own command line alone: reading every process's waits on each one's memory map.
    const std::string pid = dir / "pid";
    auto run = std::async(std::launch::async, [&] {
      return RunTool(command, {"", "", "", "echo $BASHPID >" + pid});
    });
    for (int unread = 1; ioctl(writer, FIONREAD, &unread) == 0 && unread > 0;) {  // all taken
      if (run.wait_for(std::chrono::milliseconds(5)) == std::future_status::ready) break;
    }
    std::string shown;
    std::vector<std::wstring> args{L"cspTRIL"};
    for (const std::string& arg : command) {
      shown += (arg == kPassword ? std::string(arg.size(), 'x') : arg) + '\0';
      const std::string& inProcess = arg == fifo ? fed : arg;  // in this process: the file itself
      args.push_back(DecodeArgument(inProcess));
    }
    // The waiting run's command line as any user reads it. Under a runner (Wine's loader,
    // valgrind) /proc shows the runner's own, which the program cannot change.
    const std::string text = ReadBytes("/proc/" + std::to_string(std::stoi(ReadBytes(pid))) +
                                       "/cmdline"),
                      cmdline = text.substr(text.find('\0') + 1);
    EXPECT_TRUE(std::getenv("CSPTRIL_TOOL_RUNNER") != nullptr || cmdline == shown) << cmdline;
    close(writer);
    const RunResult result = run.get();
    std::filesystem::remove(fifo);

    std::vector<wchar_t*> argv;
    argv.reserve(args.size());
    for (std::wstring& arg : args) argv.push_back(arg.data());
    testing::internal::CaptureStdout();
    watched = &secrets;
    wmain(static_cast<int>(argv.size()), argv.data());
    watched = nullptr;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), result.out);  // the same run, the same output
    const std::regex success(command[2] == fifo ? "Error get public key\n"
                                                : "written to |Verification OK\n|PKCS12 OK1\n");
    EXPECT_TRUE(result.err.empty() && std::regex_search(result.out, success)) << result.out;
    EXPECT_EQ(blocksWithSecrets, 0) << command[0];
    EXPECT_EQ(argv.back()[0], L'\0');  // the wide copy of the password is wiped too
  }
}
