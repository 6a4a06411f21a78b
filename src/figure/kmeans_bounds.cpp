// kmeans_bounds.cpp - the distance bounds of the k-means rounds, each kept
// on its safe side of every rounding.
//
// Why the margin holds: a squared distance over d dimensions is a sum of d
// terms (x - c)^2, each within 3 units of rounding of its exact value and
// all of one sign, so the computed sum is within (d + 3) units of the
// exact one, relatively; a square root halves that. Every bound below is
// moved outwards by margin_ = 4 (d + 8) units whenever it comes from a
// computed distance, by 4 units after each addition or subtraction, and
// to the next float on its safe side when it is stored, so it bounds the
// exact distance. A row stays when its upper bound, widened by the margin
// once more, is below each lower bound narrowed by it: then its computed
// squared distance to its centre is below the computed one to any other
// centre.
#include "figure/kmeans_bounds.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace binscope {

namespace {

constexpr double kUnit = std::numeric_limits<double>::epsilon();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// x moved up, or down (never below 0), past the rounding of one operation.
double up(double x) { return x * (1 + 4 * kUnit); }
double down(double x) { return x > 0 ? x * (1 - 4 * kUnit) : 0; }

// x as a float no smaller, or no larger (and not below 0).
float float_up(double x) {
    const auto f = static_cast<float>(x);
    return static_cast<double>(f) < x ? std::nextafter(f, std::numeric_limits<float>::infinity()) : f;
}
float float_down(double x) {
    const auto f = static_cast<float>(std::max(x, 0.0));
    return static_cast<double>(f) > x ? std::max(std::nextafter(f, 0.0f), 0.0f) : f;
}

}  // namespace

KmeansBounds::KmeansBounds(std::size_t rows, std::size_t dims, std::size_t k)
    : dims_(dims), k_(k),
      per_centre_(k <= kKmeansBoundedCentres && k <= kKmeansLowerBounds / std::max<std::size_t>(rows, 1)),
      margin_(4 * (static_cast<double>(dims) + 8) * kUnit), upper_(rows), lower_(per_centre_ ? rows * k : rows),
      shift_(k), gap_(per_centre_ ? k * k : k) {}

void KmeansBounds::reset(std::size_t r, std::size_t best, const double* distances, std::size_t stride) {
    upper_[r] = float_up(std::sqrt(distances[best * stride]) * (1 + margin_));
    if (per_centre_) {
        for (std::size_t c = 0; c < k_; ++c)
            lower_[r * k_ + c] = c == best ? 0.0f : float_down(std::sqrt(distances[c * stride]) * (1 - margin_));
        return;
    }
    double second = kInfinity;
    for (std::size_t c = 0; c < k_; ++c)
        if (c != best) second = std::min(second, distances[c * stride]);
    lower_[r] = float_down(std::sqrt(second) * (1 - margin_));
}

double KmeansBounds::squared_distance(const double* a, const double* b) const {
    double sum = 0;
    for (std::size_t d = 0; d < dims_; ++d) sum += (a[d] - b[d]) * (a[d] - b[d]);
    return sum;
}

void KmeansBounds::centres_moved(std::span<const double> before, std::span<const double> after) {
    most_ = second_most_ = 0;
    farthest_ = 0;
    for (std::size_t c = 0; c < k_; ++c) {
        shift_[c] = std::sqrt(squared_distance(&before[c * dims_], &after[c * dims_])) * (1 + margin_);
        if (shift_[c] > most_) {
            second_most_ = most_;
            most_ = shift_[c];
            farthest_ = c;
        } else {
            second_most_ = std::max(second_most_, shift_[c]);
        }
    }
    std::fill(gap_.begin(), gap_.end(), per_centre_ ? 0.0 : kInfinity);
    for (std::size_t c = 0; c < k_; ++c)
        for (std::size_t j = 0; j < k_; ++j) {
            if (j == c) continue;
            const double gap = down(std::sqrt(squared_distance(&after[c * dims_], &after[j * dims_])) * (1 - margin_));
            if (per_centre_) gap_[c * k_ + j] = gap;
            else gap_[c] = std::min(gap_[c], gap);
        }
}

bool KmeansBounds::stays(std::size_t r, std::size_t c) {
    // The own centre at most its move farther.
    const double upper = up(static_cast<double>(upper_[r]) + shift_[c]);
    upper_[r] = float_up(upper);
    return per_centre_ ? stays_each(r, c, upper) : stays_all(r, c, upper);
}

// Each other centre j at most its move nearer, and at least its distance
// to c less the row's distance to c away.
bool KmeansBounds::stays_each(std::size_t r, std::size_t c, double upper) {
    float* lower = lower_.data() + r * k_;
    const double* gap = gap_.data() + c * k_;
    bool stays = true;
    for (std::size_t j = 0; j < k_; ++j) {
        if (j == c) continue;
        const double moved = down(static_cast<double>(lower[j]) - shift_[j]);
        lower[j] = float_down(moved);
        stays = stays && upper * (1 + margin_) < std::max(moved, down(gap[j] - upper)) * (1 - margin_);
    }
    return stays;
}

// Every other centre at most the largest move of the others nearer, and
// at least the distance of the nearest one to c less the row's away.
bool KmeansBounds::stays_all(std::size_t r, std::size_t c, double upper) {
    const double moved = down(static_cast<double>(lower_[r]) - (c == farthest_ ? second_most_ : most_));
    lower_[r] = float_down(moved);
    return upper * (1 + margin_) < std::max(moved, down(gap_[c] - upper)) * (1 - margin_);
}

}  // namespace binscope
