// How many processors a run may use on Linux: text work apart from the
// system calls, so that the tests check it without a cgroup of their own.
#pragma once

#include <string>

// The processors left of `processors` under one cgroup v2 cpu.max line
// ("QUOTA PERIOD", in microseconds): the quota's share of a period, rounded
// down, at least 1; all of them when it sets no limit ("max") or cannot be read.
int ProcessorsWithinQuota(const std::string& cpuMax, int processors);
