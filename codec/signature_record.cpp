#include "codec/signature_record.h"

#include <cstring>
#include <stdexcept>

#include "codec/myBase64.h"

namespace {

// Deeper nesting than any record needs is not a record: the stack stays small whatever the file.
constexpr int kMaxDepth = 32;

// c is one of the characters of set (never its terminating NUL).
bool IsOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// A place in the text of a signature file, read as JSON (RFC 8259).
struct Cursor {
  const std::string& text;
  std::size_t at = 0;

  bool AtEnd() const { return at >= text.size(); }
  char Peek() const { return AtEnd() ? '\0' : text[at]; }
  bool Take(char c) {
    if (AtEnd() || text[at] != c) return false;
    ++at;
    return true;
  }
  void SkipBlanks() {
    while (!AtEnd() && IsOneOf(text[at], " \t\r\n")) ++at;
  }
  bool TakeDigits() {
    const std::size_t start = at;
    while (!AtEnd() && text[at] >= '0' && text[at] <= '9') ++at;
    return at > start;
  }
};

bool ReadValue(Cursor& in, int depth);

// A string's characters, its escapes resolved. An escaped letter outside ASCII is kept as the
// byte 0x80: only ASCII matters to what is read here, and no Base64 text holds that byte.
bool ReadString(Cursor& in, std::string& value) {
  if (!in.Take('"')) return false;
  while (!in.AtEnd()) {
    const char c = in.text[in.at++];
    if (c == '"') return true;
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      value += c;
      continue;
    }
    static const std::string escaped = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
    if (IsOneOf(in.Peek(), escaped.c_str())) {
      value += meant[escaped.find(in.text[in.at++])];
    } else if (in.Take('u') && in.at + 4 <= in.text.size()) {
      const std::string hex = in.text.substr(in.at, 4);
      if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
      const unsigned long code = std::stoul(hex, nullptr, 16);
      value += code < 0x80 ? static_cast<char>(code) : '\x80';
      in.at += 4;
    } else {
      return false;
    }
  }
  return false;
}

bool ReadNumber(Cursor& in) {
  in.Take('-');
  if (!in.Take('0') && !in.TakeDigits()) return false;
  if (in.Take('.') && !in.TakeDigits()) return false;
  if (in.Take('e') || in.Take('E')) {
    if (!in.Take('+')) in.Take('-');
    return in.TakeDigits();
  }
  return true;
}

// An object's members; sign gets the value of the last member "sign" that is a string.
bool ReadObject(Cursor& in, int depth, std::optional<std::string>* sign) {
  if (!in.Take('{')) return false;
  in.SkipBlanks();
  if (in.Take('}')) return true;
  do {
    std::string name, value;
    in.SkipBlanks();
    if (!ReadString(in, name)) return false;
    in.SkipBlanks();
    if (!in.Take(':')) return false;
    in.SkipBlanks();
    if (in.Peek() == '"' && sign != nullptr) {
      if (!ReadString(in, value)) return false;
      if (name == "sign") *sign = value;
    } else if (!ReadValue(in, depth + 1)) {
      return false;
    }
    in.SkipBlanks();
  } while (in.Take(','));
  return in.Take('}');
}

bool ReadArray(Cursor& in, int depth) {
  in.Take('[');
  in.SkipBlanks();
  if (in.Take(']')) return true;
  do {
    in.SkipBlanks();
    if (!ReadValue(in, depth + 1)) return false;
    in.SkipBlanks();
  } while (in.Take(','));
  return in.Take(']');
}

bool ReadValue(Cursor& in, int depth) {
  if (depth > kMaxDepth) return false;
  std::string ignored;
  switch (in.Peek()) {
    case '{':
      return ReadObject(in, depth, nullptr);
    case '[':
      return ReadArray(in, depth);
    case '"':
      return ReadString(in, ignored);
  }
  for (const char* word : {"true", "false", "null"}) {
    if (in.text.compare(in.at, std::strlen(word), word) == 0) {
      in.at += std::strlen(word);
      return true;
    }
  }
  return ReadNumber(in);
}

// The Base64 text of the member "sign" when the whole text is a JSON object that has one.
// A byte order mark in front, as some Windows editors save text, is passed over.
std::optional<std::string> SignMember(const std::string& content) {
  Cursor in{content};
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) in.at = 3;
  in.SkipBlanks();
  std::optional<std::string> sign;
  if (!ReadObject(in, 0, &sign)) return std::nullopt;
  in.SkipBlanks();
  return in.AtEnd() ? sign : std::nullopt;
}

}  // namespace

std::string SignatureRecord(const std::string& serialnumber, const std::string& signature) {
  return "{\"serial\":\"" + serialnumber + "\",\"sign\":\"" + Base64Encode(signature) + "\"}";
}

std::optional<std::string> SignatureInFile(const std::string& content) {
  const std::optional<std::string> sign = SignMember(content);
  if (!sign) return content;
  try {
    return Base64Decode(*sign);
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  }
}
