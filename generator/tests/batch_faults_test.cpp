// Brisolt --batch under faults: a full file system, a stop signal, a kill at any moment. No
// data set may then be seen half-written; what a run leaves behind is hidden.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "run_preparation.h"
#include "test_support.h"

extern char** environ;

namespace brisolt {
namespace {

namespace fs = std::filesystem;
using talvik::testing::asan_preload_options;
using talvik::testing::read_file;
using talvik::testing::run_process;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;

std::vector<std::string> arguments(const std::string& out, const std::string& count,
                                   const std::string& size) {
    return {"--batch",  "--x",   size,       "--y",        size,    "--z",      "4",
            "--lambda", "0.002", "--radius", "3",          "--law", "Uniform",  "--p1",
            "1",        "--p2",  "3.5",      "--count",    count,   "--prefix", "s",
            "--out",    out,     "--seed",   "1733650000", "--yes"};
}

// The folders of `root` as name -> (file name -> contents); hidden ones under their names. A
// folder inside one stands as "name/" with the names and contents of its files.
using Tree = std::map<std::string, std::map<std::string, std::string>>;

Tree folders_of(const fs::path& root) {
    Tree tree;
    for (const auto& folder : fs::directory_iterator(root)) {
        auto& files = tree[folder.path().filename().string()];
        for (const auto& file : fs::directory_iterator(folder.path())) {
            const std::string name = file.path().filename().string();
            if (!file.is_directory()) {
                files[name] = read_file(file.path());
                continue;
            }
            std::map<std::string, std::string> inner;
            for (const auto& entry : fs::directory_iterator(file.path())) {
                inner[entry.path().filename().string()] = read_file(entry.path());
            }
            for (const auto& [inner_name, contents] : inner) {
                files[name + "/"] += inner_name + "=" + contents + "\n";
            }
        }
    }
    return tree;
}

bool hidden(const std::string& name) {
    return name.starts_with(".");
}

// Brisolt --batch under ptrace, stopped before chosen system calls, so that a fault can be
// placed at an exact point of the run on any machine, however loaded.
class TracedBrisolt {
  public:
    // Starts the program, with `ignored` ignored (as nohup does) when it is not 0; false when
    // this machine does not let the tests trace a child.
    bool start(const std::vector<std::string>& args, const std::string& err_path, int ignored = 0) {
        std::vector<char*> argv{const_cast<char*>(BRISOLT_EXECUTABLE)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        // A sanitizer build's leak check cannot run in a traced process.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string asan_options =
            "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":detect_leaks=0";
        std::vector<char*> envp;
        for (char** e = environ; *e; ++e) {
            if (!std::string_view(*e).starts_with("ASAN_OPTIONS=")) {
                envp.push_back(*e);
            }
        }
        envp.push_back(const_cast<char*>(asan_options.c_str()));
        envp.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(err, 2);
            if (ignored != 0) {
                ::signal(ignored, SIG_IGN);
            }
            // The tracer is called at the first directory the run makes; before it, the
            // program starts without a stop at each system call.
            sock_filter filter[] = {
                BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
                BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_mkdirat, 2, 0),
                BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kMkdir, 1, 0),
                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRACE),
            };
            const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
            if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0 ||
                ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
                ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
                ::_exit(125);
            }
            ::raise(SIGSTOP);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(126);
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        if (!WIFSTOPPED(status)) {
            return false;
        }
        ::ptrace(
            PTRACE_SETOPTIONS, pid_, nullptr,
            PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACEEXEC | PTRACE_O_TRACESECCOMP | PTRACE_O_EXITKILL);
        return true;
    }

    // Runs on until the entry of the `n`-th system call that changes files or folders
    // (from 1), counted from the first directory the run makes; false when the program ends
    // first. Only such calls change what a kill leaves behind.
    bool stop_before(int n) {
        while (true) {
            // Stops at every system call once the first directory is made.
            const auto request = counting_ ? PTRACE_SYSCALL : PTRACE_CONT;
            if (::ptrace(request, pid_, nullptr, pending_signal_) != 0) {
                return false;
            }
            pending_signal_ = 0;
            if (::waitpid(pid_, &status_, 0) != pid_ || !WIFSTOPPED(status_)) {
                return false;
            }
            const int signal = WSTOPSIG(status_);
            const bool seccomp = status_ >> 8 == (SIGTRAP | (PTRACE_EVENT_SECCOMP << 8));
            if (signal != (SIGTRAP | 0x80) && !seccomp) {
                // A signal for the program is passed on; the stop of exec is not a signal.
                pending_signal_ = signal == SIGTRAP ? 0 : signal;
                continue;
            }
            __ptrace_syscall_info info{};
            ::ptrace(PTRACE_GET_SYSCALL_INFO, pid_, sizeof info, &info);
            // The first directory is met at its seccomp stop, every later call at its entry.
            const bool counted =
                counting_ ? info.op == PTRACE_SYSCALL_INFO_ENTRY && changes_files(info.entry.nr)
                          : seccomp;
            counting_ = counting_ || seccomp;
            if (counted && ++calls_ == n) {
                return true;
            }
        }
    }

    void send(int signal) { ::kill(pid_, signal); }

    // Lets the program run to its end (a killed one fails to continue); the wait status.
    int finish() {
        while (true) {
            ::ptrace(PTRACE_CONT, pid_, nullptr, pending_signal_);
            pending_signal_ = 0;
            if (::waitpid(pid_, &status_, 0) != pid_ || !WIFSTOPPED(status_)) {
                return status_;
            }
            pending_signal_ = WSTOPSIG(status_) == SIGTRAP ? 0 : WSTOPSIG(status_);
        }
    }

  private:
#ifdef SYS_mkdir
    static constexpr unsigned kMkdir = SYS_mkdir;
#else
    static constexpr unsigned kMkdir = SYS_mkdirat;
#endif

    static bool changes_files(uint64_t call) {
        static const std::set<uint64_t> calls = {
            SYS_mkdirat, SYS_openat,   SYS_write,    SYS_renameat2,
            SYS_linkat,  SYS_unlinkat, SYS_fchmodat,
#ifdef SYS_mkdir
            SYS_mkdir,   SYS_open,     SYS_rename,   SYS_renameat,
            SYS_link,    SYS_unlink,   SYS_rmdir,    SYS_chmod,
#endif
        };
        return calls.contains(call);
    }

    pid_t pid_ = -1;
    int status_ = 0;
    int pending_signal_ = 0;
    bool counting_ = false;
    int calls_ = 0;
};

class BatchFaults : public ::testing::Test {
  protected:
    // The output folder as an earlier, deeper run with notes beside it left it: s001 exists
    // with 9 slices, so that the run replaces a folder as well as making new ones. With
    // `folder_in_s002`, s002 exists too and holds a folder of the user's, which the run must
    // neither take along nor leave in a hidden folder: it stops there.
    void make_earlier_state(const fs::path& out, bool folder_in_s002 = false) {
        fs::create_directories(out / "s001");
        for (int z = 0; z < 9; ++z) {
            write_file(out / ("s001/sslice00" + std::to_string(z) + ".pbm"), "old slice");
        }
        write_file(out / "s001/model.txt", "old model");
        write_file(out / "s001/notes.txt", "the user's notes");
        if (folder_in_s002) {
            fs::create_directories(out / "s002/figures");
            write_file(out / "s002/sslice000.pbm", "old slice");
            write_file(out / "s002/figures/plot.svg", "the user's plot");
        }
    }

    // Every visible folder of `out` is as before the run or as a whole run leaves it, and the
    // front-end's expansion of `out` finds exactly those folders, never a hidden leftover.
    void expect_no_half_written_data_set(const fs::path& out, const Tree& before, const Tree& after,
                                         const std::string& context) {
        std::vector<std::string> expanded;
        quenbar::CollectDataSets(out.string(), expanded);
        std::vector<std::string> visible;
        for (const auto& [name, files] : folders_of(out)) {
            if (hidden(name)) {
                continue;
            }
            visible.push_back((out / name).string());
            const bool as_before = before.contains(name) && before.at(name) == files;
            const bool complete = after.contains(name) && after.at(name) == files;
            EXPECT_TRUE(as_before || complete)
                << context << ": " << name << " holds " << files.size() << " files";
        }
        EXPECT_EQ(expanded, visible) << context;
    }

    ScratchDir dir_;
};

TEST_F(BatchFaults, KilledAtAnyPointLeavesEveryDataSetWholeOrAsItWas) {
    const fs::path reference = dir_ / "reference";
    make_earlier_state(reference, true);
    const Tree before = folders_of(reference);
    const auto whole = run_process(BRISOLT_EXECUTABLE, arguments(reference, "3", "20"));
    ASSERT_EQ(whole.status, 1);
    ASSERT_EQ(whole.err, "Brisolt: Error replacing the data set in " +
                             (reference / "s002").string() +
                             ": it holds the folder 'figures'. Move that folder elsewhere first!\n"
                             "Brisolt: 2 of 3 data sets written into " +
                             reference.string() + ".\n");
    const Tree after = folders_of(reference);
    ASSERT_EQ(after.size(), 3u);
    ASSERT_EQ(after.at("s001").size(), 4u + 2u);  // this run's slices, model.txt, the notes
    ASSERT_EQ(after.at("s002"), before.at("s002"));

    // A kill before every system call of the run, from the first folder it makes to its end.
    int calls = 0;
    for (int n = 1; calls == 0; ++n) {
        const fs::path out = dir_ / ("killed" + std::to_string(n));
        make_earlier_state(out, true);
        TracedBrisolt brisolt;
        if (!brisolt.start(arguments(out, "3", "20"), dir_ / "err.txt")) {
            GTEST_SKIP() << "this machine does not let the tests trace a child process "
                            "(ptrace), which places the kills";
        }
        if (!brisolt.stop_before(n)) {
            // The whole run has fewer calls: n - 1 of them.
            ASSERT_GT(n, 1);
            calls = n - 1;
            brisolt.finish();
            EXPECT_EQ(folders_of(out), after);
            continue;
        }
        brisolt.send(SIGKILL);
        brisolt.finish();
        expect_no_half_written_data_set(out, before, after,
                                        "killed before call " + std::to_string(n));
        fs::remove_all(out);
    }
    // Each slice takes two calls at least: the kills fell all through the run.
    EXPECT_GT(calls, 3 * 4 * 2);
}

// A stop signal ends the run cleanly, and then Brisolt by that signal, so that a shell loop
// that runs it stops too; one ignored when Brisolt starts (nohup) stays ignored.
TEST_F(BatchFaults, StopSignalEndsTheRunCleanlyAndThenTheProgramBySignal) {
    const fs::path reference = dir_ / "reference";
    make_earlier_state(reference);
    const Tree before = folders_of(reference);
    ASSERT_EQ(run_process(BRISOLT_EXECUTABLE, arguments(reference, "3", "20")).status, 0);
    const Tree after = folders_of(reference);
    const struct {
        int signal;
        const char* name;
        int at_call;
    } stops[] = {{SIGINT, "SIGINT", 20}, {SIGTERM, "SIGTERM", 45}, {SIGHUP, "SIGHUP", 1}};
    for (const auto& stop : stops) {
        const fs::path out = dir_ / stop.name;
        make_earlier_state(out);
        TracedBrisolt brisolt;
        if (!brisolt.start(arguments(out, "3", "20"), dir_ / "err.txt")) {
            GTEST_SKIP() << "this machine does not let the tests trace a child process "
                            "(ptrace), which places the signals";
        }
        ASSERT_TRUE(brisolt.stop_before(stop.at_call)) << stop.name;
        brisolt.send(stop.signal);
        const int status = brisolt.finish();
        ASSERT_TRUE(WIFSIGNALED(status)) << stop.name << " status " << status;
        EXPECT_EQ(WTERMSIG(status), stop.signal);
        const Tree now = folders_of(out);
        expect_no_half_written_data_set(out, before, after, stop.name);
        size_t written = 0;
        for (const auto& [name, files] : now) {
            EXPECT_FALSE(hidden(name)) << stop.name << " left " << name;
            written += after.at(name) == files;
        }
        EXPECT_EQ(read_file(dir_ / "err.txt"),
                  std::string("Brisolt: stopped by ") + stop.name + "; " + std::to_string(written) +
                      " of 3 data sets written into " + out.string() + ".\n");
    }

    const fs::path out = dir_ / "nohup";
    make_earlier_state(out);
    TracedBrisolt brisolt;
    ASSERT_TRUE(brisolt.start(arguments(out, "3", "20"), dir_ / "err.txt", SIGHUP));
    ASSERT_TRUE(brisolt.stop_before(20));
    brisolt.send(SIGHUP);
    const int status = brisolt.finish();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(folders_of(out), after);
}

// Two runs that write one data set at the same time in separate process-id namespaces, where
// each may have the process id of the other (containers, two hosts on one shared folder):
// each writes into a folder of its own, and the data set ends as one of them writes it whole.
TEST_F(BatchFaults, TwoRunsWithTheSameProcessIdEndWithOneWholeDataSet) {
    const char* unshare = "/usr/bin/unshare";
    if (run_process(unshare, {"--pid", "--fork", "true"}).status != 0) {
        GTEST_SKIP() << "this machine does not let the tests make a process-id namespace "
                        "(unshare --pid needs root)";
    }
    const auto run = [&](const fs::path& out, const char* seed) {
        std::vector<std::string> args = arguments(out, "1", "32");
        args[std::find(args.begin(), args.end(), "--seed") - args.begin() + 1] = seed;
        args[std::find(args.begin(), args.end(), "--z") - args.begin() + 1] = "150";
        return args;
    };
    std::map<std::string, Tree> whole;
    for (const char* seed : {"11", "22"}) {
        fs::create_directory(dir_ / seed);
        ASSERT_EQ(run_process(BRISOLT_EXECUTABLE, run(dir_ / seed, seed)).status, 0);
        whole[seed] = folders_of(dir_ / seed);
    }
    for (int round = 0; round < 4; ++round) {
        const fs::path shared = dir_ / ("shared" + std::to_string(round));
        fs::create_directory(shared);
        std::vector<pid_t> runs;
        for (const char* seed : {"11", "22"}) {
            std::vector<std::string> args = run(shared, seed);
            args.insert(args.begin(), {"--pid", "--fork", BRISOLT_EXECUTABLE});
            std::vector<char*> argv{const_cast<char*>(unshare)};
            for (std::string& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            const pid_t pid = ::fork();
            if (pid == 0) {
                const int null = ::open("/dev/null", O_RDWR);
                ::dup2(null, 0);
                ::dup2(null, 1);
                ::dup2(null, 2);
                ::execv(unshare, argv.data());
                ::_exit(127);
            }
            runs.push_back(pid);
        }
        for (const pid_t pid : runs) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << round << ": " << status;
        }
        const Tree now = folders_of(shared);
        EXPECT_TRUE(now == whole["11"] || now == whole["22"])
            << "round " << round << ": " << now.size() << " folders, "
            << (now.empty() ? 0 : now.begin()->second.size()) << " files in the first";
    }
}

// On a file system that cannot swap two folders in one step (NFS, most FUSE file systems;
// simulated), a folder is replaced by moving the old one aside first. A kill in that moment
// would leave the user's files in hidden folders only: a folder that holds any is not
// replaced there, and stays as it is.
TEST_F(BatchFaults, WithoutTheSwapOnlyAFolderOfTheGeneratorsOwnFilesIsReplaced) {
    const fs::path reference = dir_ / "reference";
    fs::create_directory(reference);
    ASSERT_EQ(run_process(BRISOLT_EXECUTABLE, arguments(reference, "2", "20")).status, 0);
    const Tree whole = folders_of(reference);

    const fs::path out = dir_ / "out";
    make_earlier_state(out);
    fs::create_directory(out / "s000");
    write_file(out / "s000/sslice007.pbm", "old slice");
    const Tree before = folders_of(out);
    const auto result = run_process(
        BRISOLT_EXECUTABLE, arguments(out, "2", "20"),
        {"NO_EXCHANGE=1", "LD_PRELOAD=" LIMITED_FILE_SYSTEM_LIBRARY, asan_preload_options()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Brisolt: Error replacing the data set in " + (out / "s001").string() +
                              ": it holds the file 'notes.txt', and this file system cannot swap "
                              "two folders in one step. Move that file elsewhere first!\n"
                              "Brisolt: 1 of 2 data sets written into " +
                              out.string() + ".\n");
    EXPECT_EQ(folders_of(out), (Tree{{"s000", whole.at("s000")}, {"s001", before.at("s001")}}));
}

// A small file system of its own fills up in the second data set.
TEST_F(BatchFaults, FullFileSystemIsReportedWithTheFileAndLeavesNoPartialFolder) {
    const fs::path mount_point = dir_ / "small";
    fs::create_directory(mount_point);
    const long page = ::sysconf(_SC_PAGESIZE);
    // A 100 x 100 slice and model.txt take a page each: the first data set (4 slices and the
    // model) fits, the second does not.
    const std::string options = "size=" + std::to_string(8 * page);
    if (::geteuid() != 0 || ::mount("tmpfs", mount_point.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                                    options.c_str()) != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root with CAP_SYS_ADMIN): "
                        "the full file system is not tried";
    }
    struct Unmount {
        fs::path path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mount_point};

    const auto result = run_process(BRISOLT_EXECUTABLE, arguments(mount_point, "3", "100"));
    EXPECT_EQ(result.status, 1);
    const std::string named = "Brisolt: Error writing file '" + (mount_point / "s001/").string();
    EXPECT_TRUE(result.err.starts_with(named)) << result.err;
    EXPECT_TRUE(result.err.ends_with("'!\nBrisolt: 1 of 3 data sets written into " +
                                     mount_point.string() + ".\n"))
        << result.err;
    const Tree left = folders_of(mount_point);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left.begin()->first, "s000");
    EXPECT_EQ(left.begin()->second.size(), 4u + 1u);
}

}  // namespace
}  // namespace brisolt
