// What the rest of the tool needs from the operating system beyond the
// console-system interfaces of windows_api.h.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/windows_api.h"

// Put between a folder and a key file name when the two are joined.
extern const char kPathSeparator[];

// Decodes one command-line argument as UTF-8. A byte that is not part of a
// valid sequence becomes U+DC80 + (byte - 0x80), so that every byte string
// survives the way back through WideCharToMultiByte unchanged.
std::wstring DecodeArgument(const std::string& bytes);

// True when an opened stream is a directory rather than a file to read.
bool IsDirectoryStream(std::FILE* file);

// The length of a stream that can be sized by seeking, which is left at its
// start again; -1 when it cannot be sized (a pipe, a terminal). A 64-bit count
// everywhere, so that files of 2 GiB and more are sized on every system.
long long SeekableLength(std::FILE* file);

// Readies a path that is about to receive private key material: creates it
// readable by its owner only, or narrows an existing file to that, before a
// single byte is written. Failures are left for the writer to report.
void RestrictToOwner(const std::string& path);

// When the user names no OpenSSL configuration, points the library at the
// one shipped with the program, found beside the executable (build tree) or
// in the installed data folder. Must run before the first OpenSSL call.
void UseShippedOpenSslConfig(const std::string& executablePath);

// Full path of the running executable, or empty when it cannot be found.
std::string RunningExecutablePath();

// Overwrites the argument at this position, letter for letter with 'x', where
// the system shows the command line to other processes (process lists,
// /proc/PID/cmdline), so that a password given there is no longer on show.
// Every other argument, and the copies the program has already made of the
// arguments, stay as they are.
void HideArgumentFromOtherProcesses(int index);

// For a run that holds private keys or passwords: a crash writes no memory
// dump, and other processes cannot read the process's memory.
void KeepMemoryPrivate();

// How many processors this process may run on: those of its affinity mask
// (a run pinned to one has one), not all the machine's. At least 1.
int UsableProcessorCount();
