// Folders, names too long or not UTF-8, devices, unwritable outputs, hostile configurations and
// planted outputs: every run ends normally with its verdict; no key or older file is lost.
#include <fcntl.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;

// The names of the processes that hold `path` open, Wine's server aside: it keeps its copy of a
// process's descriptors until it has cleaned up after the process, after the process has ended.
static std::string HoldersOf(const std::string& path) {
  const fs::path file = fs::canonical(path);
  std::string names, name;
  std::error_code ok, gone;  // a process may end while it is looked at
  for (fs::directory_iterator process("/proc", ok), end; !ok && process != end;
       process.increment(ok)) {
    for (fs::directory_iterator fd(process->path() / "fd", gone); !gone && fd != end;
         fd.increment(gone)) {
      if (fs::read_symlink(fd->path(), gone) == file &&
          std::getline(std::ifstream(process->path() / "comm"), name) && name != "wineserver") {
        names += name + "\n";
      }
    }
  }
  return names;
}

TEST(HostileInputs, FoldersLongOrNonUtf8NamesAndUnwritableOutputsEndEachRunWithItsVerdict) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  // Windows takes no argument that is not UTF-8.
  const std::string key = keys.privateKey, pub = keys.publicKey,
                    data = dir / (ToolIsWindows() ? "data" : "\xFF\xFE");
  const std::string &folder = dir.path(), tooLong = "/" + std::string(4095, 'a');  // over PATH_MAX
  const std::string noPfx = "Generate PKCS12 failed0\n";
  const char* tooLongWhy = ToolIsWindows() ? "No such file or directory" : "File name too long";
  const auto noWrite = [](const std::string& path) {
    return "Failed to open file for writing: " + path + "\n";
  };
  // Devices that never end: on Windows COM1, which scripts/test-windows.sh points at a FIFO
  // that nobody writes to (a fresh machine may have no serial port).
  const std::string fifo = dir / "fifo", endless = ToolIsWindows() ? "COM1" : "/dev/zero",
                    conf = ToolIsWindows() ? "COM1" : fifo,
                    devNull = ToolIsWindows() ? "NUL" : "/dev/null", huge = dir / "huge.pem";
  mkfifo(fifo.c_str(), 0600);
  std::ofstream(huge, std::ios::binary).seekp((1LL << 40) - 1).put('-');  // sparse: a terabyte
  const std::string record = RecordLine(kRsa);
  WriteBytes(data, "Payment order 42\n");
  RunOpensslOrThrow({"dgst", "-sha256", "-sign", key, "-out", dir / "sig", data});
  RunTool({"CSR", "SHA256", key, pub, "/CN=x", dir / "req"});
  RunOpensslOrThrow({"req", "-verify", "-noout", "-in", dir / "req"});
  const std::string cert = MakeCertificate(dir, key, "c"), csr = "CSR:" + ReadBytes(dir / "req");
  const std::string path = "Private key path is " + key + "\n";
  ExpectRuns({
      Row({"sign", "SHA256", key, folder}, 1, path, Unreadable(folder, "Is a directory")),
      Row({"sign", "SHA256", key, tooLong}, 1, path, Unreadable(tooLong, tooLongWhy)),
      Row({"sign", "SHA256", key, data, folder}, 1, SignOutput(key, kRsa, record), noWrite(folder)),
      Row({"sign", "SHA256", key, endless}, 1, path,
          Unreadable(endless, "not a file that can be read to its end")),
      Row({"sign", "SHA256", key, data, devNull}, 1, SignOutput(key, kRsa, record),
          noWrite(devNull)),
      Row({"verify", "SHA256", pub, data, dir / "sig"}, 0, kRsa.line + "Verification OK\n"),
      Row({"verify", "SHA256", folder, data, dir / "sig"}, 1, "",
          Unreadable(folder, "Is a directory")),
      Row({"verify", "SHA256", tooLong + ".pfx", data, data}, 1, "",
          Unreadable(tooLong + ".pfx", tooLongWhy)),
      Row({"CSR", "SHA256", key, pub, "/CN=x", folder}, 1, "Signing algoritm SHA256\n" + csr + "\n",
          noWrite(folder)),
      Row({"PFX", key, cert, folder, "pw"}, 1, noPfx, noWrite(folder)),
      Row({"PFX", key, cert, devNull, "pw"}, 1, noPfx, noWrite(devNull)),
      Row({"PFX", key, folder, dir / "out", "pw"}, 1, "", Unreadable(folder, "Is a directory")),
  });
  // A configuration that cannot be loaded ends the run before its first line.
  for (const auto& [file, why] : {std::pair{conf, "not a regular file"},
                                  {dir / "none.cnf", "No such file or directory"},
                                  {dir / "c", "missing equal sign"}}) {  // a certificate
    const RunResult run = RunTool({"foo", "bar"}, {"", file});
    EXPECT_EQ(run.out + run.err + std::to_string(run.exitCode),
              "Cannot load OpenSSL configuration " + file + ": " + why + "\n1");
  }
  const char* runner = std::getenv("CSPTRIL_TOOL_RUNNER");  // valgrind, ASan: a failed new ends
  if (!CSPTRIL_SANITIZED && (runner == nullptr || !Contains(runner, "valgrind"))) {
    ExpectRun({"sign", "SHA256", huge, data}, 1, "Private key path is " + huge + "\n",
              "Not enough memory to read file: " + huge + "\n");
  }
  EXPECT_EQ(FileMode("/dev/null"), 0666u);  // a device is never written to, nor replaced
  static std::vector<std::string> hangs;    // a run that hangs (on a FIFO held open, empty) fails
  hangs = {"sign", "SHA256", key, fifo};    // its test and is ended: nothing of it holds the FIFO
  const int held = open(fifo.c_str(), O_RDWR | O_CLOEXEC) + setenv("CSPTRIL_RUN_SECONDS", "3", 1);
  EXPECT_NONFATAL_FAILURE(RunTool(hangs), "timed out, ended: ");
  unsetenv("CSPTRIL_RUN_SECONDS");
  close(held);
  EXPECT_EQ(HoldersOf(fifo), "");
  if (!ToolIsWindows()) return;
  // Engines and providers a configuration names come from the exe's folder, never the build's.
  WriteBytes(dir / "dll.cnf",
             "openssl_conf=i\n[i]\nengines=e\nproviders=p\n[e]\npkcs11=k\n[k]\n"
             "init=1\n[p]\nlegacy=l\n[l]\nactivate=1\n");
  // On a console too (Wine's, on script's terminal, too wide to wrap): whole, a cut character too.
  const std::string exe = std::getenv("CSPTRIL_TOOL"), trace = dir / "trace", tty = dir / "tty",
                    name = "a" + std::regex_replace(std::string(2100, 'x'), std::regex("x"), "ҳ");
  std::system(("OPENSSL_CONF='" + dir / "dll.cnf" + "' WINEDEBUG=+module wine '" + exe +
               "' foo bar 2>'" + trace + "'; script -qc \"stty cols 5000; wine '" + exe +
               "' sign SHA256 " + name + " x 2>/dev/null\" /dev/null >'" + tty + "'")
                  .c_str());
  EXPECT_EQ(std::regex_replace(ReadBytes(tty), std::regex("\x1b\\[[0-9;?]*[A-Za-z]|\r"), ""),
            kBanner + "Private key path is " + name + "\n");
  const std::string log = ReadBytes(trace),
                    home = std::regex_replace("Z:" + exe.substr(0, exe.rfind('/')), std::regex("/"),
                                              "\\\\");
  const std::regex tried("looking for L\"([^\"]*(pkcs11|legacy)[^\"]*)\"");
  const std::sregex_iterator first(log.begin(), log.end(), tried), end;
  EXPECT_NE(first, end);
  for (auto it = first; it != end; ++it) EXPECT_EQ((*it)[1].str().substr(0, home.size()), home);
}

// Outputs as a hostile user or an unlucky machine leaves them: an output that is one of the
// command's inputs, a disk that takes no more bytes, names planted in a folder others may write.
TEST(HostileInputs, NoOutputCostsAKeyAnInputOrAnOlderFile) {
  TempDir dir;
  const KeyFiles keys = MakeKeyPair(dir, "RSA");
  const std::string key = keys.privateKey, pub = keys.publicKey, data = dir / "data",
                    cert = MakeCertificate(dir, key, "cert.pem"), link = dir / "link";
  WriteBytes(data, "Payment order 42\n");
  using Args = std::vector<std::string>;
  using Command = std::function<Args(const std::string& output)>;
  const Command sign = [&](auto out) { return Args{"sign", "SHA256", key, data, out}; };
  const Command csr = [&](auto out) { return Args{"CSR", "SHA256", key, pub, "/CN=x", out}; };
  const Command pfx = [&](auto out) { return Args{"PFX", key, cert, out, "pw"}; };
  // Refused before a line is printed or a file read, by name and through a hard link.
  const std::string inputs = ReadBytes(key) + ReadBytes(pub) + ReadBytes(cert) + ReadBytes(data);
  for (const auto& [command, input] : std::vector<std::pair<Command, std::string>>{
           {sign, key}, {sign, data}, {csr, pub}, {csr, key}, {pfx, cert}, {pfx, key}}) {
    fs::remove(link);
    fs::create_hard_link(input, link);
    for (const std::string& output : {input, link}) {
      const RunResult run = RunTool(command(output));
      EXPECT_EQ(run.out + run.err + std::to_string(run.exitCode),
                kBanner + "Output file is the same file as an input: " + output + "\n1");
    }
  }
  EXPECT_EQ(ReadBytes(key) + ReadBytes(pub) + ReadBytes(cert) + ReadBytes(data), inputs);
  // A disk that takes no byte more (a file size limit of 0): the older files stay whole, a new
  // pair is not left half made, no success is claimed and no temporary file is left behind.
  const std::vector<std::string> outputs = {"sig", "req", "out.pfx"};
  const std::string fresh = dir / "fresh";
  for (const std::string& name : outputs) WriteBytes(dir / name, "older " + name);
  fs::create_directory(fresh);
  for (const Args& args : {Args{"genkeys", "RSA", "1024", fresh},
                           {"genkeys", "GOST", fresh},
                           sign(dir / "sig"),
                           csr(dir / "req"),
                           pfx(dir / "out.pfx")}) {
    const RunResult run = RunTool(args, {"", "", "", "trap '' XFSZ; ulimit -f 0"});
    EXPECT_FALSE(
        std::regex_search(run.out, std::regex("Result :1|written to|PKCS12 OK|data saved")))
        << run.out;
  }
  for (const std::string& name : outputs) EXPECT_EQ(ReadBytes(dir / name), "older " + name);
  EXPECT_TRUE(fs::is_empty(fresh));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 9);  // none left behind
  // No key where others may swap it: a folder all may write, or theirs (Wine shows no owner).
  const uid_t nobody = getpwnam("nobody")->pw_uid;
  const std::string all = dir / "all", theirs = ToolIsWindows() ? all : dir / "theirs";
  const std::string cwd =
      ToolIsWindows() ? std::regex_replace("Z:" + all, std::regex("/"), "\\") : all;
  fs::create_directories(all), fs::create_directories(theirs);
  ASSERT_EQ(chmod(all.c_str(), 0777) + chown(theirs.c_str(), nobody, nobody), 0);
  for (const auto& [args, folder, end] : std::vector<std::tuple<Args, std::string, std::string>>{
           {{"genkeys", "RSA", "1024", all}, all, "Result :0\n"},
           {{"genkeys", "GOST", theirs}, theirs, "Result :0\n"},
           {pfx(theirs + "/o.pfx"), theirs, "Generate PKCS12 failed0\n"},
           {pfx("o.pfx"), cwd, "Generate PKCS12 failed0\n"}}) {  // the current folder, in full
    const RunResult run = RunTool(args, {all});
    EXPECT_EQ(run.err + run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1) +
                  std::to_string(run.exitCode),
              "Folder can be changed by other users: " + folder + "\n" + end + "1");
  }
  EXPECT_TRUE(fs::is_empty(all) && fs::is_empty(theirs));
  if (ToolIsWindows()) return;
  // A folder anyone may write with the sticky bit, as /tmp is, takes keys; every name a private
  // key goes to, planted there by another user.
  std::string shared = "/tmp/cspTRIL-shared-XXXXXX";
  ASSERT_TRUE(mkdtemp(shared.data()) && chmod(shared.c_str(), 01777) == 0);
  for (const auto& [name, args] : std::vector<std::pair<std::string, Args>>{
           {"rsa_private_key.pem", {"genkeys", "RSA", "1024", shared}},
           {"gost_private_key.pem", {"genkeys", "GOST", shared}},
           {"out.pfx", pfx(shared + "/out.pfx")}}) {
    const std::string planted = shared + "/" + name, loot = shared + "/loot";
    const bool pair = args[0] == "genkeys";
    // A link to where the planter reads (for a key pair, one that leads nowhere yet): no key is
    // made beside it, and a PKCS#12 file replaces it, never following it.
    if (!pair) WriteBytes(loot, "");
    fs::create_symlink(loot, planted);
    const RunResult run = RunTool(args);
    struct stat info {};
    EXPECT_EQ(run.err, pair ? "Key file exists: " + planted + "\n" : "") << name;
    // Still a link; or a regular file of the runner's, mode 0600, and the loot untouched.
    EXPECT_EQ(lstat(planted.c_str(), &info) + info.st_uid + info.st_mode,
              geteuid() + (pair ? 0120777u : 0100600u))
        << name;
    EXPECT_EQ(fs::exists(loot) ? ReadBytes(loot) : "none", pair ? "none" : "") << name;
    // A file of the planter's own, open in the planter's hands: refused, nothing goes in.
    fs::remove(planted);
    WriteBytes(planted, "");
    EXPECT_EQ(chown(planted.c_str(), nobody, nobody) + chmod(planted.c_str(), 0666), 0);
    const int held = open(planted.c_str(), O_RDONLY);
    RunTool(args);
    char byte;
    EXPECT_EQ(read(held, &byte, 1) + close(held) + ReadBytes(planted).size(), 0u) << name;
    fs::remove(planted);
  }
  // As a user whom permissions bind (the tests run as root): another user's key file is no more
  // replaced than the user's own; a folder it may write but not read takes a record.
  if (std::getenv("CSPTRIL_TOOL_RUNNER") == nullptr) {
    const std::string older = shared + "/rsa_private_key.pem", out = shared + "/w",
                      k = shared + "/k";
    WriteBytes(older, "older");
    WriteBytes(k, ReadBytes(key));  // readable by all: the key, and the data it signs
    EXPECT_EQ(chown(older.c_str(), nobody, nobody) + mkdir(out.c_str(), 0) +
                  chmod(out.c_str(), 0333) +
                  setenv("CSPTRIL_TOOL_RUNNER",
                         "setpriv --reuid=nobody --regid=nogroup --clear-groups", 1),
              0);
    const RunResult pair = RunTool({"genkeys", "RSA", "1024", shared});
    const RunResult sign = RunTool({"sign", "SHA256", k, k, out + "/s.sig"});
    unsetenv("CSPTRIL_TOOL_RUNNER");
    EXPECT_EQ(pair.err + std::to_string(pair.exitCode) + ReadBytes(older),
              "Key file exists: " + older + "\n1older");
    EXPECT_TRUE(Contains(sign.out + sign.err + std::to_string(sign.exitCode),
                         "Signature written to " + out + "/s.sig\n0"));
  }
  fs::remove_all(shared);
}
