// streaming_memory_test.cpp - rbind and subset stream their rows: the
// process's peak memory stays far below what holding the file's values
// would take.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <numeric>

#include "output/matrix.hpp"
#include "output/matrix_text.hpp"
#include "support/test_files.hpp"

extern char** environ;

namespace binscope {
namespace {

using namespace binscope::testing;

constexpr std::size_t kRows = 60000;
constexpr std::size_t kBins = 500;  // per sample; two samples
// Holding the values of the file takes 240 MB, of rbind's output 480 MB.
constexpr long kPeakLimitKb = 150 * 1024;

// A file of kRows rows of two samples, written a batch at a time.
void write_big_matrix(const std::string& path) {
    Params params;
    params.binSize = 1;
    params.beforeRegionStartLength = 0;
    params.afterRegionStartLength = kBins;
    params.quiet = true;
    params.numberOfProcessors = 2;
    const RowGroups groups{{0, kRows / 2, kRows}, {"a", "b"}};
    const StreamedMatrix layout{matrix_header_line(groups, {"s0", "s1"}, params), kRows, 2 * kBins};
    const float cycle[] = {0.0f, 1.5f, 2.25f, std::numeric_limits<float>::quiet_NaN(), 7.0f};
    ASSERT_TRUE(write_matrix_stream(path, layout, 2, true, [&](std::size_t begin, std::size_t end, Matrix& batch) {
        batch.cols = layout.cols;
        batch.values.resize((end - begin) * layout.cols);
        for (std::size_t i = 0; i < batch.values.size(); ++i) batch.values[i] = cycle[(begin + i) % 5];
        for (std::size_t r = begin; r < end; ++r) {
            Region region;
            region.chrom = "chr1";
            region.blocks.push_back({static_cast<std::int64_t>(r) * 100, static_cast<std::int64_t>(r) * 100 + 50});
            region.name = fmt::format("r{}", r);
            batch.region_set.regions.push_back(std::move(region));
            batch.row_regions.push_back(r - begin);
        }
        return Status();
    }));
}

// The exit status and peak resident memory (kB) of the executable's run.
std::pair<int, long> run_measured(std::vector<std::string> args) {
    args.insert(args.begin(), BINSCOPE_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, BINSCOPE_EXE, nullptr, nullptr, argv.data(), environ) != 0) return {-1, 0};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

TEST(StreamingMemory, RbindAndSubsetHoldAFewRowsAtATime) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory and quarantine say nothing of the program's own peak";
#endif
    TempDir dir;
    const std::string big = dir.file("big.gz");
    write_big_matrix(big);
    const std::vector<std::vector<std::string>> operations{
        {"matrix", "rbind", "-m", big, big, "-o", dir.file("rbind.gz"), "-p", "2", "-q"},
        {"matrix", "subset", "-m", big, "--samples", "s1", "--groups", "b", "a", "-o", dir.file("subset.gz"), "-q"},
    };
    for (const auto& op : operations) {
        SCOPED_TRACE(op[1]);
        const auto [status, peak_kb] = run_measured(op);
        EXPECT_EQ(status, 0);
        EXPECT_LT(peak_kb, kPeakLimitKb);
    }
    const std::string text = read_gzip_file(dir.file("subset.gz"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(kRows) + 1);
}

}  // namespace
}  // namespace binscope
