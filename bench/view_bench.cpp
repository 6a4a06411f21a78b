// view_bench.cpp - the `view` server driven as its page drives it, on
// matrix files: the first view (matrix read, first tiles and profiles)
// against `gzip -dc` of the file, zoom and pan steps, a new sort, k-means
// 5 against `heatmap --kmeans 5`, and the server's peak memory after a
// burst of concurrent requests over many views.
//
// Usage: view_bench --exe PATH --matrix NAME=FILE [--matrix ...] [--threads N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>
#include <zlib.h>

#include "harness/process_run.hpp"
#include "view/view_process.hpp"

using namespace binscope::bench;
using namespace binscope::testing;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kHeight = 600, kWidth = 200;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

long status_kib(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
    return 0;
}

struct Shape {
    std::size_t rows = 0, samples = 0, cols = 0;
};

// Rows and samples from /api/view (its JSON read by hand: two numbers).
Shape shape_of(const std::string& json) {
    Shape shape;
    const auto rows = json.find("\"rows\":");
    shape.rows = std::strtoull(json.c_str() + rows + 7, nullptr, 10);
    for (std::size_t at = 0; (at = json.find("\"bins\":", at)) != std::string::npos; at += 7) {
        ++shape.samples;
        shape.cols += std::strtoull(json.c_str() + at + 7, nullptr, 10);
    }
    return shape;
}

// One step of the page: the tiles of every sample and the profile of a window.
double page_step(const ViewProcess& server, const std::string& view, std::size_t samples, std::size_t r0,
                 std::size_t r1) {
    const auto start = Clock::now();
    std::vector<std::thread> requests;
    const std::string window = "r0=" + std::to_string(r0) + "&r1=" + std::to_string(r1) + "&h=" + std::to_string(kHeight);
    const std::string token = "&token=" + server.token();
    for (std::size_t s = 0; s < samples; ++s)
        requests.emplace_back([&, s] {
            HttpClient client;
            (void)client.get(server.url("/api/tile?" + view + window + "&w=" + std::to_string(kWidth) +
                                        "&s=" + std::to_string(s) + token));
        });
    requests.emplace_back([&] {
        HttpClient client;
        (void)client.get(server.url("/api/profile?" + view + window + token));
    });
    for (auto& r : requests) r.join();
    return since(start);
}

void bench_matrix(const std::string& exe, const std::string& name, const std::string& path, const std::string& threads) {
    const ProcessStats gzip = run_process_or_exit({"/bin/gzip", "-dc", path});
    const auto start = Clock::now();
    ViewProcess server({"view", "-m", path, "-p", threads}, "", exe);
    HttpClient client;
    const std::string token = "token=" + server.token();
    const Shape shape = shape_of(client.get(server.url("/api/view?" + token)).body);
    page_step(server, "", shape.samples, 0, shape.rows);
    const double first_view = since(start);

    std::vector<double> steps;
    std::size_t r0 = 0, r1 = shape.rows;
    for (int i = 0; i < 20; ++i) {  // zoom in by half around a moving centre, then pan by half a window
        const std::size_t span = std::max<std::size_t>(10, (r1 - r0) / 2);
        r0 = std::min(shape.rows - span, r0 + (i % 2 == 0 ? span / 2 : span / 4));
        r1 = r0 + span;
        steps.push_back(page_step(server, "", shape.samples, r0, r1));
    }
    std::sort(steps.begin(), steps.end());

    auto timed_view = [&](const std::string& view) {
        const auto t = Clock::now();
        (void)client.get(server.url("/api/view?" + view + "&" + token));
        page_step(server, view + "&", shape.samples, 0, shape.rows);
        return since(t);
    };
    const double sort = timed_view("sort=descend");
    const double kmeans = timed_view("k=5");
    const ProcessStats heatmap = run_process_or_exit(
        {exe, "heatmap", "-m", path, "-o", "/tmp/view_bench_kmeans.png", "--kmeans", "5", "-p", threads});

    // A burst: 64 requests at once over 8 views and many windows.
    std::vector<std::thread> burst;
    for (int i = 0; i < 64; ++i)
        burst.emplace_back([&, i] {
            HttpClient c;
            const std::string view = i % 8 < 4 ? "sort=ascend&using=" + std::string(i % 2 ? "max" : "min")
                                               : "cmap=magma&zmax=" + std::to_string(i);
            const std::size_t a = (shape.rows / 64) * static_cast<std::size_t>(i);
            (void)c.get(server.url("/api/tile?" + view + "&r0=" + std::to_string(a) + "&r1=" +
                                   std::to_string(std::min(shape.rows, a + shape.rows / 4)) + "&h=600&w=200&" + token));
        });
    for (auto& t : burst) t.join();
    const long peak_kib = status_kib(server.pid(), "VmHWM");
    const double values_mib = static_cast<double>(shape.rows * shape.cols * 4) / (1 << 20);
    const double peak_mib = static_cast<double>(peak_kib) / 1024;
    server.stop(SIGTERM, std::chrono::milliseconds(3000));

    std::printf("%-10s %8zu x %-4zu  first view %6.2f s (gzip -dc %5.2f s, %.2fx; limit 1.5x %s)\n", name.c_str(),
                shape.rows, shape.cols, first_view, gzip.wall_seconds, first_view / gzip.wall_seconds,
                first_view <= 1.5 * gzip.wall_seconds ? "ok" : "OVER");
    std::printf("%-10s zoom/pan step median %5.0f ms, max %5.0f ms (limit 100 ms %s)\n", "", steps[steps.size() / 2] * 1e3,
                steps.back() * 1e3, steps.back() < 0.1 ? "ok" : "OVER");
    std::printf("%-10s new sort %5.2f s (limit 1 s %s); k-means 5 %5.2f s vs heatmap --kmeans 5 %5.2f s (%s)\n", "",
                sort, sort < 1 ? "ok" : "OVER", kmeans, heatmap.wall_seconds,
                kmeans <= heatmap.wall_seconds ? "ok" : "OVER");
    std::printf("%-10s peak memory %6.0f MiB = values %6.0f MiB + %4.0f MiB (limit +150 MiB %s)\n", "", peak_mib,
                values_mib, peak_mib - values_mib, peak_mib - values_mib <= 150 ? "ok" : "OVER");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string exe = "build/binscope", threads = "2";
    std::vector<std::pair<std::string, std::string>> matrices;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], value = argv[i + 1];
        if (a == "--exe") exe = value;
        else if (a == "--threads") threads = value;
        else if (a == "--matrix") matrices.emplace_back(value.substr(0, value.find('=')), value.substr(value.find('=') + 1));
    }
    if (matrices.empty()) {
        std::fprintf(stderr, "usage: view_bench --exe PATH --matrix NAME=FILE [--matrix ...] [--threads N]\n");
        return 2;
    }
    for (const auto& [name, path] : matrices) bench_matrix(exe, name, path, threads);
    return 0;
}
