#include "parallel/cpu_budget.h"

#include <sched.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "formats/files.h"
#include "formats/numbers.h"
#include "formats/text_lines.h"

namespace talvik {
namespace {

std::vector<std::string_view> fields(std::string_view line, char separator) {
    std::vector<std::string_view> result;
    for (size_t start = 0;;) {
        const size_t end = line.find(separator, start);
        result.push_back(line.substr(start, end - start));
        if (end == std::string_view::npos) {
            return result;
        }
        start = end + 1;
    }
}

bool contains(const std::vector<std::string_view>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// mountinfo writes a blank, a tab, a newline and a backslash in a path as octal escapes.
std::string unescape(std::string_view text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string_view digits = text.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                result += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                            (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

struct CgroupMount {
    std::string root;         // the hierarchy's path that is mounted
    std::string mount_point;  // where
};

// The mounts of cgroup v2 (`v1_controller` empty) or of the v1 hierarchy with that controller.
std::vector<CgroupMount> cgroup_mounts(std::string_view mountinfo, std::string_view v1_controller) {
    std::vector<CgroupMount> mounts;
    for (std::string_view line : formats::split_lines(mountinfo)) {
        // id parent major:minor root mount-point options [optional...] - type source super
        const std::vector<std::string_view> f = fields(line, ' ');
        const auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 5 || dash == f.end() || f.end() - dash < 4) {
            continue;
        }
        const std::string_view type = dash[1];
        const bool wanted = v1_controller.empty()
                                ? type == "cgroup2"
                                : type == "cgroup" && contains(fields(dash[3], ','), v1_controller);
        if (wanted) {
            mounts.push_back({unescape(f[3]), unescape(f[4])});
        }
    }
    return mounts;
}

// The directory of the process's control group under a mount, and each ancestor up to the
// mount point, deepest first.
std::vector<std::string> group_directories(const CgroupMount& mount, std::string_view path) {
    std::string_view relative = path;
    if (mount.root != "/") {
        const bool inside = path.starts_with(mount.root) &&
                            (path.size() == mount.root.size() || path[mount.root.size()] == '/');
        // Outside what is mounted, the mount's own group holds the process.
        relative = inside ? path.substr(mount.root.size()) : std::string_view();
    }
    std::vector<std::string> directories;
    for (;;) {
        while (!relative.empty() && relative.back() == '/') {
            relative.remove_suffix(1);
        }
        directories.push_back(mount.mount_point + std::string(relative));
        if (relative.empty()) {
            return directories;
        }
        relative = relative.substr(0, relative.find_last_of('/') + 1);
    }
}

std::optional<int64_t> whole_number(const std::optional<std::string>& text) {
    int64_t value = 0;
    if (!text) {
        return std::nullopt;
    }
    std::string_view trimmed(*text);
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' ')) {
        trimmed.remove_suffix(1);
    }
    return formats::parse_integer(trimmed, value) ? std::optional(value) : std::nullopt;
}

void keep_smaller(std::optional<unsigned>& limit, std::optional<unsigned> other) {
    if (other && (!limit || *other < *limit)) {
        limit = other;
    }
}

// cgroup v2: "max PERIOD" or "QUOTA PERIOD".
std::optional<unsigned> cpus_of_cpu_max(const std::optional<std::string>& text) {
    const std::vector<std::string_view> lines =
        text ? formats::split_lines(*text) : std::vector<std::string_view>{};
    if (lines.empty()) {
        return std::nullopt;
    }
    const std::vector<std::string_view> parts = fields(lines[0], ' ');
    int64_t quota = 0;
    int64_t period = 0;
    if (parts.size() != 2 || !formats::parse_integer(parts[0], quota) ||
        !formats::parse_integer(parts[1], period)) {
        return std::nullopt;  // "max": no quota
    }
    return cpus_of_quota(quota, period);
}

}  // namespace

std::optional<unsigned> cpus_of_quota(int64_t quota, int64_t period) {
    if (quota < 0 || period <= 0) {
        return std::nullopt;
    }
    const int64_t cpus = std::max<int64_t>(1, (quota + period - 1) / period);
    return static_cast<unsigned>(std::min<int64_t>(cpus, 1 << 20));
}

std::optional<unsigned> cgroup_cpu_limit(std::string_view self_cgroup, std::string_view mountinfo,
                                         const ReadText& read) {
    std::optional<unsigned> limit;
    for (std::string_view line : formats::split_lines(self_cgroup)) {
        // hierarchy-id:controllers:path
        const size_t first = line.find(':');
        const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) {
            continue;
        }
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string_view path = line.substr(second + 1);
        const bool v2 = line.substr(0, first) == "0" && controllers.empty();
        if (!v2 && !contains(fields(controllers, ','), "cpu")) {
            continue;
        }
        for (const CgroupMount& mount : cgroup_mounts(mountinfo, v2 ? "" : "cpu")) {
            for (const std::string& directory : group_directories(mount, path)) {
                if (v2) {
                    keep_smaller(limit, cpus_of_cpu_max(read(directory + "/cpu.max")));
                } else if (const std::optional<int64_t> quota =
                               whole_number(read(directory + "/cpu.cfs_quota_us"))) {
                    if (const std::optional<int64_t> period =
                            whole_number(read(directory + "/cpu.cfs_period_us"))) {
                        keep_smaller(limit, cpus_of_quota(*quota, *period));
                    }
                }
            }
        }
    }
    return limit;
}

unsigned usable_cpus() {
    unsigned cpus = std::max(1u, std::thread::hardware_concurrency());
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 0) {
        cpus = static_cast<unsigned>(CPU_COUNT(&set));
    }
    const ReadText read = [](const std::string& path) -> std::optional<std::string> {
        std::vector<uint8_t> bytes;
        if (formats::read_whole_file(path, bytes) != formats::ReadOutcome::ok) {
            return std::nullopt;
        }
        return std::string(bytes.begin(), bytes.end());
    };
    const std::optional<std::string> self_cgroup = read("/proc/self/cgroup");
    const std::optional<std::string> mountinfo = read("/proc/self/mountinfo");
    if (self_cgroup && mountinfo) {
        if (const std::optional<unsigned> limit =
                cgroup_cpu_limit(*self_cgroup, *mountinfo, read)) {
            cpus = std::min(cpus, *limit);
        }
    }
    return std::max(1u, cpus);
}

}  // namespace talvik
