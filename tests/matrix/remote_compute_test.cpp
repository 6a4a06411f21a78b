// remote_compute_test.cpp - a matrix computed from score files on a web
// server, many requests in flight, equals the one computed from the same
// files on disk at every thread count and every cap.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "bigwig_reader.hpp"
#include "matrix/compute.hpp"
#include "support/bigwig_writer.hpp"
#include "support/http_server.hpp"
#include "support/layout_inputs.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;
using namespace std::chrono_literals;

// A chromosome of 40 Mb scored every 40 bases, in blocks of 64 records.
std::string many_block_file() {
    std::vector<BedGraphItem> items;
    for (std::uint32_t at = 0; at < 40000000; at += 40)
        items.push_back({at, at + 25, static_cast<float>((at * 2654435761u) >> 12)});
    return bigwig_bytes({{"chr1", 40000000}}, {bedgraph_section("chr1", items)}, {.items_per_block = 64});
}

TEST(RemoteScoreFiles, ManyRegionsKeepSeveralRequestsInFlightWithinTheCapAndMatchLocalRows) {
    TempDir dir;
    write_file(dir.path() / "a.bw", many_block_file());
    const std::string local = dir.file("a.bw");
    auto table = open_chrom_table(local);
    ASSERT_TRUE(table);
    RegionSet set{{}, {"genes"}};
    // Regions 600 kb apart (their blocks too far apart for one request), on
    // both strands, the last reaching past the end.
    for (std::int64_t at = 100000; at < 40000000; at += 600000)
        set.regions.push_back(region({{at, at + 3000}}, at % 1200000 == 100000 ? U'+' : U'-'));
    set.regions.push_back(region({{39999000, 39999500}}));
    Params p = reference(RefPoint::TSS, 1000, 2000, 10);

    auto values = [&](const std::string& path, std::size_t threads, std::size_t cap) {
        p.numberOfProcessors = threads;
        p.remoteConnections = cap;
        auto m = build_matrix(set, {Sample{path, "a", *table}}, {path}, p);
        EXPECT_TRUE(m);
        return m ? m->values : MatrixValues{};
    };
    const MatrixValues expected = values(local, 1, 8);
    for (std::size_t threads : {1, 4}) {
        for (std::size_t cap : {1, 8}) {
            SCOPED_TRACE(::testing::Message() << threads << " threads, cap " << cap);
            HttpServer server;
            server.serve("/a.bw", read_file(local));
            server.set_delay(5ms);
            const MatrixValues got = values(server.url("/a.bw"), threads, cap);
            ASSERT_EQ(got.size(), expected.size());
            EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(float)), 0);
            if (cap == 1) {
                EXPECT_EQ(server.most_in_flight(), 1u);
            }
            if (cap == 8) {
                EXPECT_GE(server.most_in_flight(), 4u);
                EXPECT_LE(server.most_in_flight(), 8u);
            }
        }
    }
}

}  // namespace
}  // namespace binscope
