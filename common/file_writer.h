// The one way the tool writes a file: all or nothing. The bytes go into a new
// file beside the destination, created exclusively (never through a link,
// owner-only from its first byte when they are key material), flushed to the
// disk and then moved over the destination in one step. A failure leaves the
// destination as it was and no temporary file behind. Prints nothing: each
// caller reports in its own words.
#pragma once

#include <string>

enum class Access { Ordinary, OwnerOnly };  // OwnerOnly: private keys, PKCS#12 files
enum class Mode { Binary, Text };           // Text: lines end as the system's text files end them

enum class WriteOutcome {
  Refused,              // the destination may not be replaced, or nothing could be created
  FailedAfterCreating,  // a write, the flush, the close or the move failed
  Written,
};

WriteOutcome WriteFileWhole(const std::string& path, const std::string& bytes, Access access,
                            Mode mode);
