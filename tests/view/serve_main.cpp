// serve_main.cpp - the `view` server started from its settings record, for
// the tests: serve_main MATRIX [PORT [BIND [THREADS [BROWSER_LINK]]]].
#include <cstdio>
#include <cstdlib>
#include <string>

#include "error.hpp"
#include "view/view_server.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: serve_main MATRIX [PORT [BIND [THREADS [BROWSER_LINK]]]]\n");
        return 2;
    }
    binscope::ViewSettings settings;
    settings.matrix_file = argv[1];
    if (argc > 2) settings.port = static_cast<std::uint16_t>(std::atoi(argv[2]));
    if (argc > 3) settings.bind_address = argv[3];
    if (argc > 4) settings.threads = static_cast<std::size_t>(std::max(1, std::atoi(argv[4])));
    if (argc > 5) settings.browser_link = argv[5];
    if (auto ran = binscope::run_view(settings); !ran) {
        std::fprintf(stderr, "%s", binscope::format_error_report(ran.error()).c_str());
        return 1;
    }
    return 0;
}
