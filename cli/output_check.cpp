#include <iostream>

#include "cli/entry.h"
#include "platform/platform.h"

bool OutputIsAnInput(const std::string& output, std::initializer_list<std::string> inputs) {
  for (const std::string& input : inputs) {
    if (SameFile(output, input)) {
      std::cerr << "Output file is the same file as an input: " << output << std::endl;
      return true;
    }
  }
  return false;
}
