// http_serve.cpp - serves score files from 127.0.0.1 for measuring remote
// runs: prints each file's address, serves until standard input closes, then
// prints the requests answered and the body bytes sent.
//
// Usage: http_serve FILE...   (each served as /<file name>)
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "support/http_server.hpp"
#include "support/test_files.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: http_serve FILE...\n");
        return 2;
    }
    binscope::testing::HttpServer server;
    for (int i = 1; i < argc; ++i) {
        std::string name = "/";
        name += std::filesystem::path(argv[i]).filename().string();
        server.serve(name, binscope::testing::read_file(argv[i]));
        std::printf("%s\n", server.url(name).c_str());
    }
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
    }
    std::printf("requests %llu\nbody bytes %llu\n", static_cast<unsigned long long>(server.requests()),
                static_cast<unsigned long long>(server.bytes_sent()));
    return 0;
}
