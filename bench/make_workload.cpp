// Writes benchmark inputs: balls files of digital Euclidean balls and Boolean-model data sets.
#include <cstdio>
#include <fstream>
#include <string>

#include "formats/numbers.h"
#include "workloads.h"

namespace {

int usage() {
    std::fputs(
        "usage: make_workload balls FILE FIRST_RADIUS LAST_RADIUS\n"
        "       make_workload thresholds FILE LAST_THRESHOLD\n"
        "       make_workload boolean DIR WIDTH HEIGHT SLICES FRACTION RMIN RMAX SEED\n",
        stderr);
    return 2;
}

int whole(const char* text) {
    return formats::leading_integer(text);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace talvik;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "balls" && argc == 5) {
        std::ofstream out(argv[2], std::ios::trunc);
        out << formats::format_balls_file(
            workloads::euclidean_balls(whole(argv[3]), whole(argv[4])));
        return out ? 0 : 1;
    }
    if (command == "thresholds" && argc == 4) {
        std::ofstream out(argv[2], std::ios::trunc);
        out << formats::format_balls_file(workloads::distinct_euclidean_balls(whole(argv[3])));
        return out ? 0 : 1;
    }
    if (command == "boolean" && argc == 10) {
        double fraction = 0.0;
        int64_t seed = 0;
        if (!formats::parse_number(argv[6], fraction) || !formats::parse_whole(argv[9], seed)) {
            return usage();
        }
        const formats::BitVolume volume =
            workloads::boolean_model(whole(argv[3]), whole(argv[4]), whole(argv[5]), fraction,
                                     whole(argv[7]), whole(argv[8]), static_cast<uint64_t>(seed));
        workloads::write_data_set(argv[2], volume);
        return 0;
    }
    return usage();
}
