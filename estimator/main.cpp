#include "run.h"

int main(int argc, char** argv) {
    return talvik::talvik_main(argc, argv);
}
