// view_model.hpp - the matrix a `view` server shows and the views it has
// computed: row orders, colour limits and tiles, each computed once and
// kept within a memory budget.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <semaphore>
#include <string>
#include <vector>

#include "error.hpp"
#include "figure/color_scale.hpp"
#include "figure/colormap.hpp"
#include "figure/figure_input.hpp"
#include "matrix_file/matrix_file.hpp"
#include "view/export_worker.hpp"
#include "view/once_cache.hpp"
#include "view/view_query.hpp"

namespace binscope {

// Bytes the caches may hold: row orders, colour limits, encoded tiles and
// profiles.
inline constexpr std::size_t kOrderCacheBytes = 32u << 20;
inline constexpr std::size_t kLimitCacheBytes = 1u << 20;
inline constexpr std::size_t kTileCacheBytes = 16u << 20;
// k-means runs at once; later ones wait for a slot.
inline constexpr std::ptrdiff_t kConcurrentKmeans = 1;

// One view, ready to draw: the data in its row order, each sample's colour
// limits, the colour map and the missing-value colour.
struct View {
    ViewDescription description;
    std::shared_ptr<const FigureInput> input;
    std::shared_ptr<const std::vector<ColorLimits>> limits;
    ColorMap map;
    Rgb missing;
};

class ViewModel {
public:
    ViewModel(MatrixFile file, std::string matrix_path, std::size_t threads);

    const MatrixFile& file() const { return file_; }
    const std::string& matrix_path() const { return matrix_path_; }
    std::size_t threads() const { return threads_; }
    std::size_t rows() const { return file_.matrix.rows(); }
    std::size_t samples() const { return file_.header.sample_labels.size(); }

    // The view described, checked against the matrix; its order and limits
    // computed by the first request that needs them.
    Result<View> view(const ViewDescription& description);

    // Forks the figure worker (see ExportWorker); call before any thread
    // starts.
    Status start_export_worker();
    ExportWorker* export_worker() { return exports_ ? &*exports_ : nullptr; }

    // An encoded tile by its key, computed by `render` once.
    Result<std::shared_ptr<const std::string>> tile(const std::string& key,
                                                    const std::function<Result<std::string>()>& render);
    // A window's profiles as JSON by their key, computed by `compute` once
    // and kept with the tiles (so that a window seen before, all rows
    // above all, answers at once).
    Result<std::shared_ptr<const std::string>> profile(const std::string& key,
                                                       const std::function<Result<std::string>()>& compute);

private:
    Result<FigureInput> compute_order(const RowOrderSettings& settings);

    MatrixFile file_;
    std::string matrix_path_;
    std::size_t threads_;
    FigureInput file_order_;  // the matrix order, for the colour limits
    OnceCache<FigureInput> orders_{kOrderCacheBytes};
    OnceCache<std::vector<ColorLimits>> limits_{kLimitCacheBytes};
    OnceCache<std::string> tiles_{kTileCacheBytes};
    std::counting_semaphore<> kmeans_slots_{kConcurrentKmeans};
    std::optional<ExportWorker> exports_;
};

}  // namespace binscope
