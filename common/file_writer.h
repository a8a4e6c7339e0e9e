// The one way the tool writes a file: all or nothing. The bytes go into a new
// file beside the destination, created exclusively (never through a link,
// owner-only from its first byte when they are key material), flushed to the
// disk and then moved over the destination in one step. A failure leaves the
// destination as it was and no temporary file behind. Key material goes only
// into a folder that no other user can change, and a folder refused for that
// is the one failure the writer tells itself (FolderKeepsKeysPrivate); every
// other is left to its callers, each in its own words.
#pragma once

#include <string>

enum class Access { Ordinary, OwnerOnly };  // OwnerOnly: private keys, PKCS#12 files
enum class Mode { Binary, Text };           // Text: lines end as the system's text files end them

enum class Place { Replaced, FreeName };  // FreeName: nothing found there is ever replaced

enum class WriteOutcome {
  Refused,              // the destination may not be replaced, or nothing could be created
  FolderRefused,        // key material for a folder others can change: told already
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
  bool MoveIntoPlace(Place place = Place::Replaced);

  const std::string& path() const { return path_; }

 private:
  std::string path_, temporary_;
};

// Whether key material may go to `path`: not where another user could swap
// the new file for one of theirs, before or after its move into place, and so
// hand the user a key pair they know. False when such a user can, after
// "Folder can be changed by other users: " and the folder (as the path names
// it, else the absolute current folder) on standard error.
bool FolderKeepsKeysPrivate(const std::string& path);

WriteOutcome WriteFileWhole(const std::string& path, const std::string& bytes, Access access,
                            Mode mode);

// Moves two prepared files to names that must be free (a key pair: no key is
// ever replaced), both or neither: when the second move fails, the first file
// is removed again. The file that could not be moved, or null once both are
// in place.
const PreparedFile* MovePairToFreeNames(PreparedFile& first, PreparedFile& second);
