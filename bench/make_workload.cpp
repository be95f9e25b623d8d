// Writes benchmark inputs: balls files of digital Euclidean balls and Boolean-model data sets.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "workloads.h"

namespace {

int usage() {
    std::fputs(
        "usage: make_workload balls FILE FIRST_RADIUS LAST_RADIUS\n"
        "       make_workload boolean DIR WIDTH HEIGHT SLICES FRACTION RMIN RMAX SEED\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace talvik;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "balls" && argc == 5) {
        std::ofstream out(argv[2], std::ios::trunc);
        out << format_balls_file(
            workloads::euclidean_balls(std::atoi(argv[3]), std::atoi(argv[4])));
        return out ? 0 : 1;
    }
    if (command == "boolean" && argc == 10) {
        const BitVolume volume = workloads::boolean_model(
            std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atof(argv[6]),
            std::atoi(argv[7]), std::atoi(argv[8]), std::strtoull(argv[9], nullptr, 10));
        workloads::write_data_set(argv[2], volume);
        return 0;
    }
    return usage();
}
