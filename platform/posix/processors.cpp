#include <sched.h>
#include <unistd.h>

#include "platform/platform.h"

int UsableProcessorCount() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) return CPU_COUNT(&allowed);
  // More processors than the set can name: the machine's count will do.
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 1 ? static_cast<int>(online) : 1;
}
