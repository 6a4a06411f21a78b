// http_source_test.cpp - score files on a web server: the cause of every
// failure, few requests per query, failed requests tried again or given up
// as missing values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bigwig/http_source.hpp"
#include "bigwig_reader.hpp"
#include "support/bigwig_writer.hpp"
#include "support/http_server.hpp"
#include "support/memory_reader.hpp"
#include "support/reference_row.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;
using namespace std::chrono_literals;

TEST(HttpSource, EveryFailureNamesItsCause) {
    struct Case {
        ServerFault fault;
        std::string scheme = "http";
        bool refused = false;
        std::string cause;  // of the first request, or of the second when the first succeeds
    };
    const Case cases[] = {
        {ServerFault::not_found, "http", false, "server answered with HTTP status 404"},
        {ServerFault::ignore_range, "http", false, "server ignores range requests (HTTP status 200 instead of 206)"},
        {ServerFault::short_body, "http", false, "body shorter than asked: 32768 of 65536 bytes"},
        {ServerFault::stall, "http", false, "timed out waiting for the server"},
        {ServerFault::redirect_loop, "http", false, "too many redirects (more than 5)"},
        {ServerFault::absurd_size, "http", false, "server claims an absurd file size: 4611686018427387904 bytes"},
        {ServerFault::long_body, "http", false, "server sent more than the 65536 bytes asked for"},
        {ServerFault::changing_size, "http", false, "file size changed between requests: 200001 bytes, then 200002"},
        {ServerFault::none, "http", true, "could not connect: Connection refused (os error 111)"},
        {ServerFault::none, "https", false, "TLS failure: SSL connect error"},
    };
    const bigwig::HttpSettings quick{.stall_timeout = 1s, .attempts = 1};
    std::string refused_url;  // where a server has stopped listening
    {
        HttpServer gone;
        refused_url = gone.url("/x.bw");
    }
    for (const Case& c : cases) {
        HttpServer server;
        server.serve("/x.bw", std::string(200000, 'b'));
        server.set_fault(c.fault);
        const std::string url = c.refused ? refused_url : c.scheme + server.url("/x.bw").substr(4);
        SCOPED_TRACE(c.cause);
        auto source = bigwig::open_http_source(url, quick);
        std::vector<std::uint8_t> some(100);
        auto read = source ? (*source)->read_at(150000, some) : Status(fail(std::move(source.error())));
        ASSERT_FALSE(read.has_value());
        EXPECT_EQ(read.error().chain(), std::vector<std::string>{c.cause});
    }

    HttpServer server;
    server.set_fault(ServerFault::not_found);
    const std::string url = server.url("/x.bw");
    auto table = open_chrom_table(url);
    ASSERT_FALSE(table.has_value());
    EXPECT_EQ(table.error().chain(), (std::vector<std::string>{"Opening " + url, "opening bigwig " + url,
                                                               "server answered with HTTP status 404"}));
}

std::vector<float> values(BigWigReader& reader, std::uint32_t start, std::uint32_t end) {
    std::vector<float> out(end - start);
    interval_values(reader, "chr1", 2000000, start, end, out);
    return out;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(HttpSource, ReadsInFewRequestsAndTriesFailedOnesAgain) {
    std::vector<BedGraphItem> items;
    for (std::uint32_t at = 0; at < 2000000; at += 50) items.push_back({at, at + 30, static_cast<float>(at * 2654435761u)});
    const std::string bytes = bigwig_bytes({{"chr1", 2000000}}, {bedgraph_section("chr1", items)},
                                           {.items_per_block = 64, .rtree_fanout = 16});
    ASSERT_GT(bytes.size(), 8 * bigwig::kPageBytes);
    auto local = testing::open_memory(bytes, "local");
    HttpServer server;
    server.serve("/a.bw", bytes);
    auto remote = BigWigReader::open(server.url("/a.bw"));
    ASSERT_TRUE(local && remote);
    EXPECT_EQ(server.requests(), 1u);  // header and chromosome tree

    // The index in one request, then the query's 219 blocks (several
    // pages) in one more; nothing again for the same query.
    EXPECT_TRUE(same_bits(values(*remote, 300000, 1000000), values(*local, 300000, 1000000)));
    EXPECT_EQ(server.requests(), 3u);
    EXPECT_TRUE(same_bits(values(*remote, 300000, 1000000), values(*local, 300000, 1000000)));
    EXPECT_EQ(server.requests(), 3u);

    server.set_fault(ServerFault::short_body, 1);
    EXPECT_TRUE(same_bits(values(*remote, 1200000, 1200100), values(*local, 1200000, 1200100)));
    server.set_fault(ServerFault::not_found);
    EXPECT_TRUE(std::isnan(values(*remote, 1800000, 1800100)[0]));
    server.set_fault(ServerFault::none);
    EXPECT_TRUE(same_bits(values(*remote, 1800000, 1800100), values(*local, 1800000, 1800100)));
}

}  // namespace
}  // namespace binscope
