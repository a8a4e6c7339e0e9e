#include <sys/types.h>

#include <cstdio>

#include "platform/platform.h"

long long SeekableLength(std::FILE* file) {
  // off_t is 64 bits wide on the systems the tool builds for.
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  const off_t length = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) return -1;  // a failed ftello gave -1 too
  return static_cast<long long>(length);
}
