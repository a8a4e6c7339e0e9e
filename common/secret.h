// Passwords and private key text in memory: wiped before their memory goes
// back to the heap, so that freed blocks and later allocations never show them.
#pragma once

#include <string>

// Overwrites every byte the string owns, spare capacity included (text left
// over from a longer earlier value goes too), and leaves it empty.
void WipeString(std::string& text);

// Overwrites a NUL-terminated wide text in place, terminator excepted.
void WipeWideText(wchar_t* text);

// Owns a password or private key text and wipes it when it goes, on every
// path. Only movable (a copy would be one more buffer to wipe). A string that
// grows past its capacity moves to a new buffer and leaves the old one behind
// unwiped, so fill the value at its final size (reserve first, or write into
// a buffer already sized) rather than by appending.
class SecretString {
 public:
  SecretString() = default;
  // Takes over the buffer of value and wipes what the moved-from string still
  // holds (a short value lives inside the string object and is copied).
  explicit SecretString(std::string&& value);
  SecretString(SecretString&& other) noexcept;  // and so neither copies nor assignments
  ~SecretString();

  // The only way to the text: every use of it is written out, and a copy
  // into a string that nobody wipes cannot be made by accident.
  std::string& value() { return value_; }
  const std::string& value() const { return value_; }

 private:
  std::string value_;
};
