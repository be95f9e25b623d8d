#include "test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace talvik::testing {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "talvik-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code error;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(path_, error);
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

formats::BitVolume random_volume(int32_t w, int32_t h, int32_t s, double fraction, uint64_t seed) {
    formats::BitVolume volume(w, h, s);
    std::mt19937_64 engine(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (int32_t z = 0; z < s; ++z) {
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                if (uniform(engine) < fraction) {
                    volume.set(x, y, z);
                }
            }
        }
    }
    return volume;
}

formats::BitVolume random_blobs(int32_t w, int32_t h, int32_t s, int32_t count, int32_t max_radius,
                                uint64_t seed) {
    formats::BitVolume volume(w, h, s);
    std::mt19937_64 engine(seed);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t r = static_cast<int32_t>(engine() % static_cast<uint64_t>(max_radius + 1));
        const int32_t cx = static_cast<int32_t>(engine() % static_cast<uint64_t>(w));
        const int32_t cy = static_cast<int32_t>(engine() % static_cast<uint64_t>(h));
        const int32_t cz = static_cast<int32_t>(engine() % static_cast<uint64_t>(s));
        for (int32_t z = std::max(0, cz - r); z <= std::min(s - 1, cz + r); ++z) {
            for (int32_t y = std::max(0, cy - r); y <= std::min(h - 1, cy + r); ++y) {
                for (int32_t x = std::max(0, cx - r); x <= std::min(w - 1, cx + r); ++x) {
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz) <= r * r) {
                        volume.set(x, y, z);
                    }
                }
            }
        }
    }
    return volume;
}

namespace {

// Waits for the child and reads the files its output went to.
ProcessResult collect(pid_t pid, const std::string& out_path, const std::string& err_path) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    ProcessResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

// The program and its arguments as the argv of exec.
std::vector<char*> argument_vector(const std::string& program,
                                   const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& extra_environment) {
    // Output goes to temporary files, so a chatty child can never block on a full pipe.
    ScratchDir scratch;
    const std::string out_path = scratch / "stdout";
    const std::string err_path = scratch / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> argv = argument_vector(program, args);
    std::vector<std::string> env_strings;
    for (char** e = environ; *e; ++e) {
        env_strings.emplace_back(*e);
    }
    env_strings.insert(env_strings.end(), extra_environment.begin(), extra_environment.end());
    std::vector<char*> envp;
    for (std::string& e : env_strings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + program);
    }
    return collect(pid, out_path, err_path);
}

namespace {

ProcessResult fork_and_run(const std::string& program, const std::vector<std::string>& args,
                           bool as_nobody, const std::function<void()>& in_child) {
    ScratchDir scratch;
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::all);
    const std::string out_path = scratch / "stdout";
    const std::string err_path = scratch / "stderr";
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        if (as_nobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            std::_Exit(kCannotDropPrivileges);
        }
        const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (in_child) {
            in_child();
        }
        std::vector<char*> argv = argument_vector(program, args);
        ::execv(program.c_str(), argv.data());
        std::_Exit(126);
    }
    return collect(pid, out_path, err_path);
}

}  // namespace

ProcessResult run_process_prepared(const std::string& program, const std::vector<std::string>& args,
                                   const std::function<void()>& in_child) {
    return fork_and_run(program, args, false, in_child);
}

ProcessResult run_process_unprivileged(const std::string& program,
                                       const std::vector<std::string>& args,
                                       const std::function<void()>& in_child) {
    return fork_and_run(program, args, ::geteuid() == 0, in_child);
}

std::string asan_preload_options() {
    const char* given = std::getenv("ASAN_OPTIONS");
    return std::string("ASAN_OPTIONS=") + (given ? given : "") + ":verify_asan_link_order=0";
}

std::string strip_timestamps(const std::string& text) {
    // "HH:MM:SS: " at the start of a line.
    auto is_stamp = [&](size_t at) {
        if (at + 10 > text.size()) {
            return false;
        }
        for (size_t i : {0, 1, 3, 4, 6, 7}) {
            if (!std::isdigit(static_cast<unsigned char>(text[at + i]))) {
                return false;
            }
        }
        return text[at + 2] == ':' && text[at + 5] == ':' && text.compare(at + 8, 2, ": ") == 0;
    };
    std::string result;
    for (size_t at = 0; at < text.size();) {
        if (is_stamp(at)) {
            at += 10;
        }
        const size_t end = text.find('\n', at);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        result.append(text, at, next - at);
        at = next;
    }
    return result;
}

}  // namespace talvik::testing
