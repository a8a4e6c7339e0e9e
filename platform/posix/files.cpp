#include <fcntl.h>
#include <stdio.h>  // renameat2, RENAME_NOREPLACE
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"

namespace {

bool SameNode(const struct stat& first, const struct stat& second) {
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// A character device that is read to its end: the null device, or the
// terminal (or whatever else) the process has as its standard input, which
// /dev/stdin and /dev/fd/0 name too.
bool IsStreamDevice(const struct stat& info) {
  struct stat other {};
  return (stat("/dev/null", &other) == 0 && info.st_rdev == other.st_rdev) ||
         (fstat(STDIN_FILENO, &other) == 0 && SameNode(info, other));
}

}  // namespace

FileKind KindOfPath(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return FileKind::Missing;
  if (S_ISREG(info.st_mode)) return FileKind::Regular;
  if (S_ISDIR(info.st_mode)) return FileKind::Directory;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FileKind::Stream;
  if (S_ISCHR(info.st_mode) && IsStreamDevice(info)) return FileKind::Stream;
  return FileKind::Device;
}

bool SameFile(const std::string& first, const std::string& second) {
  struct stat one {
  }, two{};
  return stat(first.c_str(), &one) == 0 && S_ISREG(one.st_mode) &&
         stat(second.c_str(), &two) == 0 && SameNode(one, two);
}

bool MayReplace(const std::string& path, bool keyMaterial) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (S_ISLNK(info.st_mode)) return true;
  // As opening it for writing would judge it; a key is never put where
  // another user could have a say in its file.
  return S_ISREG(info.st_mode) && faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 &&
         (!keyMaterial || info.st_uid == geteuid());
}

std::string PathBeside(const std::string& path, const std::string& name) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash == 0 ? 1 : slash);
}

bool FolderOpenToOthers(const std::string& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  // Its owner may rename or remove any file in it, sticky bit or not.
  if (info.st_uid != geteuid() && info.st_uid != 0) return true;
  // The sticky bit keeps a file's name to the file's owner (as in /tmp).
  if ((info.st_mode & S_ISVTX) != 0) return false;
  return (info.st_mode & S_IWOTH) != 0 ||
         ((info.st_mode & S_IWGRP) != 0 && info.st_gid != getegid());
}

OsFile CreateNewFile(const std::string& path, bool keyMaterial) {
  // The mode is the file's from its creation; the umask can only narrow it.
  const mode_t mode = keyMaterial ? 0600 : 0666;
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
}

bool WriteAllTo(OsFile file, const std::string& bytes, bool /*textMode: lines end in LF*/) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t written = write(static_cast<int>(file), bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

bool FlushAndClose(OsFile file) {
  const bool flushed = fsync(static_cast<int>(file)) == 0;
  return close(static_cast<int>(file)) == 0 && flushed;
}

namespace {

// The new name reaches the disk only with its folder. A folder the user may
// write but not read cannot be opened, and some file systems cannot flush one
// at all: the rename is then all they offer, and it is done.
void FlushFolderOf(const std::string& path) {
  const int folder = open(PathBeside(path, ".").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  fsync(folder);
  close(folder);
}

}  // namespace

bool MoveOver(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  FlushFolderOf(to);
  return true;
}

bool MoveToFreeName(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    // A file system that knows no such rename: a second name, which is never
    // given over an existing one, then the first name goes.
    if (errno != EINVAL || link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
  }
  FlushFolderOf(to);
  return true;
}

bool NameTaken(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }
