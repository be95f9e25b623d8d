#include "parallel.h"
#include "reference_shell.h"
#include "run.h"
#include "word_engine.h"

int main(int argc, char** argv) {
    const unsigned threads = talvik::default_thread_count();
    talvik::WordEngine engine(threads, talvik::distance_path_enabled());
    return talvik::talvik_main(argc, argv,
                               {engine, talvik::standard_reference_shell_count(threads)});
}
