// view_model.cpp - views computed with the figures' own row ordering and
// colour scales, cached.
#include "view/view_model.hpp"

#include <numeric>

#include "figure/axis.hpp"
#include "figure/figure_data.hpp"
#include "figure/row_order.hpp"

namespace binscope {
namespace {

std::size_t order_bytes(const FigureInput& input) {
    std::size_t bytes = (input.row_order.size() + input.group_boundaries.size()) * sizeof(std::size_t);
    for (const auto& label : input.group_labels) bytes += label.size() + sizeof(std::string);
    return bytes + 1024;
}

// The releases of a k-means slot when the computation is done, however
// it ends.
class SlotHolder {
public:
    explicit SlotHolder(std::counting_semaphore<>& slots) : slots_(slots) { slots_.acquire(); }
    SlotHolder(const SlotHolder&) = delete;
    SlotHolder& operator=(const SlotHolder&) = delete;
    ~SlotHolder() { slots_.release(); }

private:
    std::counting_semaphore<>& slots_;
};

}  // namespace

ViewModel::ViewModel(MatrixFile file, std::string matrix_path, std::size_t threads)
    : file_(std::move(file)), matrix_path_(std::move(matrix_path)), threads_(threads) {
    file_order_.values = std::span<const float>(file_.matrix.values.data(), file_.matrix.values.size());
    file_order_.cols = file_.matrix.cols;
    file_order_.row_order.resize(file_.matrix.rows());
    std::iota(file_order_.row_order.begin(), file_order_.row_order.end(), std::size_t{0});
    file_order_.group_boundaries = {0, file_.matrix.rows()};
    file_order_.group_labels = {""};
    file_order_.sample_boundaries = file_.header.sample_boundaries;
    file_order_.sample_labels = file_.header.sample_labels;
}

Status ViewModel::start_export_worker() {
    auto worker = ExportWorker::start(file_);
    if (!worker) return fail(std::move(worker).error());
    exports_.emplace(std::move(*worker));
    return {};
}

Result<FigureInput> ViewModel::compute_order(const RowOrderSettings& settings) {
    std::optional<SlotHolder> slot;
    if (settings.kmeans > 0) slot.emplace(kmeans_slots_);
    auto order = order_rows(file_.matrix, file_.header.sample_boundaries, settings, threads_);
    if (!order) return fail(std::move(order).error());
    const FigureStyle style;
    return make_figure_input(file_, std::move(*order), style, axis_ticks(file_.header, style));
}

Result<View> ViewModel::view(const ViewDescription& description) {
    if (auto ok = check_view(description, rows(), samples()); !ok) return fail(std::move(ok).error());
    View view;
    view.description = description;
    auto input = orders_.get(
        description.order_key(), [&] { return compute_order(description.order); }, order_bytes);
    if (!input) return fail(std::move(input).error());
    view.input = std::move(*input);
    auto limits = limits_.get(
        description.limits_key(), [&] { return color_limits(file_order_, description.color, threads_); },
        [](const std::vector<ColorLimits>& l) { return l.size() * sizeof(ColorLimits) + 256; });
    if (!limits) return fail(std::move(limits).error());
    view.limits = std::move(*limits);
    auto map = find_color_map(description.color.color_map, description.color.reverse);
    if (!map) return fail(std::move(map).error());
    view.map = *map;
    auto missing = parse_color(description.color.missing_color);
    if (!missing) return fail(std::move(missing).error());
    view.missing = *missing;
    return view;
}

Result<std::shared_ptr<const std::string>> ViewModel::tile(const std::string& key,
                                                           const std::function<Result<std::string>()>& render) {
    return tiles_.get(key, render, [](const std::string& bytes) { return bytes.size() + 256; });
}

Result<std::shared_ptr<const std::string>> ViewModel::profile(const std::string& key,
                                                              const std::function<Result<std::string>()>& compute) {
    return tiles_.get("profile|" + key, compute, [](const std::string& json) { return json.size() + 256; });
}

}  // namespace binscope
