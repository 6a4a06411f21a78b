// kmeans_bounds.hpp - bounds on each row's distances to the k-means
// centres, carried from round to round, that tell when a row certainly
// keeps its centre without comparing it with any.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace binscope {

// One lower bound per row and centre is kept for at most this many centres
// and bounds (4 bytes each); otherwise one per row for all other centres.
inline constexpr std::size_t kKmeansLowerBounds = std::size_t{1} << 20;
inline constexpr std::size_t kKmeansBoundedCentres = 64;

// Per row, an upper bound on its distance to its own centre and lower
// bounds on its distances to the other ones (one per centre, or one for
// all); per centre, how far it moved in the last round and its distances
// to the others. When the moves, added to the bounds by the triangle
// inequality, still leave the own centre nearer than any other, the row's
// cluster stands.
//
// The squared distances the rounds compare are sums of rounded terms, so
// the bounds are widened by a relative margin far beyond any rounding of
// those sums: a row is said to stay only when every computed distance
// would choose its centre just as a full comparison does (ties included,
// which are never said to stay). The clusters are therefore exactly those
// of comparing every row with every centre.
class KmeansBounds {
public:
    KmeansBounds(std::size_t rows, std::size_t dims, std::size_t k);

    // Row r's bounds from its squared distances to every centre,
    // distances[c * stride], of which `best` is its centre.
    void reset(std::size_t r, std::size_t best, const double* distances, std::size_t stride);

    // The centres (k x dims, row-major) moved from `before` to `after`.
    void centres_moved(std::span<const double> before, std::span<const double> after);

    // Whether row r, whose centre is c, certainly stays with it after the
    // last move; its bounds are brought up to date with that move, so this
    // is asked once per row and round, and only after a move.
    bool stays(std::size_t r, std::size_t c);

private:
    // The squared distance of two points, summed in dimension order.
    double squared_distance(const double* a, const double* b) const;
    bool stays_each(std::size_t r, std::size_t c, double upper);
    bool stays_all(std::size_t r, std::size_t c, double upper);

    std::size_t dims_, k_;
    bool per_centre_;  // a lower bound per row and centre
    double margin_;    // relative, wider than any rounding of a distance
    std::vector<float> upper_, lower_;
    std::vector<double> shift_;
    // The distance between two centres, narrowed: k x k with a bound per
    // centre, else for each centre the least to any other.
    std::vector<double> gap_;
    std::size_t farthest_ = 0;           // the centre that moved most
    double most_ = 0, second_most_ = 0;  // its move and the next largest
};

}  // namespace binscope
