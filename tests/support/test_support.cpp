#include "tests/support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

const std::string kBanner =
    "TRIL cryptography tool Version 1.0.0.\n"
    "Author: TRIL cryptography team <cryptography@tril.tj>\n"
    "Copyright (c) 2026 TRIL. All rights reserved.\n";

std::string ToolPath() { return CSPTRIL_BIN; }
std::string ShippedConfigPath() { return CSPTRIL_SHIPPED_CONF; }

namespace {

[[noreturn]] void RunChild(const std::vector<std::string>& argv, const RunOptions& options,
                           int in, int out, int err) {
  dup2(in, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
  if (options.openSslConf.empty()) {
    unsetenv("OPENSSL_CONF");
  } else {
    setenv("OPENSSL_CONF", options.openSslConf.c_str(), 1);
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

// Feeds standard input and drains both outputs together, so that neither
// side can block the other on a full pipe.
void Pump(int in, int out, int err, const std::string& input, RunResult& result) {
  std::size_t written = 0;
  if (input.empty()) close(in), in = -1;
  bool outOpen = true, errOpen = true;
  char buffer[65536];
  while (outOpen || errOpen) {
    pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {in, POLLOUT, 0}};
    if (poll(fds, in >= 0 ? 3 : 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      } else {
        (i == 0 ? outOpen : errOpen) = false;
        close(fds[i].fd);
        (i == 0 ? out : err) = -1;
      }
    }
    if (in >= 0 && fds[2].revents != 0) {
      const ssize_t n = write(in, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n <= 0 || written == input.size()) close(in), in = -1;
    }
  }
  if (in >= 0) close(in);
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  signal(SIGPIPE, SIG_IGN);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) RunChild(argv, options, in[0], out[1], err[1]);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  RunResult result;
  Pump(in[1], out[0], err[0], options.input, result);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

RunResult RunTool(const std::vector<std::string>& args, const RunOptions& options) {
  std::vector<std::string> argv{ToolPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, options);
}

RunResult RunOpenssl(const std::vector<std::string>& args, const std::string& input) {
  std::vector<std::string> argv{"openssl"};
  argv.insert(argv.end(), args.begin(), args.end());
  RunOptions options;
  options.openSslConf = ShippedConfigPath();
  options.input = input;
  return RunProgram(argv, options);
}

TempDir::TempDir() {
  const char* base = std::getenv("CSPTRIL_TEST_TMP");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/cspTRIL-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& data) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

unsigned FileMode(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) throw std::runtime_error("cannot stat " + path);
  return info.st_mode & 07777;
}

std::string RunOpensslOrThrow(const std::vector<std::string>& args, const std::string& input) {
  const RunResult result = RunOpenssl(args, input);
  if (result.exitCode != 0) {
    std::string command = "openssl";
    for (const std::string& arg : args) command += " " + arg;
    throw std::runtime_error(command + " failed: " + result.err);
  }
  return result.out;
}

KeyFiles MakeKeyPair(const TempDir& dir, const std::string& kind, const std::string& stem) {
  KeyFiles files{dir / (stem + "_private.pem"), dir / (stem + "_public.pem")};
  if (kind == "GOST") {
    RunOpensslOrThrow({"genpkey", "-algorithm", "gost2012_256", "-pkeyopt", "paramset:TCB",
                       "-out", files.privateKey});
  } else {
    RunOpensslOrThrow({"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048",
                       "-out", files.privateKey});
  }
  RunOpensslOrThrow({"pkey", "-in", files.privateKey, "-pubout", "-out", files.publicKey});
  return files;
}

std::string MakeCertificate(const TempDir& dir, const std::string& privateKey,
                            const std::string& fileName, const std::vector<std::string>& extra) {
  const std::string cert = dir / fileName;
  std::vector<std::string> args{"req", "-x509", "-new", "-key", privateKey, "-subj",
                                "/C=TJ/O=TRIL Test/CN=Test Signer", "-days", "30", "-out", cert};
  args.insert(args.end(), extra.begin(), extra.end());
  RunOpensslOrThrow(args);
  return cert;
}

std::string MakePkcs12(const TempDir& dir, const std::string& privateKey, const std::string& cert,
                       const std::string& password, const std::string& fileName,
                       const std::vector<std::string>& extra) {
  const std::string pfx = dir / fileName;
  std::vector<std::string> args{"pkcs12", "-export", "-inkey", privateKey, "-in", cert,
                                "-passout", "pass:" + password, "-out", pfx};
  args.insert(args.end(), extra.begin(), extra.end());
  RunOpensslOrThrow(args);
  return pfx;
}
