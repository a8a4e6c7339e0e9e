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

WriteOutcome WriteFileWhole(const std::string& path, const std::string& bytes, Access access,
                            Mode mode) {
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
  const bool written = WriteAllTo(file, bytes, mode == Mode::Text);
  if (FlushAndClose(file) && written && MoveOver(temporary, path)) return WriteOutcome::Written;
  RemoveFile(temporary);
  return WriteOutcome::FailedAfterCreating;
}
