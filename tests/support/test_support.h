// Helpers shared by the tests: running the built program (or the openssl
// program) and capturing what it prints, and scratch folders and files.
#pragma once

#include <string>
#include <vector>

struct RunResult {
  std::string out;
  std::string err;
  int exitCode = -1;  // -1 when the process did not exit normally (a crash)
};

struct RunOptions {
  std::string cwd;             // empty: the test's own working folder
  std::string openSslConf;     // empty: OPENSSL_CONF is unset for the child
  std::string input;           // bytes fed to standard input
};

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// Runs the built cspTRIL with these arguments (argv[0] is supplied).
RunResult RunTool(const std::vector<std::string>& args, const RunOptions& options = {});

// Runs the openssl program with the shipped configuration, so it knows GOST.
RunResult RunOpenssl(const std::vector<std::string>& args, const std::string& input = {});

std::string ToolPath();
std::string ShippedConfigPath();

// The three banner lines every run starts with.
extern const std::string kBanner;

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& data);
bool FileExists(const std::string& path);
unsigned FileMode(const std::string& path);  // permission bits

// Fixtures made with the openssl program (throwing with its error text when
// it fails). Kinds are "RSA" (2048 bits) and "GOST" (gost2012_256, TCB).
struct KeyFiles {
  std::string privateKey;
  std::string publicKey;
};
KeyFiles MakeKeyPair(const TempDir& dir, const std::string& kind, const std::string& stem = "key");

// Self-signed certificate for a private key; extra openssl req arguments may
// choose the digest ("-sha1", "-md_gost12_256") or the serial ("-set_serial", "1").
std::string MakeCertificate(const TempDir& dir, const std::string& privateKey,
                            const std::string& fileName,
                            const std::vector<std::string>& extra = {});

// PKCS#12 file with the key and certificate, as openssl pkcs12 -export makes it.
std::string MakePkcs12(const TempDir& dir, const std::string& privateKey, const std::string& cert,
                       const std::string& password, const std::string& fileName,
                       const std::vector<std::string>& extra = {});

// Runs the openssl program and throws with its standard error unless it succeeds.
std::string RunOpensslOrThrow(const std::vector<std::string>& args, const std::string& input = {});
