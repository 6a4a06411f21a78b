// make_view_matrix.cpp - writes the `view` tests' matrix for the browser
// test and the benchmark: make_view_matrix PATH ROWS [EXTRA_COLS].
#include <cstdio>
#include <cstdlib>

#include "view/view_test_matrix.hpp"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_view_matrix PATH ROWS [EXTRA_COLS]\n");
        return 2;
    }
    binscope::testing::write_view_test_matrix(argv[1], std::strtoull(argv[2], nullptr, 10),
                                              argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0);
    return 0;
}
