// view_server_test.cpp - the `view` server as a browser meets it, through
// libcurl and raw sockets on 127.0.0.1: refusals, limits, tiles of a known
// pattern, exports against the `heatmap` command, concurrency and stopping.
#include <cairo.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <signal.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "figure/colormap.hpp"
#include "support/test_files.hpp"
#include "view/view_process.hpp"
#include "view/view_query.hpp"
#include "view/view_test_matrix.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;
using nlohmann::json;

constexpr std::size_t kRows = 200;

std::string header(const HttpReply& reply, const std::string& name) {
    const auto found = reply.headers.find(name);
    return found == reply.headers.end() ? "" : found->second;
}

class ViewServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        write_view_test_matrix(matrix(), kRows);
        server_ = new ViewProcess({matrix(), "0", "127.0.0.1", "2"});
        ASSERT_FALSE(server_->token().empty()) << server_->first_line();
    }
    static void TearDownTestSuite() {
        delete server_;
        delete dir_;
    }
    static std::string matrix() { return dir_->file("m.gz"); }
    static std::string cookie() { return "Cookie: binscope_token=" + server_->token(); }
    static HttpReply get(const std::string& path, std::vector<std::string> headers = {}) {
        headers.push_back(cookie());
        HttpClient client;
        return client.get(server_->url(path), headers);
    }

    static TempDir* dir_;
    static ViewProcess* server_;
};
TempDir* ViewServer::dir_ = nullptr;
ViewProcess* ViewServer::server_ = nullptr;

TEST_F(ViewServer, FirstLineIsTheLoopbackAddressWithItsToken) {
    EXPECT_EQ(server_->first_line(), "http://127.0.0.1:" + std::to_string(server_->port()) + "/?token=" + server_->token());
    EXPECT_EQ(server_->token().size(), 43u);
}

TEST_F(ViewServer, EndpointTable) {
    const std::string token = server_->token(), port = std::to_string(server_->port());
    struct Case {
        std::string path;
        std::vector<std::string> headers;  // the cookie is not added: each case says what it sends
        long status;
        std::string body;  // a part of the answer's body
        bool closes;       // the connection is closed after the answer
    };
    const std::string ok_cookie = cookie();
    const std::vector<Case> cases = {
        {"/", {}, 403, "Forbidden: a valid token is needed: open the address binscope view printed", true},
        {"/api/view", {"Cookie: binscope_token=" + token.substr(1)}, 403, "Forbidden: a valid token", true},
        {"/api/view?token=" + token + "x", {}, 403, "Forbidden: a valid token", true},
        {"/nowhere", {}, 403, "Forbidden: a valid token", true},  // the token comes before everything
        {"/?token=" + token, {}, 200, "<title>binscope view</title>", false},
        {"/api/view", {ok_cookie}, 200, "\"rows\":200", false},
        {"/api/view", {ok_cookie, "Host: evil.example"}, 403,
         "Forbidden: the Host header must name 127.0.0.1, localhost or [::1]", true},
        {"/api/view", {ok_cookie, "Host: 127.0.0.1.evil.example:" + port}, 403, "Forbidden: the Host header", true},
        {"/api/view", {ok_cookie, "Host: localhost:9000"}, 200, "\"rows\"", false},
        {"/api/view", {ok_cookie, "Host: [::1]:1"}, 200, "\"rows\"", false},
        {"/api/view", {ok_cookie, "Origin: http://evil.example"}, 403,
         "Forbidden: requests from another site are refused", true},
        {"/api/view", {ok_cookie, "Origin: null"}, 403, "Forbidden: requests from another site", true},
        {"/api/view", {ok_cookie, "Origin: http://127.0.0.1:" + port}, 200, "\"rows\"", false},
        {"/nowhere", {ok_cookie}, 404, "Not found: /nowhere", false},
        {"/view.js", {ok_cookie}, 200, "import {", false},
        {"/api/tile?h=1000000000", {ok_cookie}, 400, "Bad parameter h=\"1000000000\": expected a whole number from 1 to 4096", false},
        {"/api/tile?w=4097", {ok_cookie}, 400, "Bad parameter w=\"4097\": expected a whole number from 1 to 4096", false},
        {"/api/tile?r0=200", {ok_cookie}, 400, "expected a whole number from 0 to 199 (the view has 200 rows)", false},
        {"/api/tile?s=2", {ok_cookie}, 400, "Bad parameter s=\"2\": expected a whole number from 0 to 1", false},
        {"/api/tile?agg=sum", {ok_cookie}, 400, "Bad parameter agg=\"sum\": expected mean or max", false},
        {"/api/view?k=100", {ok_cookie}, 200, "cluster_1", false},
        {"/api/tile?k=101", {ok_cookie}, 400, "Bad parameter k=\"101\": expected a whole number from 0 to 100", false},
        {"/api/hover?h=10&y=10", {ok_cookie}, 400, "Bad parameter y=\"10\": expected a whole number from 0 to 9", false},
        {"/api/export?format=gif", {ok_cookie}, 400, "Bad parameter format=\"gif\": expected png, svg or pdf", false},
        {"/api/regions?group=2", {ok_cookie}, 400, "Bad parameter group=\"2\": expected a whole number from 0 to 1", false},
        {"/api/view?bogus=1", {ok_cookie}, 400, "Bad query: unknown parameter \"bogus\"", false},
        {"/api/view?sort=%ff%fe", {ok_cookie}, 400, "Bad parameter sort=\"??\": expected keep, descend or ascend", false},
    };
    for (const Case& c : cases) {
        HttpClient client;
        const HttpReply reply = client.get(server_->url(c.path), c.headers);
        SCOPED_TRACE(c.path + (c.headers.empty() ? "" : " with " + c.headers.back()));
        EXPECT_EQ(reply.status, c.status);
        EXPECT_NE(reply.body.find(c.body), std::string::npos) << reply.body;
        EXPECT_EQ(header(reply, "content-security-policy").rfind("default-src 'self'", 0), 0u);
        EXPECT_EQ(header(reply, "x-content-type-options"), "nosniff");
        EXPECT_EQ(header(reply, "referrer-policy"), "no-referrer");
        for (const auto& [name, value] : reply.headers) EXPECT_EQ(name.rfind("access-control-", 0), std::string::npos);
        // A second request on the same handle opens a new connection only when the first was closed.
        const HttpReply next = client.get(server_->url("/api/view"), {ok_cookie});
        EXPECT_EQ(next.status, 200);
        EXPECT_EQ(next.new_connections, c.closes ? 1 : 0);
    }
}

TEST_F(ViewServer, TokenIsTradedForAStrictHttpOnlyCookie) {
    HttpClient client;
    const HttpReply page = client.get(server_->url("/?token=" + server_->token()));
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(header(page, "set-cookie"), "binscope_token=" + server_->token() + "; Path=/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(get("/api/view").status, 200);
    EXPECT_EQ(get("/").headers.count("set-cookie"), 0u);  // nothing to trade without the token
}

TEST_F(ViewServer, MalformedOrOversizedRequestsGet400AndTheServerGoesOn) {
    const std::string token = server_->token();
    std::string flood = "GET /api/view?token=" + token + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (int i = 0; i < 5000; ++i) flood += "X-Filler: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"GARBAGE\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"GET / HTTP/9.9\r\n\r\n", "HTTP/1.1 400"},
        {"GET /" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 414"},
        {"GET /?token=" + token + " HTTP/1.1\r\nHost: 127.0.0.1\r\nX: " + std::string(9000, 'a') + "\r\n\r\n",
         "HTTP/1.1 400 Bad Request"},
        {flood + "\r\n", "HTTP/1.1 400 Bad Request"},
        {"POST /api/view?token=" + token + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 40000\r\n\r\n" +
             std::string(40000, 'b'),
         "HTTP/1.1 413"},
    };
    for (const auto& [request, answer] : cases) {
        const std::string reply = raw_exchange(server_->port(), request);
        EXPECT_EQ(reply.rfind(answer, 0), 0u) << request.substr(0, 60) << " got " << reply.substr(0, 200);
        EXPECT_NE(reply.find("Connection: close"), std::string::npos);
        EXPECT_EQ(reply.find("HTTP/1.1", 1), std::string::npos) << "one answer, then the connection closes";
        EXPECT_NE(reply.find("X-Content-Type-Options: nosniff"), std::string::npos);
        EXPECT_EQ(get("/api/view").status, 200);
    }
}

// The pixels of a PNG, as RGB.
struct Image {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

Image decode_png(const std::string& bytes) {
    struct Source {
        const std::string* bytes;
        std::size_t at = 0;
    } source{&bytes};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* data, unsigned int length) {
            auto* s = static_cast<Source*>(closure);
            if (s->at + length > s->bytes->size()) return CAIRO_STATUS_READ_ERROR;
            std::copy_n(s->bytes->data() + s->at, length, data);
            s->at += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &source);
    Image image;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        image.width = cairo_image_surface_get_width(surface);
        image.height = cairo_image_surface_get_height(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                std::uint32_t p = 0;
                std::memcpy(&p, data + y * stride + 4 * x, 4);
                image.pixels.push_back(Rgb{static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                           static_cast<std::uint8_t>(p)});
            }
    }
    cairo_surface_destroy(surface);
    return image;
}

TEST_F(ViewServer, TilesShowTheKnownPatternPerPixelRow) {
    const ColorMap greys = *find_color_map("greys", false);
    const std::string view = "cmap=greys&zmin=0&zmax=200";
    for (const std::string statistic : {"mean", "max"}) {
        const HttpReply reply = get("/api/tile?" + view + "&s=0&r0=0&r1=200&h=50&w=4&agg=" + statistic);
        ASSERT_EQ(reply.status, 200) << reply.body;
        EXPECT_EQ(header(reply, "content-type"), "image/png");
        const Image image = decode_png(reply.body);
        ASSERT_EQ(image.width, 4);
        ASSERT_EQ(image.height, 50);
        // Each pixel row covers 4 rows whose value is their index: mean 4p + 1.5, maximum 4p + 3.
        for (int p = 0; p < 50; ++p) {
            const double value = statistic == "mean" ? 4 * p + 1.5 : 4 * p + 3;
            EXPECT_EQ(image.at(0, p), greys.at(value / 200)) << statistic << " pixel row " << p;
            EXPECT_EQ(image.at(3, p), image.at(0, p));
        }
    }
    // Row 0 has no value in the first bin of sample 2: the missing colour, the others their bin's.
    const Image first = decode_png(get("/api/tile?" + view + "&missing=ff0000&s=1&r0=0&r1=1&h=2&w=4").body);
    ASSERT_EQ(first.width, 4);
    EXPECT_EQ(first.at(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(first.at(0, 1), (Rgb{255, 0, 0}));
    for (int bin = 1; bin < 4; ++bin) EXPECT_EQ(first.at(bin, 0), greys.at(bin / 200.0));
}

TEST_F(ViewServer, PixelRowsNeverMixGroupsAndHoverNamesTheRegion) {
    // Rows 90-109 on 3 pixel rows: 10 rows of each group, never one pixel row for both.
    for (int y = 0; y < 3; ++y) {
        const json cell = json::parse(get("/api/hover?r0=90&r1=110&h=3&w=4&s=0&x=0&y=" + std::to_string(y)).body);
        const std::size_t begin = cell["rowBegin"], end = cell["rowEnd"];
        EXPECT_TRUE(end <= 100 || begin >= 100) << begin << "-" << end;
        EXPECT_DOUBLE_EQ(cell["value"].get<double>(), (begin + end - 1) / 2.0);
    }
    const json cell = json::parse(get("/api/hover?r0=3&r1=4&h=10&w=4&s=1&x=3&y=9").body);
    EXPECT_EQ(cell["rowBegin"], 3);
    EXPECT_EQ(cell["rowEnd"], 4);
    EXPECT_EQ(cell["value"], 3.0);
    EXPECT_EQ(cell["first"]["name"], kScriptName);
    EXPECT_EQ(cell["first"]["chrom"], "chr1");
    EXPECT_EQ(cell["first"]["start"], 3000);
    EXPECT_EQ(cell["first"]["end"], 3500);
    EXPECT_EQ(cell["first"]["strand"], "-");
    EXPECT_EQ(cell["first"]["group"], "first");
    const json found = json::parse(get("/api/find?sort=descend&name=REGION_19").body);
    ASSERT_GE(found["found"].size(), 2u);
    EXPECT_EQ(found["found"][0]["name"], "region_19");  // the partial matches come after it
    EXPECT_EQ(found["found"][0]["row"], 99 - 19);       // sorted descending within its group
}

TEST_F(ViewServer, ExportsEqualTheHeatmapCommandByteForByte) {
    const QueryParams params = {{"sort", "descend"}, {"samples", "1"}, {"k", "2"}, {"seed", "3"},
                                {"cmap", "magma"},   {"zmin", "1"},   {"missing", "ff0000"}};
    std::string query;
    for (const auto& [name, value] : params) query += (query.empty() ? "" : "&") + name + "=" + value;
    auto description = parse_view(*Query::make(params, view_param_names()));
    ASSERT_TRUE(description.has_value());
    const json info = json::parse(get("/api/view?" + query).body);
    EXPECT_EQ(info["command"], "binscope " + shell_line(heatmap_arguments(*description, matrix(), "figure.png")));
    for (const std::string format : {"png", "svg", "pdf"}) {
        const HttpReply reply = get("/api/export?" + query + "&format=" + format);
        ASSERT_EQ(reply.status, 200) << reply.body;
        const std::string out = dir_->file("figure." + format);
        auto args = heatmap_arguments(*description, matrix(), out);
        if (format == "png") args.insert(args.end(), {"--outFileSortedRegions", dir_->file("regions.bed")});
        const ProcessResult run = run_binscope(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(reply.body == read_file(out)) << format;
        EXPECT_EQ(header(reply, "content-disposition"), "attachment; filename=\"binscope_view." + format + "\"");
    }
    const std::string bed = read_file(dir_->file("regions.bed"));
    EXPECT_EQ(get("/api/regions?" + query).body, bed);
    // One group's rows, or a window's: the lines of the whole list that fall in it.
    const auto lines = split(bed, '\n');
    const std::string cluster = info["groups"][1]["label"];
    const std::size_t begin = info["groups"][1]["begin"], end = info["groups"][1]["end"];
    std::string expected = lines[0] + "\n";
    for (std::size_t r = begin; r < end; ++r) expected += lines[r + 1] + "\n";
    EXPECT_EQ(get("/api/regions?" + query + "&group=1").body, expected);
    EXPECT_EQ(get("/api/regions?" + query + "&r0=" + std::to_string(begin) + "&r1=" + std::to_string(end)).body,
              expected);
    EXPECT_NE(expected.find("\t" + cluster + "\n"), std::string::npos);
}

TEST_F(ViewServer, TwoViewsAtOnceGiveWhatEachGivesAlone) {
    const std::vector<std::string> views = {"sort=ascend&cmap=blues", "sort=descend&k=3&seed=5&agg=max"};
    auto tiles = [&](const std::string& view) {
        std::vector<std::string> bodies;
        for (const char* window : {"r0=0&r1=200&h=64", "r0=10&r1=50&h=128", "r0=150&r1=200&h=7"})
            for (const char* sample : {"0", "1"})
                bodies.push_back(get("/api/tile?" + view + "&" + window + "&w=16&s=" + sample).body);
        bodies.push_back(get("/api/profile?" + view.substr(0, view.find("&agg")) + "&r0=5&r1=150").body);
        return bodies;
    };
    std::vector<std::vector<std::string>> together(views.size());
    {
        std::vector<std::jthread> threads;
        for (std::size_t v = 0; v < views.size(); ++v)
            threads.emplace_back([&, v] { together[v] = tiles(views[v]); });
    }
    for (std::size_t v = 0; v < views.size(); ++v) EXPECT_EQ(together[v], tiles(views[v])) << views[v];
    EXPECT_NE(together[0], together[1]);
}

TEST_F(ViewServer, ProfilesAreKeptPerOrderColoursAndWindow) {
    // The lines between groups take the colour map's contrasting colour;
    // a sort changes the rows of a window cutting a group.
    const std::string magma = get("/api/profile?cmap=magma&r0=0&r1=120&h=50").body;
    const std::string greys = get("/api/profile?cmap=greys&r0=0&r1=120&h=50").body;
    EXPECT_NE(json::parse(magma)["groups"][1]["separator"], json::parse(greys)["groups"][1]["separator"]);
    EXPECT_EQ(get("/api/profile?cmap=magma&r0=0&r1=120&h=50").body, magma);
    const json sorted = json::parse(get("/api/profile?cmap=magma&sort=descend&r0=0&r1=120&h=50").body);
    const json kept = json::parse(magma);
    EXPECT_EQ(sorted["samples"][0]["lines"][0], kept["samples"][0]["lines"][0]);  // all of group "first"
    EXPECT_NE(sorted["samples"][0]["lines"][1], kept["samples"][0]["lines"][1]);  // rows 100-119, or the 20 largest
    EXPECT_NE(get("/api/profile?cmap=magma&r0=0&r1=110&h=50").body, magma);
}

TEST_F(ViewServer, ClientLeavingDuringAnExportLeavesTheServerServing) {
    HttpClient client;
    const HttpReply cut = client.get(server_->url("/api/export?format=svg&sort=ascend"), {cookie()}, 64);
    EXPECT_FALSE(cut.error.empty());
    // A client that sends its request and hangs up before any answer.
    for (int i = 0; i < 3; ++i) {
        const int port = server_->port();
        std::thread([port, token = server_->token()] {
            (void)raw_exchange(port, "GET /api/export?format=pdf&k=2&token=" + token + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        }).detach();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(kill(server_->pid(), 0), 0);
    EXPECT_EQ(get("/api/export?format=png").status, 200);
}

TEST(ViewServerStop, SigtermDuringKmeansEndsWithinASecondWithStatusZero) {
    TempDir dir;
    write_view_test_matrix(dir.file("big.gz"), 60000, 60);
    ViewProcess server({dir.file("big.gz"), "0", "127.0.0.1", "1"});
    ASSERT_FALSE(server.token().empty());
    std::thread request([&] {
        HttpClient client;
        (void)client.get(server.url("/api/view?k=100&seed=1&token=" + server.token()));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    const auto status = server.stop(SIGTERM, std::chrono::milliseconds(1500));
    const auto took = std::chrono::steady_clock::now() - start;
    request.join();
    ASSERT_TRUE(status.has_value()) << "the server did not end";
    EXPECT_EQ(*status, 0);
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_EQ(raw_exchange(server.port(), "GET / HTTP/1.1\r\n\r\n"), "");  // nobody listens any more
}

TEST(ViewCommand, ServesTheMatrixWithTheLinkTemplateAndStopsOnSigterm) {
    TempDir dir;
    write_view_test_matrix(dir.file("m.gz"), 10);
    const std::string link = "https://genome.example/?position={chrom}:{start}-{end}";
    ViewProcess server({"view", "-m", dir.file("m.gz"), "-p", "2", "--browserLink", link}, "", BINSCOPE_EXE);
    ASSERT_EQ(server.first_line().rfind("http://127.0.0.1:", 0), 0u) << server.first_line();
    HttpClient client;
    const json info = json::parse(client.get(server.url("/api/view?token=" + server.token())).body);
    EXPECT_EQ(info["browserLink"], link);
    EXPECT_EQ(info["rows"], 10);
    EXPECT_EQ(server.stop(SIGTERM, std::chrono::milliseconds(1500)), 0);
}

TEST(ViewServerStop, SigintWhenIdleEndsWithStatusZeroAndAnotherAddressWarns) {
    TempDir dir;
    write_view_test_matrix(dir.file("m.gz"), 10);
    // 127.0.0.2 is this machine's loopback too, but not the default address.
    ViewProcess server({dir.file("m.gz"), "0", "127.0.0.2", "1"}, dir.file("err.txt"));
    ASSERT_EQ(server.first_line().rfind("http://127.0.0.2:", 0), 0u) << server.first_line();
    EXPECT_EQ(server.stop(SIGINT, std::chrono::milliseconds(1500)), 0);
    EXPECT_EQ(read_file(dir.path() / "err.txt"),
              "Warning: listening on 127.0.0.2: the address with its token crosses the network in clear text; anyone "
              "who sees it can read the matrix. Prefer the default 127.0.0.1 with SSH port forwarding.\n");
}

}  // namespace
}  // namespace binscope
