// talvik with every volume operation done voxel by voxel: the reference for tests and the
// benchmark's baseline.
#include "literal_engine.h"
#include "literal_oracle.h"
#include "run.h"

int main(int argc, char** argv) {
    talvik::oracle::LiteralEngine engine;
    return talvik::talvik_main(argc, argv, {engine, [](const talvik::DiscretizedBall& ball) {
                                                return talvik::oracle::reference_shell_count(
                                                    ball, talvik::ReferenceGeometry{});
                                            }});
}
