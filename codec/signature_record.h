// The signature record: the one line sign prints and writes, and verify's reading of it.
#pragma once

#include <optional>
#include <string>

// {"serial":"<serial>","sign":"<Base64 of the signature>"}: no blank, no line end, nothing
// escaped (a hexadecimal serial and Base64 text need no escaping).
std::string SignatureRecord(const std::string& serialnumber, const std::string& signature);

// The raw signature a signature file stands for. A JSON object with a string member "sign" (a
// record, whoever wrote it) stands for the bytes its Base64 text decodes to, and for none
// (nullopt) when that text is not Base64; any other content is the signature bytes themselves.
std::optional<std::string> SignatureInFile(const std::string& content);
