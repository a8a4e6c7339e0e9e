#include "common/x509_name.h"

#include <algorithm>

#include "common/handles.h"

namespace {

std::string LibraryOneLine(const X509_NAME* name) {
  const OpenSslTextPtr text(X509_NAME_oneline(name, nullptr, 0));
  return text ? text.get() : "";
}

// The field's short name, or its number in dotted form when it has none, as the library writes it.
std::string FieldName(const ASN1_OBJECT* field) {
  const int nid = OBJ_obj2nid(field);
  const char* const shortName = nid == NID_undef ? nullptr : OBJ_nid2sn(nid);
  if (shortName != nullptr) return shortName;
  char dotted[80] = "";
  OBJ_obj2txt(dotted, sizeof dotted, field, 1);
  return dotted;
}

std::string Hex(unsigned char byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 15]};
}

// Escaped as the library's form escapes: "/" and "+" after a backslash, control characters as
// \xHH, and so the C1 controls (U+0080 to U+009F), which some terminals obey, byte by byte too.
std::string Escaped(const std::string& utf8) {
  std::string text;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      text += Hex(byte) + Hex(static_cast<unsigned char>(utf8[++i]));
    } else if (byte < 0x20 || byte == 0x7F) {
      text += Hex(byte);
    } else {
      if (byte == '/' || byte == '+') text += '\\';
      text += utf8[i];
    }
  }
  return text;
}

}  // namespace

std::string NameLine(const X509_NAME* name) {
  std::string line;
  bool ascii = true;
  for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
    unsigned char* converted = nullptr;
    const int length = ASN1_STRING_to_UTF8(&converted, X509_NAME_ENTRY_get_data(entry));
    if (length < 0) return LibraryOneLine(name);  // a value that has no UTF-8 form
    const OpenSslTextPtr owner(reinterpret_cast<char*>(converted));
    const std::string value(owner.get(), static_cast<std::size_t>(length));
    ascii = ascii && std::all_of(value.begin(), value.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    line += "/" + FieldName(X509_NAME_ENTRY_get_object(entry)) + "=" + Escaped(value);
  }
  return ascii ? LibraryOneLine(name) : line;
}
