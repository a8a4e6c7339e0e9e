#pragma once

#include <string>

#include "common/secret.h"

// Whole content of a file, byte for byte. Prints "Unable to open key file!"
// on standard error and gives an empty string when it cannot be read.
std::string ReadFileToString(const std::string& path);

// ReadFileToString for a file of private key material (PEM or PKCS#12): the
// bytes go straight into the holder that wipes them, and no other copy of
// them is left in the program's memory.
SecretString ReadSecretFile(const std::string& path);

// Writes the bytes, replacing the file. False (with a line on standard
// error) only when the file cannot be opened.
bool WriteStringToFile(const std::string& path, const std::string& data);
