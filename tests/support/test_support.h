// Running the tool or the openssl program and capturing what it prints; folders, fixtures.
#pragma once

#include <string>
#include <vector>

// exitCode -1: the process did not exit normally (a crash).
struct RunResult {
  std::string out, err;
  int exitCode = -1;
};
// Empty: the test's working folder, OPENSSL_CONF unset, no standard input. shell: commands for
// the shell that starts the program (limits, variables, input); output then passes through pipes.
struct RunOptions {
  std::string cwd = {}, openSslConf = {}, input = {}, shell = {};
};

// The built cspTRIL (or CSPTRIL_TOOL) run by CSPTRIL_TOOL_RUNNER (wine for cspTRIL.exe), output
// through FromTextMode; openssl with the tests' configuration; OrThrow throws with its stderr.
RunResult RunTool(const std::vector<std::string>& args, const RunOptions& options = {});
RunResult RunOpenssl(const std::vector<std::string>& args, const std::string& input = {});
std::string RunOpensslOrThrow(const std::vector<std::string>& args, const std::string& input = {});
bool ToolIsWindows();  // the program under test is the Windows build (a name ending ".exe")
// Text the tool wrote through a text stream: on Windows every LF must follow a CR (a failure
// otherwise) and those CRs go; elsewhere it is returned unchanged.
std::string FromTextMode(const std::string& bytes);
extern const std::string kSeparator;    // between a folder and a key file name: "\" on Windows
extern const std::string kOpensslConf;  // the tests' openssl configuration (GOST the tool's way)

extern const std::string kBanner;  // the three lines every run starts with

// Runs the tool and expects the exit status, exactly kBanner + out on standard output and err on
// standard error; compared masked: a record's signature as "sign":"*", OpenSSL's as "error:*".
RunResult ExpectRun(const std::vector<std::string>& args, int status, const std::string& out,
                    const std::string& err = "", const RunOptions& options = {});
struct ToolRun {  // one row of a table of such runs, written Row(args, status, out, err, options)
  std::vector<std::string> args;
  int status;
  std::string out, err;
  RunOptions options;
};
ToolRun Row(std::vector<std::string> args, int status, std::string out, std::string err = {},
            RunOptions options = {});
void ExpectRuns(const std::vector<ToolRun>& runs);
bool Contains(const std::string& text, const std::string& part);
// The two lines on standard error for a file the tool could not read whole.
std::string Unreadable(const std::string& path, const char* why = "No such file or directory");

// The two signature algorithms: key kind for MakeKeyPair, word on the command line,
// openssl dgst option, the line sign and verify print for the word, the record's prefix.
struct Algorithm {
  std::string kind, word, dgst, line, prefix;
};
extern const Algorithm kRsa, kGost;

// What sign prints after the banner with this key file and word, then `end`; the line of a
// record (the signature masked, as ExpectRun compares it) with this serial.
std::string SignOutput(const std::string& keyFile, const Algorithm& alg, const std::string& end);
std::string RecordLine(const Algorithm& alg, const std::string& serial = "");

// The raw signature inside the record that a sign run printed, decoded by openssl.
std::string RawSignatureOf(const std::string& signOutput);

// A fresh folder (its name not ASCII), removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& data);
unsigned FileMode(const std::string& path);  // permission bits

// Made by openssl: key pairs of the kinds "RSA" (2048 bits) and "GOST" (gost2012_256, TCB),
// self-signed certificates (extra req arguments), PKCS#12 files (extra pkcs12 -export ones).
struct KeyFiles {
  std::string privateKey, publicKey;
};
KeyFiles MakeKeyPair(const TempDir& dir, const std::string& kind, const std::string& stem = "key");
std::string MakeCertificate(const TempDir& dir, const std::string& privateKey,
                            const std::string& fileName,
                            const std::vector<std::string>& extra = {});
std::string MakePkcs12(const TempDir& dir, const std::string& privateKey, const std::string& cert,
                       const std::string& password, const std::string& fileName,
                       const std::vector<std::string>& extra = {});
