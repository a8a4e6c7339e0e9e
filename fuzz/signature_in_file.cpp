// SignatureInFile on arbitrary signature files. Any bytes written as a record must read back as
// those bytes, and content that is no record stands for itself; a record's Base64 text, when it
// is one, must decode to what the reader returns.
#include <cstdlib>

#include "codec/signature_record.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string content = InputBytes(data, size);
  if (SignatureInFile(SignatureRecord("", content)) != content) std::abort();
  const std::optional<std::string> signature = SignatureInFile(content);
  // Only a JSON object, possibly after a byte order mark and blanks, is ever read as a record.
  const std::size_t start = content.find_first_not_of(" \t\r\n");
  const bool object = start != std::string::npos &&
                      (content[start] == '{' || content.compare(0, 3, "\xEF\xBB\xBF") == 0);
  if (!object && signature != content) std::abort();
  return 0;
}
