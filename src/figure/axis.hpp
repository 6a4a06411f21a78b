// axis.hpp - the ticks of the figures' axes: a sample's x axis from the
// matrix header, and evenly spaced round values for value axes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"
#include "matrix_file/matrix_file.hpp"

namespace binscope {

// A length in bases as the axes write it, in kb: 500 -> "0.5kb", -1500 ->
// "-1.5kb", 1000 -> "1kb", 50 -> "0.05kb" (at most three decimals).
std::string kb_label(std::int64_t bases);

// The x-axis ticks of sample `sample`, positions in bins. Reference-point
// form (body 0 or less): the upstream end ("-0.5kb"), the reference point
// (the style's label, else the header's "TSS"/"TES"/"center") and the
// downstream end ("1.5kb"). Scale-regions form: the upstream end, the
// body's start (style.start_label), the unscaled 5' part's end
// ("TSS+0.2kb"), the unscaled 3' part's start ("TES-0.2kb"), the body's
// end (style.end_label) and the downstream end. A flank or unscaled part
// of length 0 adds no tick.
std::vector<AxisTick> sample_ticks(const MatrixHeader& header, std::size_t sample, const FigureStyle& style);

// sample_ticks of every sample of the header.
std::vector<std::vector<AxisTick>> axis_ticks(const MatrixHeader& header, const FigureStyle& style);

// Round values (steps of 1, 2, 2.5 or 5 times a power of ten) from low to
// high, at most `most` of them, labelled with as many decimals as the
// step needs.
std::vector<AxisTick> value_ticks(double low, double high, std::size_t most);

}  // namespace binscope
