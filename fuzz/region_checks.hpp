// region_checks.hpp - what the region fuzzers do with the regions they
// read: check the set's invariants, lay out every region's zones (where
// hostile coordinates meet the bin arithmetic), and take the first ones
// through the rest of the run against a small score file: matrix, row
// filters, sorting and all three outputs (written to /dev/null).
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "region.hpp"
#include "bigwig_reader.hpp"
#include "labels.hpp"
#include "matrix/compute.hpp"
#include "matrix/filter.hpp"
#include "matrix/sort.hpp"
#include "memory_file.hpp"
#include "output/matrix.hpp"
#include "output/matrix_values.hpp"
#include "output/sorted_regions.hpp"
#include "params.hpp"
#include "region/zones.hpp"
#include "tiny_bigwig.hpp"

namespace binscope::fuzz {

inline const std::vector<Params>& layouts() {
    static const std::vector<Params> all = [] {
        std::vector<Params> v(3);
        v[0].referencePoint = RefPoint::TSS;
        v[0].sortRegions = "descend";
        v[0].sortUsing = "max";
        v[1].referencePoint = RefPoint::Center;
        v[1].beforeRegionStartLength = 3;
        v[1].afterRegionStartLength = 0;
        v[1].binSize = 1;
        v[2].regionBodyLength = 1000;
        v[2].unscaled5prime = 200;
        v[2].unscaled3prime = 100;
        v[2].nanAfterEnd = true;
        v[2].missingDataAsZero = true;
        v[2].skipZeros = true;
        v[2].sortRegions = "ascend";
        v[2].sortUsing = "region_length";
        for (Params& p : v) p.outFileName = "/dev/null";
        return v;
    }();
    return all;
}

// Values for every row and cell; group boundaries [0, ..., rows], one
// segment per run of a group ([0, 0] without rows).
inline void check_matrix(const Matrix& m) {
    const auto& b = m.group_boundaries;
    if (m.values.size() != m.rows() * m.cols) std::abort();
    if (b.size() < 2 || b.front() != 0 || b.back() != m.rows() || (m.rows() == 0 && b.size() != 2)) std::abort();
    for (std::size_t i = 1; i < b.size() && m.rows() > 0; ++i) {
        if (b[i] <= b[i - 1]) std::abort();
        for (std::size_t r = b[i - 1] + 1; r < b[i]; ++r)
            if (m.region(r).group != m.region(b[i - 1]).group) std::abort();
    }
}

// The run's stages after the region input, on the first regions of set.
inline void run_pipeline(const RegionSet& set) {
    static MemoryFile score("tiny.bw");
    static const std::vector<Sample> samples = [] {
        const std::string bytes = tiny_bigwig();
        score.assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        auto table = open_chrom_table(score.path());
        if (!table) std::abort();
        return std::vector<Sample>{Sample{score.path(), "tiny", std::move(*table)}};
    }();
    static const std::vector<std::string> paths{score.path()};

    RegionSet some;
    some.groups = set.groups;
    for (std::size_t i = 0; i < set.regions.size() && i < 16; ++i) some.regions.push_back(set.regions[i]);
    for (const Params& p : layouts()) {
        auto built = build_matrix(some, samples, paths, p);
        if (!built) std::abort();
        Matrix m = std::move(*built);
        check_matrix(m);
        if (p.skipZeros) m = skip_zero_rows(std::move(m));
        m = sort_rows(std::move(m), parse_sort_regions(p.sortRegions), parse_sort_using(p.sortUsing));
        check_matrix(m);
        if (!write_matrix_file("/dev/null", m, m.sample_labels, p)) std::abort();
        if (!write_matrix_values("/dev/null", m, bins_per_sample(p))) std::abort();
        if (!write_sorted_regions("/dev/null", m)) std::abort();
    }
}

inline void check_regions(const RegionSet& set, bool whole_run = true) {
    std::size_t laid_out = 0;
    ZoneScratch scratch;  // reused across regions, as a worker reuses it
    for (const Region& region : set.regions) {
        if (region.blocks.empty() || region.group >= set.groups.size()) std::abort();
        if (laid_out++ == 32) continue;
        for (const Params& p : layouts()) {
            ZoneLayout layout;
            if (!compute_zones(region, p, layout, scratch)) continue;
            std::int64_t bins = layout.left_nan_bins + layout.right_nan_bins;
            for (const Zone& z : layout.zones) bins += z.bins;
            if (bins < 0) std::abort();
        }
    }
    if (whole_run && !set.regions.empty()) run_pipeline(set);
}

}  // namespace binscope::fuzz
