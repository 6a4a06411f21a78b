// matrix.cpp - group boundaries of a row list.
#include "matrix/matrix.hpp"

namespace binscope {

std::vector<std::size_t> compute_group_boundaries(const std::vector<Region>& regions) {
    std::vector<std::size_t> boundaries{0};
    for (std::size_t i = 1; i < regions.size(); ++i)
        if (regions[i].group != regions[i - 1].group) boundaries.push_back(i);
    boundaries.push_back(regions.size());
    return boundaries;
}

}  // namespace binscope
