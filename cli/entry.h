#pragma once

#include <initializer_list>
#include <string>

#include "common/secret.h"

// UTF-8 form of a wide string, with the converted terminating NUL kept as the
// last character of the result (so an empty input gives a string of size 1).
std::string WideToUtf8(const std::wstring& wstr);

// A converted argument without the NUL that WideToUtf8 leaves at its end;
// an empty string stays empty.
std::string WithoutTrailingNul(const std::string& converted);

// The argument at this position converted and without its NUL; empty when
// the command line ends before it (an absent optional argument).
std::string OptionalArgument(int argc, wchar_t* argv[], int index);

// The command's PKCS#12 password (PasswordArgumentIndex) converted and
// without its NUL, written into the holder that wipes it; empty when the
// command line ends before it.
SecretString PasswordArgument(int argc, wchar_t* argv[]);

// True, after one line on standard error, when the output path names the
// same file as one of the command's inputs (however it is spelt: a hard link,
// "./"): writing it would destroy that input, and the command ends there.
// Asked before the command prints a line of its own or reads a file.
bool OutputIsAnInput(const std::string& output, std::initializer_list<std::string> inputs);

// Position of the PKCS#12 password on this command line (6 for sign and
// verify, 5 for PFX), or 0 when the command takes none or the line ends
// before it. The one place that knows which argument must not be shown.
int PasswordArgumentIndex(int argc, const wchar_t* const argv[]);

// The usage line of a CSR example (GOST or SHA256, no output file).
const std::string& CsrExample(bool gost);

// The running program's full path (argv[0] made absolute), converted with its
// NUL kept, as handed to OpenSSL for the provider search path. Empty when the
// path cannot be had or does not fit the console system's 260-character limit.
std::string ProgramPathForOpenSsl(const wchar_t* programPath);

// Standard output is part of a command's result. From WatchStandardOutput on,
// a write to it that fails is kept; StandardOutputDelivered flushes it and,
// when something printed did not reach its reader (or it was closed at start),
// says "Cannot write standard output: REASON" on standard error and is false.
void WatchStandardOutput();
bool StandardOutputDelivered();
