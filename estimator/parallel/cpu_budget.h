// How many CPUs this process may use: those of its affinity mask (taskset, cpusets), fewer
// where its control group's CPU quota grants less time (containers, batch systems).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace talvik {

// At least 1.
unsigned usable_cpus();

// The CPUs that a quota of `quota` microseconds of CPU time per `period` grants, rounded up;
// nothing for no quota (a quota below 0, "max" in cgroup v2) or a period that is not positive.
std::optional<unsigned> cpus_of_quota(int64_t quota, int64_t period);

// Reads a file's whole text, or nothing when it cannot.
using ReadText = std::function<std::optional<std::string>(const std::string& path)>;

// The CPUs that the quotas of the process's control group and of its ancestors grant (the
// smallest), from the texts of /proc/self/cgroup and /proc/self/mountinfo: cgroup v2's cpu.max,
// or v1's cpu.cfs_quota_us and cpu.cfs_period_us. Nothing where no quota is set.
std::optional<unsigned> cgroup_cpu_limit(std::string_view self_cgroup, std::string_view mountinfo,
                                         const ReadText& read);

}  // namespace talvik
