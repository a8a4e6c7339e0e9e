// Preloaded into the tool (LD_PRELOAD), its file reads fail once 1 MiB has been read, as reads
// from a failing disk do: a short count, EIO, and the stream's error flag set. Folders cannot
// be flushed (EIO), files can; and no name can be moved without replacing (EINVAL, as on file
// systems that have no such rename).
#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

extern "C" std::size_t fread(void* into, std::size_t size, std::size_t count, std::FILE* stream) {
  static const auto real = reinterpret_cast<decltype(&fread)>(dlsym(RTLD_NEXT, "fread"));
  static std::size_t total = 0;  // the reading thread starts after the others' last fread
  if (total >= (1u << 20)) {
    stream->_flags |= _IO_ERR_SEEN;
    errno = EIO;
    return 0;
  }
  const std::size_t read = real(into, size, count, stream);
  total += read * size;
  return read;
}

extern "C" int fsync(int fd) {
  static const auto real = reinterpret_cast<decltype(&fsync)>(dlsym(RTLD_NEXT, "fsync"));
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) return real(fd);
  errno = EIO;
  return -1;
}

extern "C" int renameat2(int, const char*, int, const char*, unsigned) {
  errno = EINVAL;
  return -1;
}
