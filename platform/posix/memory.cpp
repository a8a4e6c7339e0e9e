#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/platform.h"

namespace {

// A large page is 2 MiB on the common processors: a smaller buffer cannot
// hold one whole, and one of a few pages gains little.
constexpr std::size_t kLargeBuffer = std::size_t{8} << 20;

}  // namespace

void PreferLargePages(void* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
  if (size < kLargeBuffer) return;
  // Advice applies to whole pages: keep to those that lie inside the buffer.
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) return;
  const auto page = static_cast<std::uintptr_t>(pageSize);
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + page - 1) / page * page;
  const std::uintptr_t end = (start + size) / page * page;
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}
