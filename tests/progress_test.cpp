// progress_test.cpp - the status line a run draws on a terminal, seen
// through a pseudo-terminal.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

// Runs the executable with standard error on a pseudo-terminal (standard
// output too); returns everything the terminal received and the status.
std::pair<std::string, int> run_on_terminal(const std::vector<std::string>& args) {
    std::vector<std::string> all{BINSCOPE_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) seen.append(buffer, static_cast<std::size_t>(n));
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    return {seen, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(Progress, TerminalShowsALiveStatusLineBesideEveryProgressLine) {
    TempDir dir;
    std::vector<BedGraphItem> items;
    for (std::uint32_t at = 0; at < 1'000'000; at += 50) items.push_back({at, at + 40, static_cast<float>(at % 7)});
    write_bigwig(dir.file("s.bw"), {{"chr1", 1'000'000}}, {bedgraph_section("chr1", items)});
    std::string bed;
    for (int i = 0; i < 2'000; ++i) bed += "chr1\t" + std::to_string(1000 + i * 24) + "\t" + std::to_string(1500 + i * 24) + "\n";
    write_file(dir.file("r.bed"), bed);
    const std::vector<std::string> args{"reference-point", "-S", dir.file("s.bw"), "-R", dir.file("r.bed"), "-o",
                                        dir.file("m.gz"), "--binSize", "1", "-b", "500", "-a", "500"};

    const auto [seen, status] = run_on_terminal(args);
    ASSERT_EQ(status, 0) << seen;
    EXPECT_NE(seen.find("\r[binscope] Computing matrix: "), std::string::npos) << seen;
    EXPECT_NE(seen.find(" regions/s"), std::string::npos) << seen;
    // Every ordinary line is there, each on a line of its own.
    const ProcessResult plain = run_binscope(args);
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err.find('\r'), std::string::npos);
    for (std::size_t from = 0, to; (to = plain.err.find('\n', from)) != std::string::npos; from = to + 1)
        EXPECT_NE(seen.find(plain.err.substr(from, to - from) + "\r\n"), std::string::npos)
            << plain.err.substr(from, to - from);
}

}  // namespace
}  // namespace binscope
