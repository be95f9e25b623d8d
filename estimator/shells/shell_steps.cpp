#include "shells/shell_counter.h"

namespace talvik {
namespace {

void run(const ShellSteps::Work& work) {
    if (work) {
        work();
    }
}

}  // namespace

void ShellSteps::simd_target(const char* name) const {
    log_("SIMD target: %s\n", name);
}

void ShellSteps::reference(const Work& make_xe, const Work& complement) const {
    log_("generating data set Xe...\n");
    run(make_xe);
    log_("done\n");
    log_("generating data set (Xe)*...\n");
    run(complement);
    log_("done\n");
}

uint64_t ShellSteps::shell(unsigned d, const Work& clear, const Work& dilate, const Work& subtract,
                           const std::function<uint64_t()>& count) const {
    log_("clearing data set ((Xe)*)d\n");
    run(clear);
    log_("done\n");
    log_("generating data set ((Xe)*)d [d = %2u]...\n", d);
    run(dilate);
    log_("done\n");
    log_("generating data set ((Xe)*)d\\(Xe)* [d = %2u]...\n", d);
    run(subtract);
    log_("done\n");
    const uint64_t volume = count();
    log_("volume of ((Xe)*)d\\(Xe)* [d = %2u]: %lu\n", d, static_cast<unsigned long>(volume));
    return volume;
}

}  // namespace talvik
