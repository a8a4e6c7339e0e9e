// Base64 (standard alphabet, "=" padding) for the signature record.
#pragma once

#include <string>

// The Base64 text of the bytes: a multiple of 4 characters, padded with "=",
// no line breaks. Throws std::length_error when the input is so large that
// the text's size would not fit a size_t.
std::string Base64Encode(const std::string& bindata);

// The bytes of Base64 text. Whitespace and "=" are skipped wherever they
// stand; leftover bits short of a byte are dropped. Throws
// std::invalid_argument on any other character outside the alphabet.
std::string Base64Decode(const std::string& ascdata);
