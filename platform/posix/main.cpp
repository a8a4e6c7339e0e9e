// POSIX entry: turns the byte arguments into wide strings and hands them to
// the tool's wide-character entry point, as the console system would.
#include <csignal>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/arguments.h"

int main(int argc, char* argv[]) {
  OpenStandardDescriptors();
  // A reader that has gone makes a write fail (EPIPE), which the run reports,
  // instead of ending the process without a word.
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));  // cannot fail for this signal
  RememberProcessArguments(argc, argv);
  std::vector<std::wstring> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  // Decoded where the system keeps them: one of them may be a password, and
  // no byte copy of it is made.
  for (int i = 0; i < argc; ++i) arguments.push_back(DecodeArgument(argv[i]));
  std::vector<wchar_t*> pointers;
  pointers.reserve(arguments.size() + 1);
  for (std::wstring& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return wmain(argc, pointers.data());
}
