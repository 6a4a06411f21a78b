// view_query_test.cpp - the view's query parameters: every refusal and its
// text, the canonical keys, and the `heatmap` command of a view.
#include "view/view_query.hpp"

#include <gtest/gtest.h>

namespace binscope {
namespace {

std::string outcome(const QueryParams& params) {
    std::vector<std::string_view> allowed(view_param_names().begin(), view_param_names().end());
    allowed.insert(allowed.end(), {"r0", "r1", "h"});
    auto query = Query::make(params, allowed);
    if (!query) return query.error().message();
    auto view = parse_view(*query);
    if (!view) return view.error().message();
    if (auto checked = check_view(*view, 50, 2); !checked) return checked.error().message();
    auto window = parse_row_window(*query, 50);
    if (!window) return window.error().message();
    return "ok";
}

TEST(ViewQuery, RefusesBadParametersSayingWhich) {
    const std::vector<std::pair<QueryParams, std::string>> cases = {
        {{}, "ok"},
        {{{"sort", "descend"}, {"using", "max"}, {"samples", "2,1"}, {"k", "3"}, {"seed", "18446744073709551615"},
          {"cmap", "magma_r"}, {"zmin", "-1.5"}, {"zmax", "2,3e2"}, {"missing", "FF00aa"}, {"r0", "3"}, {"r1", "9"}, {"h", "4096"}},
         "ok"},
        {{{"sort", "up"}}, "Bad parameter sort=\"up\": expected keep, descend or ascend"},
        {{{"using", "mode"}}, "Bad parameter using=\"mode\": expected mean, median, max, min or sum"},
        {{{"samples", "0"}}, "Bad parameter samples=\"0\": expected sample numbers from 1, separated by commas"},
        {{{"samples", "1,"}}, "Bad parameter samples=\"1,\": expected sample numbers from 1, separated by commas"},
        {{{"samples", "3"}}, "Bad parameter samples: sample 3 asked for, the matrix has 2 samples"},
        {{{"k", "101"}}, "Bad parameter k=\"101\": expected a whole number from 0 to 100"},
        {{{"k", "-1"}}, "Bad parameter k=\"-1\": expected a whole number from 0 to 100"},
        {{{"k", "51"}}, "Bad parameter k=51: more clusters than the matrix's 50 rows"},
        {{{"seed", "18446744073709551616"}}, "Bad parameter seed=\"18446744073709551616\": expected a whole number from 0 to 18446744073709551615"},
        {{{"cmap", "rainbow"}}, "Bad parameter cmap=\"rainbow\": not a colour map's name"},
        {{{"zmin", "nan"}}, "Bad parameter zmin=\"nan\": expected finite numbers separated by commas"},
        {{{"zmax", "1e999"}}, "Bad parameter zmax=\"1e999\": expected finite numbers separated by commas"},
        {{{"zmin", "1,2,3"}}, "Bad colour limits: 3 values for 2 samples (give one, or one per sample)"},
        {{{"missing", "#ff0000"}}, "Bad parameter missing=\"#ff0000\": expected a colour as six hex digits rrggbb"},
        {{{"missing", "gg0000"}}, "Bad parameter missing=\"gg0000\": expected a colour as six hex digits rrggbb"},
        {{{"h", "1000000000"}}, "Bad parameter h=\"1000000000\": expected a whole number from 1 to 4096"},
        {{{"r0", "50"}}, "Bad parameter r0=\"50\": expected a whole number from 0 to 49 (the view has 50 rows)"},
        {{{"r0", "5"}, {"r1", "5"}}, "Bad parameter r1=\"5\": expected a whole number from 6 to 50 (the view has 50 rows)"},
        {{{"r1", "99999999999999999999999"}}, "Bad parameter r1=\"99999999999999999999999\": expected a whole number from 1 to 50 (the view has 50 rows)"},
        {{{"sort", "keep"}, {"sort", "keep"}}, "Bad query: parameter \"sort\" given twice"},
        {{{"<script>", "1"}}, "Bad query: unknown parameter \"<script>\""},
        {{{"sort", std::string(100, '\x01')}},
         "Bad parameter sort=\"" + std::string(40, '?') + "...\": expected keep, descend or ascend"},
    };
    for (const auto& [params, expected] : cases) EXPECT_EQ(outcome(params), expected);
    QueryParams many;
    for (int i = 0; i < 33; ++i) many.emplace_back("k", "1");
    EXPECT_EQ(outcome(many), "Bad query: 33 parameters, at most 32 are taken");
}

ViewDescription view_of(const QueryParams& params) {
    auto query = Query::make(params, view_param_names());
    EXPECT_TRUE(query.has_value());
    return *parse_view(*query);
}

TEST(ViewQuery, KeysNameWhatTheViewShowsOnly) {
    // Without sorting or clustering the statistic, samples and seed change nothing.
    EXPECT_EQ(view_of({}).order_key(), view_of({{"using", "max"}, {"samples", "2"}, {"seed", "4"}}).order_key());
    EXPECT_NE(view_of({{"sort", "descend"}}).order_key(), view_of({{"sort", "descend"}, {"using", "max"}}).order_key());
    EXPECT_NE(view_of({{"k", "2"}}).order_key(), view_of({{"k", "2"}, {"seed", "1"}}).order_key());
    EXPECT_NE(view_of({{"k", "2"}}).order_key(), view_of({{"k", "2"}, {"samples", "1"}}).order_key());
    EXPECT_EQ(view_of({{"cmap", "magma"}}).limits_key(), view_of({}).limits_key());
    EXPECT_NE(view_of({{"cmap", "magma"}}).color_key(), view_of({}).color_key());
    EXPECT_NE(view_of({{"zmin", "1"}}).limits_key(), view_of({}).limits_key());
}

TEST(ViewQuery, HeatmapCommandNamesEveryChangedSetting) {
    EXPECT_EQ(shell_line(heatmap_arguments(view_of({}), "m.gz", "figure.png")), "heatmap -m m.gz -o figure.png");
    const auto view = view_of({{"sort", "ascend"}, {"using", "median"}, {"samples", "2,1"}, {"k", "4"}, {"seed", "7"},
                               {"cmap", "greys_r"}, {"zmin", "-1,0.25"}, {"zmax", "3"}, {"missing", "ff0000"}});
    EXPECT_EQ(shell_line(heatmap_arguments(view, "my data/it's.gz", "f.svg")),
              "heatmap -m 'my data/it'\\''s.gz' -o f.svg --sortRegions ascend --sortUsing median --sortUsingSamples 2 1 "
              "--kmeans 4 --seed 7 --colorMap greys_r --zMin -1 0.25 --zMax 3 --missingDataColor '#ff0000'");
}

}  // namespace
}  // namespace binscope
