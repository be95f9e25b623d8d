// A stand-in for the estimator in the runner's tests. Each argument is one step, done in order:
//   out:TEXT    writes TEXT to standard output (\n, \b and \\ are escapes) and flushes
//   err:TEXT    the same on standard error
//   bytes:N     writes N bytes of numbered lines in one write
//   prompted:N  the same, behind the console's pause prompt, still in one write
//   flood       writes numbered lines without pause until killed
//   sleep:MS    sleeps MS milliseconds
//   stdin       reads standard input to its end, then writes "stdin ended\n"
//   args        writes every argument after this one in brackets, one a line
//   cwd         writes the working directory and a line feed
//   env:NAME    writes the value of the environment variable NAME and a line feed
//   touch:PATH  creates the file PATH
//   exit:N      ends with status N
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "numbered_lines.h"

namespace {

std::string unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 'n' ? '\n' : c == 'b' ? '\b' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

void write_all(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0) {
            std::exit(2);
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view step = argv[i];
        const size_t colon = step.find(':');
        const std::string_view name = step.substr(0, colon);
        const std::string value(colon == std::string_view::npos ? "" : step.substr(colon + 1));
        if (name == "out" || name == "err") {
            write_all(name == "out" ? 1 : 2, unescape(value));
        } else if (name == "bytes") {
            write_all(1, numbered_lines(std::stoul(value)));
        } else if (name == "prompted") {
            write_all(1, "Press any key to continue . . ." + numbered_lines(std::stoul(value)));
        } else if (name == "flood") {
            for (size_t line = 0;; ++line) {
                write_all(1, "flood " + std::to_string(line) + "\n");
            }
        } else if (name == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(value)));
        } else if (name == "stdin") {
            char buffer[256];
            while (::read(0, buffer, sizeof buffer) > 0) {
            }
            write_all(1, "stdin ended\n");
        } else if (name == "args") {
            for (int j = i + 1; j < argc; ++j) {
                write_all(1, std::string("[") + argv[j] + "]\n");
            }
            return 0;
        } else if (name == "cwd") {
            write_all(1, std::filesystem::current_path().string() + "\n");
        } else if (name == "env") {
            const char* v = std::getenv(value.c_str());
            write_all(1, std::string(v ? v : "(unset)") + "\n");
        } else if (name == "touch") {
            std::fclose(std::fopen(value.c_str(), "w"));
        } else if (name == "exit") {
            return std::stoi(value);
        }
    }
    return 0;
}
