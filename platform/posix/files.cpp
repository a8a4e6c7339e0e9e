#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"

bool IsDirectoryStream(std::FILE* file) {
  struct stat info {};
  return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

void RestrictToOwner(const std::string& path) {
  // Non-blocking, so that a FIFO without a reader does not hang us here;
  // only regular files get their mode changed (never /dev/null or a device).
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) return;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) fchmod(fd, S_IRUSR | S_IWUSR);
  close(fd);
}

std::string RunningExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof(buffer)) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

void UseShippedOpenSslConfig(const std::string& executablePath) {
  if (std::getenv("OPENSSL_CONF") != nullptr) return;
  const std::size_t slash = executablePath.rfind('/');
  if (slash == std::string::npos) return;
  const std::string folder = executablePath.substr(0, slash + 1);
  const std::string candidates[] = {
      folder + CSPTRIL_CONFIG_NAME,
      folder + "../" CSPTRIL_INSTALLED_CONFIG_DIR "/" CSPTRIL_CONFIG_NAME,
  };
  for (const std::string& candidate : candidates) {
    if (access(candidate.c_str(), R_OK) == 0) {
      setenv("OPENSSL_CONF", candidate.c_str(), 1);
      return;
    }
  }
}
