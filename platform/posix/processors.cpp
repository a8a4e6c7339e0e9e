#include "platform/posix/processors.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/platform.h"

namespace {

std::string FileText(const std::string& path) {
  std::ifstream file(path);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int AffinityCount() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) return CPU_COUNT(&allowed);
  // More processors than the set can name: the machine's count will do.
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 1 ? static_cast<int>(online) : 1;
}

}  // namespace

int ProcessorsWithinQuota(const std::string& cpuMax, int processors) {
  std::istringstream line(cpuMax);
  long long quota = 0, period = 0;
  if (!(line >> quota >> period) || quota <= 0 || period <= 0) return processors;
  return static_cast<int>(std::clamp<long long>(quota / period, 1, processors));
}

int UsableProcessorCount() {
  // A container limited to one processor's time by its cgroup may still see
  // every processor in its affinity mask. The process's cgroup ("0::/PATH")
  // and each one above it may set a quota: the least of them holds.
  int processors = AffinityCount();
  std::istringstream groups(FileText("/proc/self/cgroup"));
  for (std::string entry; std::getline(groups, entry);) {
    if (entry.rfind("0::/", 0) != 0) continue;
    for (std::string group = entry.substr(3); !group.empty(); group.erase(group.rfind('/'))) {
      processors =
          ProcessorsWithinQuota(FileText("/sys/fs/cgroup" + group + "/cpu.max"), processors);
    }
  }
  return processors;
}
