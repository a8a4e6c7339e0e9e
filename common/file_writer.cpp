#include "common/file_writer.h"

#include <random>

#include "platform/platform.h"

namespace {

// Short and of fixed length whatever the destination's name, which may be
// near the system's limit already; recognisable, should one ever be left.
std::string TemporaryName() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string name = ".cspTRIL-XXXXXX.tmp";
  for (char& letter : name) {
    if (letter == 'X') letter = kLetters[random() % (sizeof kLetters - 1)];
  }
  return name;
}

}  // namespace

PreparedFile::~PreparedFile() {
  if (!temporary_.empty()) RemoveFile(temporary_);
}

WriteOutcome PreparedFile::Prepare(const std::string& path, const std::string& bytes, Access access,
                                   Mode mode) {
  path_ = path;
  const bool keyMaterial = access == Access::OwnerOnly;
  if (!MayReplace(path, keyMaterial)) return WriteOutcome::Refused;
  // A name that is taken already (a left-over, or one planted there) is
  // never opened: another name is drawn.
  std::string temporary;
  OsFile file = kNoFile;
  for (int attempt = 0; attempt < 8 && file == kNoFile; ++attempt) {
    temporary = PathBeside(path, TemporaryName());
    file = CreateNewFile(temporary, keyMaterial);
  }
  if (file == kNoFile) return WriteOutcome::Refused;
  temporary_ = temporary;
  const bool written = WriteAllTo(file, bytes, mode == Mode::Text);
  return FlushAndClose(file) && written ? WriteOutcome::Written : WriteOutcome::FailedAfterCreating;
}

bool PreparedFile::MoveIntoPlace() {
  if (!MoveOver(temporary_, path_)) return false;
  temporary_.clear();
  return true;
}

WriteOutcome WriteFileWhole(const std::string& path, const std::string& bytes, Access access,
                            Mode mode) {
  PreparedFile file;
  const WriteOutcome prepared = file.Prepare(path, bytes, access, mode);
  if (prepared != WriteOutcome::Written) return prepared;
  return file.MoveIntoPlace() ? WriteOutcome::Written : WriteOutcome::FailedAfterCreating;
}

const PreparedFile* MovePairIntoPlace(PreparedFile& first, PreparedFile& second) {
  // The first destination's earlier file, under a second name until the
  // second move has succeeded.
  const std::string kept = PathBeside(first.path(), TemporaryName());
  const bool keeping = LinkFile(first.path(), kept);
  const bool held = keeping || KindOfPath(first.path()) != FileKind::Missing;
  if (!first.MoveIntoPlace()) {
    if (keeping) RemoveFile(kept);
    return &first;
  }
  if (second.MoveIntoPlace()) {
    if (keeping) RemoveFile(kept);
    return nullptr;
  }
  // Best effort: an earlier first file that could not be given a second name
  // is lost already, and the new one at least stays.
  if (keeping) {
    MoveOver(kept, first.path());
  } else if (!held) {
    RemoveFile(first.path());
  }
  return &second;
}
