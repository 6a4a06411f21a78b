// view_test_matrix.cpp - writes the `view` tests' matrix file with zlib.
#include "view/view_test_matrix.hpp"

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <zlib.h>

namespace binscope::testing {

void write_view_test_matrix(const std::string& path, std::size_t rows, std::size_t extra_cols) {
    const std::size_t samples = extra_cols > 0 ? 3 : 2;
    nlohmann::json header{{"upstream", std::vector<int>(samples, 20)},
                          {"downstream", std::vector<int>(samples, 20)},
                          {"body", std::vector<int>(samples, 0)},
                          {"bin size", std::vector<int>(samples, 10)},
                          {"ref point", std::vector<std::string>(samples, "TSS")},
                          {"group_labels", {"first", "second"}},
                          {"group_boundaries", {0, rows / 2, rows}},
                          {"sample_labels", extra_cols > 0 ? nlohmann::json{"rows", "bins", "noise"}
                                                           : nlohmann::json{"rows", "bins"}},
                          {"sample_boundaries", extra_cols > 0 ? nlohmann::json{0, 4, 8, 8 + extra_cols}
                                                               : nlohmann::json{0, 4, 8}}};
    gzFile file = gzopen(path.c_str(), "wb1");
    if (!file) throw std::runtime_error("cannot write " + path);
    std::string text = fmt::format("@{}\n", header.dump());
    std::uint64_t noise = 88172645463325252ull;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::string name = r == 3 ? kScriptName : fmt::format("region_{}", r);
        text += fmt::format("chr1\t{}\t{}\t{}\t0\t{}", 1000 * r, 1000 * r + 500, name, r % 2 == 0 ? '+' : '-');
        for (int c = 0; c < 4; ++c) text += fmt::format("\t{}", r);
        for (int c = 0; c < 4; ++c) text += c == 0 && r % 10 == 0 ? std::string("\tnan") : fmt::format("\t{}", c);
        for (std::size_t c = 0; c < extra_cols; ++c) {
            noise ^= noise << 13, noise ^= noise >> 7, noise ^= noise << 17;
            text += fmt::format("\t{}", static_cast<double>(noise % 1000) / 10.0);
        }
        text += '\n';
        if (text.size() > (1u << 20) || r + 1 == rows) {
            gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
            text.clear();
        }
    }
    gzclose(file);
}

}  // namespace binscope::testing
