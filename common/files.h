#pragma once

#include <string>

// Whole content of a file, byte for byte. Prints "Unable to open key file!"
// on standard error and gives an empty string when it cannot be read.
std::string ReadFileToString(const std::string& path);

// Writes the bytes, replacing the file. False (with a line on standard
// error) only when the file cannot be opened.
bool WriteStringToFile(const std::string& path, const std::string& data);
