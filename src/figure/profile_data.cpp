// profile_data.cpp - a figure's profile lines computed once, in drawn
// order, and written out as the numbers behind the figure.
#include "figure/profile_data.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

#include "output/output_file.hpp"

namespace binscope {

namespace {

std::string cleaned(std::string text) {
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

}  // namespace

Result<std::vector<DrawnLine>> drawn_lines(const FigureInput& input, const ProfileSettings& settings, bool per_group,
                                           std::size_t threads) {
    const std::size_t samples = input.sample_labels.size(), groups = input.group_labels.size();
    const std::size_t panels = per_group ? groups : samples, lines = per_group ? samples : groups;
    std::vector<DrawnLine> out;
    for (std::size_t p = 0; p < panels; ++p)
        for (std::size_t l = 0; l < lines; ++l) {
            const std::size_t g = per_group ? p : l, s = per_group ? l : p;
            auto line = profile_line(input, input.group_boundaries[g], input.group_boundaries[g + 1],
                                     input.sample_boundaries[s], input.sample_boundaries[s + 1], settings, threads);
            if (!line) return fail(std::move(line).error());
            out.push_back({s, g, std::move(*line)});
        }
    return out;
}

std::vector<std::string> bin_labels(const std::vector<AxisTick>& ticks, std::size_t bins) {
    std::vector<std::string> labels(bins);
    for (const AxisTick& tick : ticks) {
        if (bins == 0 || !(tick.position >= 0)) continue;
        const std::size_t bin = std::min(static_cast<std::size_t>(std::min(tick.position, 1e18)), bins - 1);
        labels[bin] += labels[bin].empty() ? tick.label : "," + tick.label;
    }
    return labels;
}

Status write_profile_data(const std::string& path, const FigureInput& input, const std::vector<DrawnLine>& lines,
                          const ProfileSettings& settings) {
    const auto failed = [&](Error error) { return fail(std::move(error).context(fmt::format("Cannot write the data file {}", path))); };
    auto file = BufferedFile::create(path);
    if (!file) return failed(std::move(file).error());
    std::string text = "sample\tgroup\tbin\tlabel\tvalue\tband\tcount\n";
    const bool band = settings.band != ProfileBand::none;
    for (const DrawnLine& drawn : lines) {
        const std::string sample = cleaned(input.sample_labels[drawn.sample]);
        const std::string group = cleaned(input.group_labels[drawn.group]);
        const auto labels = bin_labels(input.ticks[drawn.sample], drawn.line.center.size());
        for (std::size_t bin = 0; bin < drawn.line.center.size(); ++bin) {
            const bool value = drawn.line.count[bin] > 0;
            text += fmt::format("{}\t{}\t{}\t{}\t", sample, group, bin + 1, cleaned(labels[bin]));
            if (value) text += fmt::format("{}", drawn.line.center[bin]);
            text += '\t';
            if (value && band) text += fmt::format("{}", drawn.line.spread[bin]);
            text += fmt::format("\t{}\n", drawn.line.count[bin]);
            if (text.size() < BufferedFile::kBufferSize) continue;
            if (auto st = file->append(text); !st) return failed(std::move(st).error());
            text.clear();
        }
    }
    if (auto st = file->append(text); !st) return failed(std::move(st).error());
    if (auto st = file->close(); !st) return failed(std::move(st).error());
    return {};
}

}  // namespace binscope
