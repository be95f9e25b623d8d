// talvik with every volume operation done voxel by voxel: the reference for tests and the
// benchmark's baseline.
#include "driver/run.h"
#include "literal_engine.h"

int main(int argc, char** argv) {
    return talvik::talvik_main(argc, argv, talvik::oracle::literal_engines());
}
