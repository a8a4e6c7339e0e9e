#include <bitset>
#include <climits>

#include "platform/platform.h"

int UsableProcessorCount() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  return static_cast<int>(std::bitset<sizeof(process) * CHAR_BIT>(process).count());
}
