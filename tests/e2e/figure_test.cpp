// figure_test.cpp - `heatmap` and `profile` through the executable, on
// matrices that `reference-point` and `scale-regions` write: every format,
// the same bytes at every thread count, the sorted regions of the drawn
// clusters, and the refusals with their statuses and texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

namespace fs = std::filesystem;
using namespace binscope::testing;

// Two score files over chr1, two groups of genes (one with a gene on a
// stretch without data), and the matrices of both layouts.
class Figures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        write_bigwig(dir_->path() / "a.bw", {{"chr1", 20000}},
                     {bedgraph_section("chr1", {{0, 4000, 1.0f}, {4000, 6000, 8.0f}, {6000, 12000, 2.0f}})});
        write_bigwig(dir_->path() / "b.bw", {{"chr1", 20000}},
                     {bedgraph_section("chr1", {{0, 9000, 0.5f}, {9000, 9500, 6.0f}})});
        write_file(dir_->path() / "genes.bed",
                   "#up\nchr1\t4500\t5500\tg1\t0\t+\nchr1\t3000\t4200\tg2\t0\t-\nchr1\t7000\t8000\tg3\t0\t+\n"
                   "#down\nchr1\t9200\t9800\tg4\t0\t+\nchr1\t15000\t16000\tg5\t0\t-\nchr1\t1000\t2000\tg6\t0\t+\n");
        const std::vector<std::string> inputs{"-S", file("a.bw"), file("b.bw"), "-R", file("genes.bed"), "-q"};
        auto with = [&](std::vector<std::string> args) {
            args.insert(args.begin() + 1, inputs.begin(), inputs.end());
            return run_binscope(args);
        };
        ASSERT_EQ(with({"reference-point", "-o", file("rp.gz"), "-b", "1000", "-a", "1000", "--binSize", "50"}).status, 0);
        ASSERT_EQ(with({"scale-regions", "-o", file("sr.gz"), "-b", "500", "-a", "500", "-m", "1000", "--binSize",
                        "50", "--unscaled5prime", "100"})
                      .status,
                  0);
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::string file(const std::string& name) { return dir_->file(name); }

    static TempDir* dir_;
};

TempDir* Figures::dir_ = nullptr;

// The first bytes of each format.
std::string magic(const std::string& path) { return read_file(path).substr(0, 4); }

TEST_F(Figures, EveryFormatOfBothLayouts) {
    const std::pair<const char*, std::string> formats[] = {{"png", "\x89PNG"}, {"SVG", "<?xm"}, {"Pdf", "%PDF"}};
    for (const char* matrix : {"rp.gz", "sr.gz"})
        for (const char* command : {"heatmap", "profile"})
            for (const auto& [extension, start] : formats) {
                const std::string out = file(std::string(command) + "_" + matrix + "." + extension);
                const ProcessResult r = run_binscope({command, "-m", file(matrix), "-o", out});
                SCOPED_TRACE(out);
                EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(0, "", ""));
                EXPECT_EQ(magic(out), start);
            }
}

// The same figure and sorted regions at every thread count and on every
// run, with k-means; the file's labels are the drawn clusters'.
TEST_F(Figures, SameBytesAtEveryThreadCount) {
    std::vector<std::string> outputs;
    for (const char* threads : {"1", "4", "1"}) {
        for (const char* extension : {"png", "svg", "pdf"}) {
            const std::string figure = file(std::string("k.") + extension);
            const ProcessResult r =
                run_binscope({"heatmap", "-m", file("rp.gz"), "-o", figure, "--kmeans", "2", "-p", threads,
                              "--sortRegions", "descend", "--outFileSortedRegions", file("k.bed")});
            ASSERT_EQ(r.status, 0) << r.err;
            outputs.push_back(read_file(figure) + read_file(file("k.bed")));
        }
        const ProcessResult p = run_binscope({"profile", "-m", file("sr.gz"), "-o", file("p.png"), "--kmeans", "3",
                                              "--band", "se", "-p", threads});
        ASSERT_EQ(p.status, 0) << p.err;
        outputs.push_back(read_file(file("p.png")));
        const ProcessResult h = run_binscope({"profile", "-m", file("rp.gz"), "-o", file("h.png"), "--hclust", "3",
                                              "--clusterOn", "clipped", "--outFileNameData", file("h.tsv"),
                                              "--outFileSortedRegions", file("h.bed"), "-p", threads});
        ASSERT_EQ(h.status, 0) << h.err;
        outputs.push_back(read_file(file("h.png")) + read_file(file("h.tsv")) + read_file(file("h.bed")));
        const ProcessResult g = run_binscope({"heatmap", "-m", file("rp.gz"), "-o", file("g.svg"), "--kmeans", "2",
                                              "--perGroup", "--numPlotsPerRow", "1", "--plotType", "heatmap",
                                              "--outFileNameData", file("g.tsv"), "-p", threads});
        ASSERT_EQ(g.status, 0) << g.err;
        outputs.push_back(read_file(file("g.svg")) + read_file(file("g.tsv")));
    }
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(outputs[i], outputs[i + 6]) << i;
        EXPECT_EQ(outputs[i], outputs[i + 12]) << i;
    }
    const std::vector<std::string> lines = split(read_file(file("k.bed")), '\n');
    ASSERT_EQ(lines.size(), 7u);
    std::vector<std::string> labels;
    for (std::size_t i = 1; i < lines.size(); ++i) labels.push_back(split(lines[i], '\t').at(12));
    EXPECT_TRUE(std::is_sorted(labels.begin(), labels.end()));
    EXPECT_EQ(labels.front(), "cluster_1");
    EXPECT_EQ(labels.back(), "cluster_2");
}

// Samples and groups chosen from a matrix draw the figure, and write the
// table and regions, of the matrix computed with only those, in that order.
TEST_F(Figures, ASelectionIsTheMatrixOfTheChosenOnly) {
    write_file(dir_->path() / "down.bed",
               "#down\nchr1\t9200\t9800\tg4\t0\t+\nchr1\t15000\t16000\tg5\t0\t-\nchr1\t1000\t2000\tg6\t0\t+\n");
    ASSERT_EQ(run_binscope({"reference-point", "-S", file("b.bw"), file("a.bw"), "-R", file("down.bed"), "-q", "-o",
                            file("chosen.gz"), "-b", "1000", "-a", "1000", "--binSize", "50"})
                  .status,
              0);
    std::vector<std::string> outputs;
    const std::vector<std::vector<std::string>> commands{
        {"heatmap", "--zMax", "2", "7"}, {"profile"}, {"heatmap", "--perGroup", "--zMax", "2", "7"}};
    for (const std::vector<std::string>& input :
         {std::vector<std::string>{"-m", file("rp.gz"), "--samples", "b", "1", "--groups", "down"},
          std::vector<std::string>{"-m", file("chosen.gz")}})
        for (const std::vector<std::string>& command : commands) {
            std::vector<std::string> args{"-o", file("s.png"), "--outFileNameData", file("s.tsv"),
                                          "--outFileSortedRegions", file("s.bed")};
            args.insert(args.begin(), command.begin(), command.end());
            args.insert(args.end(), input.begin(), input.end());
            const ProcessResult r = run_binscope(args);
            ASSERT_EQ(r.status, 0) << r.err;
            outputs.push_back(read_file(file("s.png")) + read_file(file("s.tsv")) + read_file(file("s.bed")));
        }
    for (std::size_t i = 0; i < commands.size(); ++i) EXPECT_EQ(outputs[i], outputs[i + commands.size()]) << i;
    EXPECT_TRUE(read_file(file("s.tsv")).starts_with("sample\tgroup\tbin\tlabel\tvalue\tband\tcount\nb\tdown\t1\t-1kb\t"));
}

// Refusals: usage errors with 2 before any file is read, the rest with 1
// and one report; no figure is written.
TEST_F(Figures, Refusals) {
    const std::string out = file("refused.png");
    auto heatmap = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{"heatmap", "-m", file("rp.gz"), "-o", out};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_binscope(args);
    };
    const std::tuple<ProcessResult, int, std::string> cases[] = {
        {run_binscope({"heatmap", "-m", file("rp.gz"), "-o", file("f.jpg")}), 2,
         "error: invalid value '" + file("f.jpg") +
             "' for '--outFileName <OUT_FILE_NAME>': the extension must be .png, .svg or .pdf (any case)\n"},
        {run_binscope({"profile", "-m", file("absent.gz"), "-o", out}), 1, file("absent.gz")},
        {heatmap({"--kmeans", "7"}), 1,
         "Error: Invalid --kmeans: 7\n\nCaused by:\n    k-means cannot make 7 clusters of 6 rows\n"},
        {heatmap({"--sortUsingSamples", "3"}), 1,
         "Error: Invalid --sortUsingSamples: 3 (the matrix has 2 samples)\n"},
        {heatmap({"--samplesLabel", "one"}), 1, "Error: Invalid --samplesLabel: 1 label for 2 samples\n"},
        {heatmap({"--groupLabels", "x", "y", "z"}), 1, "Error: Invalid --groupLabels: 3 labels for 2 groups\n"},
        {heatmap({"--samples", "a", "c"}), 1,
         "Error: Invalid --samples: \"c\" is neither a sample label nor a number from 1 to 2\n"},
        {heatmap({"--groups", "up", "UP"}), 1,
         "Error: Invalid --groups: \"UP\" is neither a group label nor a number from 1 to 2\n"},
        {heatmap({"--hclust", "2", "--kmeans", "2"}), 1,
         "Error: Invalid --hclust: --kmeans is given too (cluster by one of them)\n"},
        {heatmap({"--plotType", "heatmap", "--band", "se"}), 1,
         "Error: Invalid --band: a profile drawn as a heat map has no band (use --plotType lines or fill)\n"},
        {heatmap({"--perGroup", "--samples", "1", "--colors", "red", "blue"}), 1,  // a line per sample
         "Error: Invalid --colors: 2 colours for 1 line (give one per line)\n"},
        {heatmap({"--zMin", "0", "1", "2"}), 1,
         "Error: Invalid --zMin: 3 values for 2 samples (give one for every sample, or one per sample)\n"},
    };
    for (const auto& [result, status, err] : cases) {
        SCOPED_TRACE(err);
        EXPECT_EQ(std::tie(result.status, result.out), std::tuple(status, ""));
        if (status == 2) EXPECT_TRUE(result.err.starts_with(err)) << result.err;
        else if (err.starts_with("Error: ")) EXPECT_EQ(result.err, err);
        else EXPECT_TRUE(result.err.starts_with("Error: ") && result.err.find(err) != std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace binscope
