// profile_figure.hpp - the profile figure: average profiles alone, a panel
// per sample with a line per group, or a panel per group with a line per
// sample.
#pragma once

#include <cstddef>
#include <string>

#include "error.hpp"
#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"
#include "figure/layout.hpp"

namespace binscope {

// Draws the profiles of `input` to `path` in style.format: per bin the
// mean or median of the group's rows (missing values left out), with an
// optional band of the standard error or deviation. With
// profile.per_group a panel per group takes the x axis of the first
// sample. Profiles are computed on `threads` workers; the file's bytes do
// not depend on their number.
Status draw_profile(const FigureInput& input, const FigureStyle& style, const ProfileSettings& profile,
                    const std::string& path, std::size_t threads);

// The sizes draw_profile lays its figure out from.
ProfileSizes profile_sizes(const FigureInput& input, const FigureStyle& style, const ProfileSettings& profile);

}  // namespace binscope
