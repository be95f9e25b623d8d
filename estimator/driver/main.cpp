#include <cstdio>

#include "driver/command_line.h"
#include "driver/engines.h"
#include "driver/run.h"
#include "formats/errors.h"

int main(int argc, char** argv) {
    talvik::EngineSettings settings;
    try {
        settings = talvik::engine_settings_from_environment();
    } catch (const formats::FatalError& error) {
        // A setting that cannot be honoured ends the run before anything is read.
        const std::string program =
            talvik::parse_command_line({argv, argv + (argc > 0 ? 1 : 0)}).settings.program_name;
        std::fprintf(stderr, "%s: %s", program.c_str(), error.what());
        return error.status();
    }
    return talvik::talvik_main(argc, argv, talvik::estimator_engines(settings));
}
