#include "common/file_writer.h"

#include <random>
#include <vector>

#include "common/report.h"
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

std::string CurrentFolder() {
  std::vector<char> folder(GetCurrentDirectoryA(0, nullptr) + 1);
  const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data());
  return length > 0 && length < folder.size() ? std::string(folder.data(), length) : ".";
}

}  // namespace

bool FolderKeepsKeysPrivate(const std::string& path) {
  const std::string folder = FolderOf(path.c_str());
  if (!FolderOpenToOthers(folder.empty() ? "." : folder)) return true;
  return ReportFailure("Folder can be changed by other users: " +
                       (folder.empty() ? CurrentFolder() : folder));
}

PreparedFile::~PreparedFile() {
  if (!temporary_.empty()) RemoveFile(temporary_);
}

WriteOutcome PreparedFile::Prepare(const std::string& path, const std::string& bytes, Access access,
                                   Mode mode) {
  path_ = path;
  const bool keyMaterial = access == Access::OwnerOnly;
  if (keyMaterial && !FolderKeepsKeysPrivate(path)) return WriteOutcome::FolderRefused;
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

bool PreparedFile::MoveIntoPlace(Place place) {
  if (!(place == Place::Replaced ? MoveOver : MoveToFreeName)(temporary_, path_)) return false;
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

const PreparedFile* MovePairToFreeNames(PreparedFile& first, PreparedFile& second) {
  if (!first.MoveIntoPlace(Place::FreeName)) return &first;
  if (second.MoveIntoPlace(Place::FreeName)) return nullptr;
  // The first name was free: what stands there now is the new file alone.
  RemoveFile(first.path());
  return &second;
}
