// make_example.cpp - writes the repository's small example (example.bw and
// genes.bed) into the folder given, by default examples/.
#include <cstdio>
#include <exception>

#include "support/bigwig_writer_example.hpp"

int main(int argc, char** argv) {
    const char* dir = argc > 1 ? argv[1] : "examples";
    try {
        binscope::testing::write_example_files(dir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_example: %s\n", e.what());
        return 1;
    }
    std::printf("wrote %s/example.bw and %s/genes.bed\n", dir, dir);
    return 0;
}
