// reference_statistic.cpp - the plain per-base statistic of one bin.
#include "support/reference_statistic.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace binscope::testing {

float reference_statistic(std::span<const float> values, AverageType type) {
    std::vector<float> numbers;
    for (float v : values)
        if (!std::isnan(v)) numbers.push_back(v);
    if (numbers.empty()) return std::numeric_limits<float>::quiet_NaN();
    const float n = static_cast<float>(numbers.size());
    float sum = -0.0f;
    for (float v : numbers) sum += v;
    switch (type) {
        case AverageType::Sum: return sum;
        case AverageType::Mean: return sum / n;
        case AverageType::Min: return *std::min_element(numbers.begin(), numbers.end());
        case AverageType::Max: return *std::max_element(numbers.begin(), numbers.end());
        case AverageType::Std: {
            const float mean = sum / n;
            float q = -0.0f;
            for (float v : numbers) q += (v - mean) * (v - mean);
            return std::sqrt(q / n);
        }
        case AverageType::Median: {
            // Ascending, -0.0 before 0.0.
            std::sort(numbers.begin(), numbers.end(),
                      [](float a, float b) { return a < b || (a == b && std::signbit(a) && !std::signbit(b)); });
            const std::size_t mid = numbers.size() / 2;
            return numbers.size() % 2 == 1 ? numbers[mid] : (numbers[mid - 1] + numbers[mid]) * 0.5f;
        }
    }
    return std::numeric_limits<float>::quiet_NaN();
}

}  // namespace binscope::testing
