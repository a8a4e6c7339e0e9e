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

// The two steps of a write apart, for files that go into place together: the
// new file made whole beside its destination, then moved over it. One that is
// never moved is removed when the object goes.
class PreparedFile {
 public:
  PreparedFile() = default;
  PreparedFile(const PreparedFile&) = delete;
  PreparedFile& operator=(const PreparedFile&) = delete;
  ~PreparedFile();

  // The first step; Written when the new file is whole, flushed and closed.
  WriteOutcome Prepare(const std::string& path, const std::string& bytes, Access access, Mode mode);
  // The second step, after a successful first: false when the move fails,
  // which leaves the destination as it was.
  bool MoveIntoPlace();

  const std::string& path() const { return path_; }

 private:
  std::string path_, temporary_;
};

WriteOutcome WriteFileWhole(const std::string& path, const std::string& bytes, Access access,
                            Mode mode);

// Moves two prepared files into place, both or neither: when the second move
// fails, the first destination gets back what it held (kept meanwhile under a
// second name beside it), or loses the new file when it held nothing. The
// file that could not be moved, or null once both are in place.
const PreparedFile* MovePairIntoPlace(PreparedFile& first, PreparedFile& second);
