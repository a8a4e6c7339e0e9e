#include <iostream>
#include <string>

#include "cli/entry.h"
#include "cli/handlers.h"
#include "common/algorithm_words.h"
#include "common/files.h"
#include "common/gost_setup.h"
#include "common/secret.h"
#include "platform/platform.h"  // wmain, the entry it declares

namespace {

struct Command {
  const wchar_t* word;
  bool (*handler)(int, wchar_t*[]);  // true when the command did what was asked
  int passwordIndex;  // where the command takes its PKCS#12 password; 0: it takes none
  bool takesWord;     // an algorithm word follows the command word
  bool ownContext;    // GOST, if the word asks for it, is set up in a library context of its own
};

// Compared in this order, exactly and case-sensitively.
constexpr Command kCommands[] = {
    {L"PFX", HandlePfx, 5, false, false},       {L"CSR", HandleCsr, 0, true, false},
    {L"genkeys", HandleGenKeys, 0, true, true}, {L"sign", HandleSign, 6, true, false},
    {L"verify", HandleVerify, 6, true, false},
};

// The one example subject; the usage lines quote it.
const std::string kQuotedSubject =
    "\"/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName\"";
const std::string kRsaCsr =
    "cspTRIL.exe CSR SHA256 C:\\test\\rsa_private_key.pem "
    "c:\\test\\rsa_public_key.pem " +
    kQuotedSubject;
const std::string kGostCsr =
    "cspTRIL.exe CSR GOST C:\\test\\gost_private_key.pem "
    "c:\\test\\gost_public_key.pem " +
    kQuotedSubject;

const std::string kUsage[] = {
    "cspTRIL.exe genkeys RSA 1024",
    "cspTRIL.exe genkeys GOST",
    "cspTRIL.exe genkeys RSA 1024 C:\\test ",
    "cspTRIL.exe genkeys GOST C:\\test",
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_private_key.pem c:\\test\\test.txt",
    "cspTRIL.exe sign GOST C:\\test\\gost_private_key.pem c:\\test\\test.txt",
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_private_key.pem c:\\test\\test.txt c:\\test\\test.sig",
    "cspTRIL.exe sign GOST C:\\test\\gost_private_key.pem c:\\test\\test.txt c:\\test\\test.sig",
    "cspTRIL.exe sign SHA256 C:\\test\\rsa_cert.pfx c:\\test\\test.txt c:\\test\\rsa.sign password",
    "cspTRIL.exe sign GOST C:\\test\\gost_cert.pfx c:\\test\\test.txt c:\\test\\gost.sign password",
    "cspTRIL.exe verify SHA256 C:\\test\\rsa_public_key.pem c:\\test\\test.txt c:\\test\\test.sig",
    "cspTRIL.exe verify GOST C:\\test\\gost_public_key.pem c:\\test\\test.txt c:\\test\\test.sig",
    "cspTRIL verify SHA256 C:\\test\\out.pfx c:\\test\\test.txt c:\\test\\out.sign 4729",
    kRsaCsr,
    kGostCsr,
    kRsaCsr + " C:\\test\\rsa.csr",
    kGostCsr + " C:\\test\\gost.csr",
    "cspTRIL.exe PFX private_key.pem cert.pem outfile.pfx pfxpassword cacert.pem friendlyname",
};

void PrintUsage() {
  for (const std::string& line : kUsage) std::cout << line << std::endl;
}

void PrintBanner() {
  std::cout << "TRIL cryptography tool Version 1.0.0." << std::endl;
  std::cout << "Author: TRIL cryptography team <cryptography@tril.tj>" << std::endl;
  std::cout << "Copyright (c) 2026 TRIL. Licensed under the Apache License 2.0." << std::endl;
}

// Whether the command did what was asked. A file it could not read whole
// ends it wherever it stands, the reader having said why.
bool RunCommand(const Command& command, int argc, wchar_t* argv[]) {
  // The GOST word: GOST set up before anything else (or found installed, for
  // a command that sets it up in a context of its own), or the run ends at
  // once with the line that says why it cannot be.
  if (command.takesWord && FindAlgorithmWord(argv[2]) == &GostWord() &&
      !(command.ownContext ? GostInstalled(true) : PrepareGost(true))) {
    return false;
  }
  try {
    return command.handler(argc, argv);
  } catch (const FileNotReadWhole&) {
    return false;
  }
}

}  // namespace

int PasswordArgumentIndex(int argc, const wchar_t* const argv[]) {
  if (argc < 3) return 0;  // no command runs
  const std::wstring command = argv[1];
  for (const Command& candidate : kCommands) {
    if (command != candidate.word) continue;
    return candidate.passwordIndex < argc ? candidate.passwordIndex : 0;
  }
  return 0;
}

const std::string& CsrExample(bool gost) { return gost ? kGostCsr : kRsaCsr; }

namespace {

// The run once the library is ready: true when the command did what was asked.
bool RunCommandLine(int argc, wchar_t* argv[], int password) {
  PrintBanner();
  if (argc < 3) {
    std::cout << "Command is Missing. Commands:" << std::endl;
    PrintUsage();
    return false;
  }
  const std::wstring command = argv[1];
  for (const Command& candidate : kCommands) {
    if (command == candidate.word) {
      // Every command reads or makes private keys or passwords.
      KeepMemoryPrivate();
      const bool done = RunCommand(candidate, argc, argv);
      // The handler's copies are wiped; the wide argument is the last one.
      if (password != 0) WipeWideText(argv[password]);
      return done;
    }
  }
  std::cout << "Uncnown command" << std::endl;
  return false;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  // First of all: every moment the password stays on the command line, any
  // user of the machine can read it there.
  const int password = PasswordArgumentIndex(argc, argv);
  if (password != 0) HideArgumentFromOtherProcesses(password);
  // A run whose result can reach nobody does nothing.
  WatchStandardOutput();
  if (!StandardOutputDelivered()) return 1;
  // Before the first line: a run that cannot have the library as configured
  // does not go on half-configured.
  if (!PrepareOpenSsl()) return 1;
  const bool done = RunCommandLine(argc, argv, password);
  // What it printed is part of what it did.
  return StandardOutputDelivered() && done ? 0 : 1;
}
