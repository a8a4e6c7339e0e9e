#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <utility>

namespace fs = std::filesystem;

const std::string kBanner =
    "TRIL cryptography tool Version 1.0.0.\n"
    "Author: TRIL cryptography team <cryptography@tril.tj>\n"
    "Copyright (c) 2026 TRIL. Licensed under the Apache License 2.0.\n";

const Algorithm kRsa{"RSA", "SHA256", "-sha256", "RSA Sha256 sign algoritm\n", "RSA signature "};
const Algorithm kGost{"GOST", "GOST", "-md_gost12_256", "Gost R 3411-2012 sign algoritm\n",
                      "Gost signature "};

namespace {

std::vector<std::string> Join(std::vector<std::string> head, const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

std::string Quoted(const std::string& text) {
  return "'" + std::regex_replace(text, std::regex("'"), "'\\''") + "'";
}

std::string Environment(const char* name, const std::string& otherwise) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : otherwise;
}

// Standard input, output and error are files in a scratch folder: no pipe can fill up and block
// either side. The shell execs the program, so a process that a signal ends (a crash, or a
// sanitizer stopping it) fails the test, whatever the test goes on to check. timeout ends the
// run's process group (Wine's process too) before ctest's 600 s end the test and leave the run
// behind, failing the test by name; CSPTRIL_RUN_SECONDS sets a test's own limit.
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options,
                     const std::string& runner = "") {
  TempDir io;
  WriteBytes(io / "0", options.input);
  std::string command = options.openSslConf.empty()
                            ? "unset OPENSSL_CONF; "
                            : "export OPENSSL_CONF=" + Quoted(options.openSslConf) + "; ";
  if (!options.cwd.empty()) command += "cd " + Quoted(options.cwd) + " && ";
  std::string program = runner;
  for (const std::string& arg : argv) program += " " + Quoted(arg);
  const std::string out = Quoted(io / "1"), err = Quoted(io / "2");
  command +=
      "exec <" + Quoted(io / "0") + " " +
      (options.shell.empty() ? program + " >" + out + " 2>" + err
                             : "bash -c " + Quoted("set -o pipefail; exec 4>" + out + " 5>" + err +
                                                   "; { { " + options.shell + "; exec " + program +
                                                   " 2>&3 3>&-; } | cat >&4; } 3>&1 | cat >&5"));
  static const std::time_t end = std::time(nullptr) + 540;
  const std::string seconds = std::to_string(
      std::max(1LL, std::min<long long>(end - std::time(nullptr),
                                        std::stoll(Environment("CSPTRIL_RUN_SECONDS", "540")))));
  const int status =
      std::system(("exec timeout -k 5 " + seconds + " sh -c " + Quoted(command)).c_str());
  RunResult result{ReadBytes(io / "1"), ReadBytes(io / "2"),
                   WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  EXPECT_NE(result.exitCode, 124) << "timed out, ended: " << program;
  EXPECT_NE(result.exitCode, -1) << argv[0] << " did not exit normally:\n" << result.err;
  return result;
}

}  // namespace

const std::string kSeparator = ToolIsWindows() ? "\\" : "/";
const std::string kOpensslConf = CSPTRIL_OPENSSL_CONF;

RunResult RunTool(const std::vector<std::string>& args, const RunOptions& options) {
  const RunResult result = RunProgram(Join({Environment("CSPTRIL_TOOL", CSPTRIL_BIN)}, args),
                                      options, Environment("CSPTRIL_TOOL_RUNNER", ""));
  return {FromTextMode(result.out), FromTextMode(result.err), result.exitCode};
}

bool ToolIsWindows() {
  const std::string tool = Environment("CSPTRIL_TOOL", CSPTRIL_BIN);
  return tool.size() > 4 && tool.compare(tool.size() - 4, 4, ".exe") == 0;
}

std::string FromTextMode(const std::string& bytes) {
  if (!ToolIsWindows()) return bytes;
  EXPECT_FALSE(std::regex_search(bytes, std::regex("(^|[^\r])\n")))
      << "a line ends in LF alone: " << testing::PrintToString(bytes);
  return std::regex_replace(bytes, std::regex("\r\n"), "\n");
}

RunResult RunOpenssl(const std::vector<std::string>& args, const std::string& input) {
  return RunProgram(Join({"openssl"}, args), {"", kOpensslConf, input});
}

std::string RunOpensslOrThrow(const std::vector<std::string>& args, const std::string& input) {
  const RunResult result = RunOpenssl(args, input);
  if (result.exitCode == 0) return result.out;
  throw std::runtime_error("openssl " + testing::PrintToString(args) + " failed: " + result.err);
}

RunResult ExpectRun(const std::vector<std::string>& args, int status, const std::string& out,
                    const std::string& err, const RunOptions& options) {
  static const std::regex sign("\"sign\":\"[^\"]*\""), opensslText("error:[0-9A-F]{8}:[^\n]*");
  RunResult result = RunTool(args, options);
  const std::string call = testing::PrintToString(args);
  EXPECT_EQ(std::regex_replace(result.out, sign, "\"sign\":\"*\""), kBanner + out) << call;
  EXPECT_EQ(std::regex_replace(result.err, opensslText, "error:*"), err) << call;
  EXPECT_EQ(result.exitCode, status) << call;
  return result;
}

ToolRun Row(std::vector<std::string> args, int status, std::string out, std::string err,
            RunOptions options) {
  return {std::move(args), status, std::move(out), std::move(err), std::move(options)};
}

void ExpectRuns(const std::vector<ToolRun>& runs) {
  for (const ToolRun& run : runs) ExpectRun(run.args, run.status, run.out, run.err, run.options);
}
bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
std::string Unreadable(const std::string& path, const char* why) {
  return "Unable to open key file!\nCannot read " + path + ": " + why + "\n";
}

std::string SignOutput(const std::string& keyFile, const Algorithm& alg, const std::string& end) {
  return "Private key path is " + keyFile + "\n" + alg.line + end;
}

std::string RecordLine(const Algorithm& alg, const std::string& serial) {
  return alg.prefix + "{\"serial\":\"" + serial + "\",\"sign\":\"*\"}\n";
}

std::string RawSignatureOf(const std::string& signOutput) {
  std::smatch sign;
  if (!std::regex_search(signOutput, sign, std::regex("\"sign\":\"([^\"]*)\"}\n"))) return "";
  return RunOpensslOrThrow({"base64", "-d", "-A"}, sign[1]);
}

TempDir::TempDir() {
  const char* base = std::getenv("CSPTRIL_TEST_TMP");
  // Cyrillic and Tajik letters in every path the tests hand the tool: on Windows they are
  // in no ANSI code page, so only the tool's UTF-8 throughout lets them through.
  path_ = std::string(base != nullptr ? base : "/tmp") + "/Раҳим-ҳуҷҷат-XXXXXX";
  if (mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& data) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file.write(data.data(), static_cast<std::streamsize>(data.size()))) {
    throw std::runtime_error("cannot write " + path);
  }
}

unsigned FileMode(const std::string& path) {
  return static_cast<unsigned>(fs::status(path).permissions() & fs::perms::mask);
}

KeyFiles MakeKeyPair(const TempDir& dir, const std::string& kind, const std::string& stem) {
  KeyFiles files{dir / (stem + "_private.pem"), dir / (stem + "_public.pem")};
  const bool gost = kind == "GOST";
  RunOpensslOrThrow({"genpkey", "-algorithm", gost ? "gost2012_256" : "RSA", "-pkeyopt",
                     gost ? "paramset:TCB" : "rsa_keygen_bits:2048", "-out", files.privateKey});
  RunOpensslOrThrow({"pkey", "-in", files.privateKey, "-pubout", "-out", files.publicKey});
  return files;
}

std::string MakeCertificate(const TempDir& dir, const std::string& privateKey,
                            const std::string& fileName, const std::vector<std::string>& extra) {
  RunOpensslOrThrow(Join({"req", "-x509", "-new", "-key", privateKey, "-days", "30", "-subj",
                          "/C=TJ/O=TRIL Test/CN=Test Signer", "-out", dir / fileName},
                         extra));
  return dir / fileName;
}

std::string MakePkcs12(const TempDir& dir, const std::string& privateKey, const std::string& cert,
                       const std::string& password, const std::string& fileName,
                       const std::vector<std::string>& extra) {
  RunOpensslOrThrow(Join({"pkcs12", "-export", "-inkey", privateKey, "-in", cert, "-passout",
                          "pass:" + password, "-out", dir / fileName},
                         extra));
  return dir / fileName;
}
