#include "morphology_engine.h"
#include "parallel.h"
#include "run.h"

int main(int argc, char** argv) {
    talvik::WordEngine engine(talvik::default_thread_count());
    return talvik::talvik_main(argc, argv, engine);
}
