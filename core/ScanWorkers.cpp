#include "ScanWorkers.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sched.h>
#include <sstream>

namespace {

std::atomic<int> FixedWorkers{0};

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The smallest quota on the way from the process's cgroup up to the root of the unified
// hierarchy: a parent's limit binds its children too. 0 when none is set.
int CgroupCpus() {
    std::ifstream cgroups("/proc/self/cgroup");
    std::string line;
    int cpus = 0;
    while (std::getline(cgroups, line)) {
        if (line.rfind("0::", 0) != 0)
            continue; // only the unified (v2) hierarchy
        std::string path = line.substr(3);
        for (;;) {
            const int limit = CpusOfQuota(FirstLine("/sys/fs/cgroup" + path + "/cpu.max"));
            if (limit > 0)
                cpus = cpus == 0 ? limit : std::min(cpus, limit);
            if (path.empty() || path == "/")
                break;
            path.erase(path.rfind('/'));
        }
    }
    return cpus;
}

int AffinityCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return std::max(1, CPU_COUNT(&set));
}

} // namespace

int CpusOfQuota(const std::string& cpuMax) {
    std::istringstream fields(cpuMax);
    std::string quota;
    long long period = 0;
    if (!(fields >> quota >> period) || quota == "max" || period <= 0)
        return 0;
    long long amount = 0;
    try {
        size_t used = 0;
        amount = std::stoll(quota, &used);
        if (used != quota.size())
            return 0;
    } catch (const std::exception&) {
        return 0;
    }
    if (amount <= 0)
        return 0;
    return static_cast<int>(std::min<long long>((amount + period - 1) / period, 1 << 16));
}

int AvailableCpus() {
    const int cpus = AffinityCpus();
    const int quota = CgroupCpus();
    return quota > 0 ? std::min(cpus, quota) : cpus;
}

int ScanWorkers() {
    const int fixed = FixedWorkers.load();
    return fixed > 0 ? fixed : AvailableCpus();
}

void SetScanWorkers(int count) {
    FixedWorkers = std::max(0, count);
}
