#pragma once

#include <string>

// The CPUs this process may use now: those of its affinity mask, fewer when a cgroup CPU quota
// allows less (a container with "cpus: 1.5" gets 2, one with "cpus: 0.5" gets 1). At least 1.
int AvailableCpus();

// How many threads a scan keeps busy: AvailableCpus(), unless fixed.
int ScanWorkers();

// Fixes the number for the rest of the process, as tests do to run the one-thread and the
// several-thread ways alike; 0 goes back to following the CPUs.
void SetScanWorkers(int count);

// The whole CPUs a cgroup v2 "cpu.max" text ("max 100000", "150000 100000") grants, rounded up;
// 0 when it sets no limit or cannot be read.
int CpusOfQuota(const std::string& cpuMax);
