// How the engines report a failure of their own: one fixed line on standard
// error, flushed at once.
#pragma once

#include <iostream>
#include <string_view>

// Always false, so that a failing step can end in `return ReportFailure(...)`.
inline bool ReportFailure(std::string_view line) {
  std::cerr << line << std::endl;
  return false;
}
