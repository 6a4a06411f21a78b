// http_test.cpp - the executable reading its score files from a web server
// on 127.0.0.1 writes what it writes for the same files on disk, whatever
// the number of requests in flight.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/http_server.hpp"
#include "support/matrix_reads_back.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

TEST(RemoteScoreFiles, OutputsMatchLocalRunsAtOneAndFourThreadsAndCapsOfOneAndEight) {
    const std::vector<std::string> names = {"ext_many_blocks", "ext_nochr", "ext_variablestep", "ext_fixedstep"};
    HttpServer server;
    TempDir dir;
    std::vector<std::string> local, remote;
    std::string bed;
    for (const std::string& name : names) {
        const auto path = test_data("bigwig/" + name + ".bw");
        local.push_back(path.string());
        remote.push_back(server.url("/data/" + name + ".bw?version=2#top"));
        server.serve("/data/" + name + ".bw", read_file(path));
        // The fixtures' query intervals, where the files hold data.
        for (const std::string& line : split(read_file(test_data("bigwig/" + name + ".tsv")), '\n')) {
            const auto fields = split(line, '\t');
            const long long start = std::max(std::stoll(fields[1]), 0LL), end = std::stoll(fields[2]);
            if (end > start) bed += fields[0] + "\t" + std::to_string(start) + "\t" + std::to_string(end) + "\n";
        }
    }
    write_file(dir.path() / "r.bed", bed);

    auto run = [&](const std::vector<std::string>& scores, const std::vector<std::string>& mode, const char* threads) {
        std::vector<std::string> args = mode;
        args.push_back("-S");
        args.insert(args.end(), scores.begin(), scores.end());
        args.insert(args.end(), {"-R", dir.file("r.bed"), "-o", dir.file("m.gz"), "--outFileNameMatrix",
                                 dir.file("v.txt"), "--outFileSortedRegions", dir.file("s.bed"), "-p", threads});
        const ProcessResult r = run_binscope(args);
        if (r.status == 0) expect_matrix_reads_back(dir.file("m.gz"));
        return std::vector<std::string>{std::to_string(r.status), r.err, read_gzip_file(dir.file("m.gz")),
                                        read_file(dir.file("v.txt")), read_file(dir.file("s.bed"))};
    };
    const std::vector<std::vector<std::string>> modes = {
        {"reference-point", "-b", "300", "-a", "700", "--binSize", "10"},
        {"scale-regions", "-m", "500", "-b", "100", "-a", "100", "--binSize", "20", "--averageTypeBins", "max",
         "--sortRegions", "descend"},
    };
    for (const auto& mode : modes) {
        for (const char* threads : {"1", "4"}) {
            const auto expected = run(local, mode, threads);
            ASSERT_EQ(expected[0], "0") << expected[1];
            for (const char* cap : {"1", "8"}) {
                SCOPED_TRACE(mode.front() + " -p " + threads + " --remoteConnections " + cap);
                std::vector<std::string> capped = mode;
                capped.insert(capped.end(), {"--remoteConnections", cap});
                EXPECT_EQ(run(remote, capped, threads), expected);
            }
        }
    }
}

}  // namespace
}  // namespace binscope
