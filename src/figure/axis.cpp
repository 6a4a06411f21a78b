// axis.cpp - axis ticks from the matrix header and round value ticks.
#include "figure/axis.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace binscope {
namespace {

std::int64_t entry(const std::vector<std::int64_t>& values, std::size_t sample) {
    return sample < values.size() ? values[sample] : 0;
}

// Drops the trailing zeros (and point) of a fixed-point number text.
std::string trimmed(std::string text) {
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

}  // namespace

std::string kb_label(std::int64_t bases) {
    return trimmed(fmt::format("{:.3f}", static_cast<double>(bases) / 1000.0)) + "kb";
}

std::vector<AxisTick> sample_ticks(const MatrixHeader& header, std::size_t sample, const FigureStyle& style) {
    const std::int64_t up = entry(header.upstream, sample);
    const std::int64_t down = entry(header.downstream, sample);
    const std::int64_t body = entry(header.body, sample);
    const std::int64_t unscaled5 = body > 0 ? entry(header.unscaled_5_prime, sample) : 0;
    const std::int64_t unscaled3 = body > 0 ? entry(header.unscaled_3_prime, sample) : 0;
    const std::int64_t bin = std::max<std::int64_t>(1, entry(header.bin_size, sample));
    std::vector<AxisTick> ticks;
    std::int64_t at = 0;  // bases from the upstream end
    auto add = [&](std::string label) { ticks.push_back({static_cast<double>(at) / static_cast<double>(bin), std::move(label)}); };
    if (up > 0) add(kb_label(-up));
    at += up;
    if (body <= 0) {
        std::string point = "0";
        if (sample < header.ref_point.size() && header.ref_point[sample]) point = *header.ref_point[sample];
        add(style.ref_point_label.value_or(point));
    } else {
        add(style.start_label);
        if (unscaled5 > 0) at += unscaled5, add(style.start_label + "+" + kb_label(unscaled5));
        at += body;
        if (unscaled3 > 0) add(style.end_label + "-" + kb_label(unscaled3)), at += unscaled3;
        add(style.end_label);
    }
    at += down;
    if (down > 0) add(kb_label(down));
    return ticks;
}

std::vector<std::vector<AxisTick>> axis_ticks(const MatrixHeader& header, const FigureStyle& style) {
    std::vector<std::vector<AxisTick>> all;
    for (std::size_t s = 0; s < header.sample_labels.size(); ++s) all.push_back(sample_ticks(header, s, style));
    return all;
}

std::vector<AxisTick> value_ticks(double low, double high, std::size_t most) {
    if (!(low < high) || !std::isfinite(high - low) || most < 2) return {};
    const double rough = (high - low) / static_cast<double>(most - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10.0 * power;
    for (double factor : {1.0, 2.0, 2.5, 5.0})
        if (factor * power >= rough * (1 - 1e-9)) {
            step = factor * power;
            break;
        }
    int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    if (std::abs(step / std::pow(10.0, -decimals) - std::round(step / std::pow(10.0, -decimals))) > 1e-6) ++decimals;
    std::vector<AxisTick> ticks;
    for (double k = std::ceil(low / step - 1e-9); k * step <= high + step * 1e-9; k += 1.0) {
        const double value = k * step;
        ticks.push_back({value, trimmed(fmt::format("{:.{}f}", value, decimals))});
    }
    return ticks;
}

}  // namespace binscope
