// http_serve.cpp - serves score files from 127.0.0.1 for measuring remote
// runs: prints each file's address, serves until standard input closes, then
// prints the requests answered, the body bytes sent and the most requests
// answered at once.
//
// Usage: http_serve [--delay MS] FILE...   (each served as /<file name>)
//   --delay  wait MS milliseconds before answering every request, as a
//            server that far away does
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "support/http_server.hpp"
#include "support/test_files.hpp"

int main(int argc, char** argv) {
    int first = 1;
    long delay_ms = 0;
    if (argc > 2 && std::string(argv[1]) == "--delay") {
        delay_ms = std::strtol(argv[2], nullptr, 10);
        first = 3;
    }
    if (argc <= first || delay_ms < 0) {
        std::fprintf(stderr, "usage: http_serve [--delay MS] FILE...\n");
        return 2;
    }
    binscope::testing::HttpServer server;
    server.set_delay(std::chrono::milliseconds(delay_ms));
    for (int i = first; i < argc; ++i) {
        std::string name = "/";
        name += std::filesystem::path(argv[i]).filename().string();
        server.serve(name, binscope::testing::read_file(argv[i]));
        std::printf("%s\n", server.url(name).c_str());
    }
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
    }
    std::printf("requests %llu\nbody bytes %llu\nmost in flight %llu\n",
                static_cast<unsigned long long>(server.requests()),
                static_cast<unsigned long long>(server.bytes_sent()),
                static_cast<unsigned long long>(server.most_in_flight()));
    return 0;
}
