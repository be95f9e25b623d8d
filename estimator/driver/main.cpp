#include "driver/engines.h"
#include "driver/run.h"

int main(int argc, char** argv) {
    return talvik::talvik_main(
        argc, argv, talvik::estimator_engines(talvik::engine_settings_from_environment()));
}
