#include <cstdio>

#include "platform/platform.h"

long long SeekableLength(std::FILE* file) {
  // ftell's long has 32 bits here: the 64-bit forms size files of 2 GiB and more.
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  const long long length = _ftelli64(file);
  if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;  // a failed _ftelli64 gave -1 too
  return length;
}
