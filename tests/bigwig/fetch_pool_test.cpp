// fetch_pool_test.cpp - many range requests in flight through one pool:
// each fault of a server, on one request among many, is tried again and
// no byte is lost, duplicated or changed.
#include <gtest/gtest.h>

#include <chrono>

#include "bigwig/http_source.hpp"
#include "support/http_server.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;
using namespace std::chrono_literals;

TEST(RemoteScoreFiles, AFaultAmongManyRequestsInFlightIsTriedAgainWithoutChangingAByte) {
    std::string bytes(4 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    // Far apart: one request each, all in flight together.
    std::vector<bigwig::ByteRange> ranges;
    for (std::uint64_t at = 200000; at + 5000 < bytes.size(); at += 250000) ranges.push_back({at, 5000});

    const ServerFault faults[] = {ServerFault::none,        ServerFault::short_body, ServerFault::drop,
                                  ServerFault::unavailable, ServerFault::too_many,   ServerFault::stall};
    const bigwig::HttpSettings quick{.stall_timeout = 1s, .first_backoff = 10ms};
    std::uint64_t plain_requests = 0;
    for (ServerFault fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault));
        HttpServer server;
        server.serve("/x.bw", bytes);
        bigwig::RemoteSession session(8, quick);
        auto source = session.open(server.url("/x.bw"));
        ASSERT_TRUE(source);
        // The next request fails; the others answer meanwhile.
        server.set_fault(fault, 1);
        ASSERT_TRUE((*source)->prefetch(ranges));
        for (const auto& r : ranges) {
            std::vector<std::uint8_t> out(r.size);
            ASSERT_TRUE((*source)->read_at(r.offset, out));
            EXPECT_EQ(std::string(out.begin(), out.end()), bytes.substr(r.offset, r.size));
        }
        EXPECT_GE(session.most_in_flight(), 4u);
        // The failed request once more, nothing else again.
        if (fault == ServerFault::none)
            plain_requests = server.requests();
        else
            EXPECT_EQ(server.requests(), plain_requests + 1);
    }
}

}  // namespace
}  // namespace binscope
