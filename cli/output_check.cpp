#include <cstdlib>
#include <iostream>

#include "cli/entry.h"
#include "platform/platform.h"

void ExitIfOutputIsAnInput(const std::string& output, std::initializer_list<std::string> inputs) {
  for (const std::string& input : inputs) {
    if (SameFile(output, input)) {
      std::cerr << "Output file is the same file as an input: " << output << std::endl;
      std::exit(EXIT_FAILURE);
    }
  }
}
