// view_export.hpp - what the page downloads: the figure of a view, byte
// for byte what its `heatmap` command writes, and regions in drawn order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "error.hpp"
#include "figure/figure_options.hpp"
#include "view/view_model.hpp"

namespace binscope {

// The bytes `write` puts in a fresh temporary file (in TMPDIR, or /tmp),
// which is removed afterwards whatever happens.
Result<std::string> bytes_written(const std::function<Status(const std::string& path)>& write);

// The heat map of the whole view in `format`, drawn by the model's figure
// worker as the `heatmap` command draws it.
Result<std::string> export_figure(ViewModel& model, const View& view, FigureFormat format);

// The BED lines (with their header, as --outFileSortedRegions writes
// them) of drawn rows [begin, end) of the view, each with its group label.
Result<std::string> export_regions(const ViewModel& model, const View& view, std::size_t begin, std::size_t end);

}  // namespace binscope
