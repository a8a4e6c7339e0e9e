// The command line as the system handed it to main.
#pragma once

#include <string>
#include <string_view>

// Decodes one command-line argument as UTF-8. A byte that is not part of a
// valid sequence becomes U+DC80 + (byte - 0x80), so that every byte string
// survives the way back through WideCharToMultiByte unchanged.
std::wstring DecodeArgument(std::string_view bytes);

// Keeps main's own argument vector: its bytes are what ps and
// /proc/PID/cmdline read, so hiding an argument means overwriting them.
void RememberProcessArguments(int argc, char* argv[]);

// Opens each of standard input, output and error that the run was started
// without onto /dev/null, before anything else: otherwise the first file the
// tool opens would take its descriptor, and output meant for the console
// would go into it (StandardOutputWasClosed tells of standard output).
void OpenStandardDescriptors();
