// talvik's settings from its environment and from the system: the SIMD target and the thread
// count.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <hwy/targets.h>
#include <sched.h>

#include <cstdlib>
#include <map>

#include "driver/engines.h"
#include "formats/errors.h"
#include "parallel/cpu_budget.h"
#include "shells/distance_kernels.h"
#include "test_support.h"

namespace talvik {
namespace {

using ::testing::HasSubstr;

// Sets an environment variable for the life of the object.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string fatal_message(const std::function<void()>& f) {
    try {
        f();
    } catch (const formats::FatalError& error) {
        EXPECT_EQ(error.status(), 1);
        return error.what();
    }
    ADD_FAILURE() << "no fatal error";
    return {};
}

TEST(SimdSetting, NamesAnyTargetTheProcessorRunsAndRefusesTheOthers) {
    const std::vector<const distance::KernelSet*>& sets = distance::compiled_kernel_sets();
    for (const distance::KernelSet* set : sets) {
        if (distance::runs_here(*set)) {
            const ScopedVariable simd("TALVIK_SIMD", set->name);
            EXPECT_EQ(engine_settings_from_environment().kernels, set);
        }
    }
    {
        const ScopedVariable simd("TALVIK_SIMD", "");
        EXPECT_EQ(engine_settings_from_environment().kernels, nullptr);  // the best
    }
    {
        const ScopedVariable simd("TALVIK_SIMD", "AVX2");
        EXPECT_THAT(fatal_message([] { engine_settings_from_environment(); }),
                    ::testing::StartsWith("TALVIK_SIMD='AVX2' names no SIMD target; talvik "
                                          "knows "));
    }
    // A processor with none but the plain target, as Highway's tests make one.
    if (sets.size() > 1) {
        hwy::SetSupportedTargetsForTest(sets.back()->target);
        const ScopedVariable simd("TALVIK_SIMD", sets.front()->name);
        EXPECT_EQ(fatal_message([] { engine_settings_from_environment(); }),
                  "TALVIK_SIMD='" + std::string(sets.front()->name) +
                      "': this processor cannot run that SIMD target; it runs scalar.\n");
        hwy::SetSupportedTargetsForTest(0);
    }
}

TEST(SimdSetting, TalvikRefusesABadTargetBeforeReadingAnything) {
    const testing::ProcessResult r = testing::run_process(
        TALVIK_EXECUTABLE, {"/d", "no-such-balls", "/b", ".", "/e", "1"}, {"TALVIK_SIMD=avx1024"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, ::testing::StartsWith("talvik: TALVIK_SIMD='avx1024' names no SIMD "
                                             "target; talvik knows "));
    EXPECT_THAT(r.err, HasSubstr("scalar.\n"));
}

TEST(ThreadSetting, DefaultsToTheCpusOfTheAffinityMask) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof(all), &all), 0);
    int first = 0;
    while (!CPU_ISSET(first, &all)) {
        ++first;
    }
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
    const unsigned cpus = usable_cpus();
    const ScopedVariable unset("TALVIK_THREADS", nullptr);
    const unsigned threads = engine_settings_from_environment().threads;
    ASSERT_EQ(sched_setaffinity(0, sizeof(all), &all), 0);
    EXPECT_EQ(cpus, 1u);
    EXPECT_EQ(threads, 1u);
    const ScopedVariable three("TALVIK_THREADS", "3");
    EXPECT_EQ(engine_settings_from_environment().threads, 3u);
}

TEST(ThreadSetting, CgroupQuotasOfTheGroupAndItsAncestorsLimitTheCpus) {
    EXPECT_EQ(cpus_of_quota(250000, 100000), 3u);
    EXPECT_EQ(cpus_of_quota(50000, 100000), 1u);
    EXPECT_EQ(cpus_of_quota(-1, 100000), std::nullopt);
    EXPECT_EQ(cpus_of_quota(100000, 0), std::nullopt);

    std::map<std::string, std::string> files;
    const ReadText read = [&](const std::string& path) -> std::optional<std::string> {
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt : std::optional(it->second);
    };
    // cgroup v2, mounted where mountinfo escapes a blank: the group itself has no quota, its
    // parent 1.5 CPUs.
    const std::string v2_mounts =
        "29 1 0:25 / /sys rw - sysfs sysfs rw\n"
        "30 29 0:26 / /sys/fs/cgroup\\040v2 rw,nosuid shared:9 - cgroup2 cgroup2 rw\n";
    files["/sys/fs/cgroup v2/jobs/job 7/cpu.max"] = "max 100000\n";
    files["/sys/fs/cgroup v2/jobs/cpu.max"] = "150000 100000\n";
    EXPECT_EQ(cgroup_cpu_limit("0::/jobs/job 7\n", v2_mounts, read), 2u);
    EXPECT_EQ(cgroup_cpu_limit("0::/\n", v2_mounts, read), std::nullopt);
    // cgroup v1 inside a container: the mount's root is the container's group.
    files["/sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us"] = "50000\n";
    files["/sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us"] = "100000\n";
    const std::string v1_mounts =
        "40 31 0:37 /docker/abc /sys/fs/cgroup/cpu,cpuacct ro,nosuid - cgroup cgroup "
        "rw,cpu,cpuacct\n"
        "41 31 0:38 /docker/abc /sys/fs/cgroup/memory ro - cgroup cgroup rw,memory\n";
    EXPECT_EQ(cgroup_cpu_limit("5:memory:/docker/abc\n4:cpu,cpuacct:/docker/abc\n0::/\n", v1_mounts,
                               read),
              1u);
    // No quota anywhere, or no cpu controller: no limit.
    files["/sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us"] = "-1\n";
    EXPECT_EQ(cgroup_cpu_limit("4:cpu,cpuacct:/docker/abc\n", v1_mounts, read), std::nullopt);
    EXPECT_EQ(cgroup_cpu_limit("5:memory:/docker/abc\n", v1_mounts, read), std::nullopt);
}

}  // namespace
}  // namespace talvik
