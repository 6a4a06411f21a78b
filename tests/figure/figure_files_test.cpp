// figure_files_test.cpp - the drawn figures read back: colours at known
// cells of a known pattern, the texts of a PDF, the same bytes at every
// thread count and on every run, and write failures.
#include <gtest/gtest.h>
#include <cairo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "figure/color_scale.hpp"
#include "figure/colormap.hpp"
#include "figure/figure_test_input.hpp"
#include "figure/heatmap_figure.hpp"
#include "figure/profile_figure.hpp"

namespace binscope {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("figure_test_" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// 20 rows of 10 above 20 rows of 0, one sample of 10 bins, bin 4 missing.
std::unique_ptr<testing::OwnedInput> known_pattern() {
    std::vector<float> values;
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 10; ++c) values.push_back(c == 4 ? NAN : r < 20 ? 10.0f : 0.0f);
    return testing::make_input(values, {20, 20}, {10});
}

// The colour of the PNG at `x`, `y` points.
Rgb pixel_at(cairo_surface_t* image, double x, double y, double dpi) {
    const int px = static_cast<int>(x * dpi / 72.0), py = static_cast<int>(y * dpi / 72.0);
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(image) +
                                                             py * cairo_image_surface_get_stride(image));
    const std::uint32_t p = row[px];
    return Rgb{static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)};
}

TEST(HeatmapFigure, PngShowsTheValuesTheSeparatorAndTheMissingColour) {
    TempDir dir;
    auto owned = known_pattern();
    FigureStyle style;
    ColorSettings colors;
    colors.z_min = {0};
    colors.z_max = {10};
    ASSERT_TRUE(draw_heatmap(owned->input, style, colors, ProfileSettings{}, dir.file("h.png"), 2));
    cairo_surface_t* image = cairo_image_surface_create_from_png(dir.file("h.png").c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    const HeatmapLayout layout = layout_heatmap(heatmap_sizes(owned->input, style, ProfileSettings{}, true));
    EXPECT_EQ(cairo_image_surface_get_width(image), static_cast<int>(std::ceil(layout.width * style.dpi / 72)));
    const Box box = layout.heatmaps[0];
    const auto viridis = find_color_map("viridis", false).value();
    auto cell = [&](double row, double col) {
        return pixel_at(image, box.x + box.width * (col + 0.5) / 10, box.y + box.height * (row + 0.5) / 40, style.dpi);
    };
    EXPECT_EQ(cell(0, 0), viridis.colors.back());
    EXPECT_EQ(cell(19, 9), viridis.colors.back());
    EXPECT_EQ(cell(20, 0), viridis.colors.front());
    EXPECT_EQ(cell(39, 3), viridis.colors.front());
    EXPECT_EQ(cell(5, 4), (Rgb{0xb3, 0xb3, 0xb3}));
    EXPECT_EQ(cell(30, 4), (Rgb{0xb3, 0xb3, 0xb3}));
    EXPECT_EQ(cell(19.5, 2), (Rgb{255, 255, 255}));  // the separator, on the boundary
    const Box swatch = layout.missing_swatch;
    EXPECT_EQ(pixel_at(image, swatch.x + swatch.width / 2, swatch.y + swatch.height / 2, style.dpi),
              (Rgb{0xb3, 0xb3, 0xb3}));
    const Box bar = layout.color_bars[0];  // high at the top: among the map's last colours
    const Rgb top = pixel_at(image, bar.x + bar.width / 2, bar.y + 2, style.dpi);
    const Rgb bottom = pixel_at(image, bar.x + bar.width / 2, bar.bottom() - 2, style.dpi);
    EXPECT_NE(std::find(viridis.colors.end() - 8, viridis.colors.end(), top), viridis.colors.end());
    EXPECT_NE(std::find(viridis.colors.begin(), viridis.colors.begin() + 8, bottom), viridis.colors.begin() + 8);
    cairo_surface_destroy(image);

    // A map from a list of colours: its ends at the limits, a black separator on white.
    colors.color_list = {"white", "#FF0000"};
    ASSERT_TRUE(draw_heatmap(owned->input, style, colors, ProfileSettings{}, dir.file("h.png"), 2));
    image = cairo_image_surface_create_from_png(dir.file("h.png").c_str());
    EXPECT_EQ(cell(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(cell(39, 3), (Rgb{255, 255, 255}));
    EXPECT_EQ(cell(19.5, 2), (Rgb{0, 0, 0}));
    cairo_surface_destroy(image);
}

// Draws in a child process: cairo numbers the images of an SVG from a
// count kept for the whole process, so each run must start afresh, as the
// program does.
std::string draw_in_child(const FigureInput& input, const FigureStyle& style, bool profile, const std::string& path,
                          std::size_t threads) {
    const pid_t child = ::fork();
    if (child == 0) {
        ColorSettings colors;
        ProfileSettings settings;
        settings.band = ProfileBand::standard_error;
        auto drawn = profile ? draw_profile(input, style, settings, path, threads)
                             : draw_heatmap(input, style, colors, settings, path, threads);
        ::_exit(drawn ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << path;
    return read_bytes(path);
}

TEST(HeatmapFigure, SameBytesAtEveryThreadCountAndOnEveryRun) {
    TempDir dir;
    auto owned = testing::random_input({900, 1, 400}, {120, 60}, 0.05, 5);
    for (auto format : {FigureFormat::png, FigureFormat::svg, FigureFormat::pdf})
        for (bool profile : {false, true}) {
            FigureStyle style;
            style.format = format;
            style.title = "Same bytes";
            style.panel_height_cm = 5;
            const std::string first = draw_in_child(owned->input, style, profile, dir.file("a"), 1);
            ASSERT_GT(first.size(), 100u);
            EXPECT_EQ(draw_in_child(owned->input, style, profile, dir.file("b"), 4), first);
            EXPECT_EQ(draw_in_child(owned->input, style, profile, dir.file("c"), 1), first);
            EXPECT_EQ(first.find("CreationDate"), std::string::npos);
        }
}

TEST(HeatmapFigure, PdfCarriesTheTextsAsText) {
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
    TempDir dir;
    auto owned = known_pattern();
    owned->input.ticks[0] = {{0, "-0.5kb"}, {5, "TSS"}, {10, "1.5kb"}};
    owned->input.group_labels = {"genes up", "genes down"};
    owned->input.sample_labels = {"H3K4me3"};
    FigureStyle style;
    style.format = FigureFormat::pdf;
    style.title = "Signal at genes";
    for (bool profile : {false, true}) {
        const std::string path = dir.file(profile ? "p.pdf" : "h.pdf");
        auto drawn = profile ? draw_profile(owned->input, style, ProfileSettings{}, path, 1)
                             : draw_heatmap(owned->input, style, ColorSettings{}, ProfileSettings{}, path, 1);
        ASSERT_TRUE(drawn);
        ASSERT_EQ(std::system(("pdftotext -raw " + path + " " + path + ".txt").c_str()), 0);
        const std::string text = read_bytes(path + ".txt");
        for (const char* want : {"Signal at genes", "H3K4me3", "-0.5kb", "TSS", "1.5kb", "genes up", "genes down"})
            EXPECT_NE(text.find(want), std::string::npos) << want << " in " << text;
        EXPECT_EQ(text.find("missing") != std::string::npos, !profile);
    }
}

// Hundreds of groups: the legend keeps to its most lines, the last one
// counting the rest, so the page stays the height of the panels.
TEST(HeatmapFigure, ALegendOfManyGroupsEndsInACount) {
    TempDir dir;
    auto groups = [](std::size_t count) {
        return testing::make_input(std::vector<float>(count * 10, 1.0f), std::vector<std::size_t>(count, 1), {10});
    };
    auto png_height = [&](const FigureInput& input, bool profile) {
        FigureStyle style;
        const std::string path = dir.file("h.png");
        auto drawn = profile ? draw_profile(input, style, ProfileSettings{}, path, 1)
                             : draw_heatmap(input, style, ColorSettings{}, ProfileSettings{}, path, 1);
        EXPECT_TRUE(drawn);
        cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
        const int height = cairo_image_surface_get_height(image);
        cairo_surface_destroy(image);
        return height;
    };
    const auto few = groups(kMaxLegendLines), many = groups(300);
    for (bool profile : {false, true})
        EXPECT_EQ(png_height(many->input, profile), png_height(few->input, profile)) << profile;

    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
    FigureStyle style;
    style.format = FigureFormat::pdf;
    const std::string path = dir.file("p.pdf");
    ASSERT_TRUE(draw_profile(many->input, style, ProfileSettings{}, path, 1));
    ASSERT_EQ(std::system(("pdftotext -raw " + path + " " + path + ".txt").c_str()), 0);
    const std::string text = read_bytes(path + ".txt");
    EXPECT_NE(text.find("group 29"), std::string::npos) << text;
    EXPECT_EQ(text.find("group 30"), std::string::npos) << text;
    EXPECT_NE(text.find("and 271 more"), std::string::npos) << text;
}

// Two groups of constant rows over two samples: group 1 at 10 and 5,
// group 2 at 2 and 1; lines read back in the colours given, at the
// heights of their panel's range (given, or shared), shaded down to zero.
TEST(ProfileFigure, LinesReadBackInTheirColoursRangesAndFill) {
    std::vector<float> values;
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 20; ++c) values.push_back(r < 3 ? (c < 10 ? 10.0f : 5.0f) : (c < 10 ? 2.0f : 1.0f));
    auto owned = testing::make_input(values, {3, 3}, {10, 10});
    const Rgb red{255, 0, 0}, blue{0, 0, 255}, white{255, 255, 255}, shaded{255, 166, 166};
    struct Case {
        PlotType type;
        bool shared;
        std::vector<double> y_min, y_max;
        ColorLimits panel_1, panel_2;  // the ranges drawn
        Rgb at_6;                      // panel 1 at value 6, between group 1's line and zero
    };
    const Case cases[] = {
        {PlotType::lines, false, {0}, {20}, {0, 20}, {0, 20}, white},
        {PlotType::fill, false, {0}, {20, 10}, {0, 20}, {0, 10}, shaded},
        {PlotType::lines, true, {}, {}, {0.55, 10.45}, {0.55, 10.45}, white},
    };
    TempDir dir;
    for (const Case& c : cases) {
        FigureStyle style;
        style.dpi = 144;
        ProfileSettings settings;
        settings.plot_type = c.type;
        settings.shared_y = c.shared;
        settings.y_min = c.y_min;
        settings.y_max = c.y_max;
        settings.colors = {"red", "#0000FF"};
        ASSERT_TRUE(draw_profile(owned->input, style, settings, dir.file("p.png"), 2));
        cairo_surface_t* image = cairo_image_surface_create_from_png(dir.file("p.png").c_str());
        ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
        const ProfileLayout layout = layout_profiles(profile_sizes(owned->input, style, settings));
        auto at = [&](std::size_t panel, double value) {
            const Box box = layout.panels[panel];
            const ColorLimits range = panel == 0 ? c.panel_1 : c.panel_2;
            const double y = box.bottom() - box.height * (value - range.low) / (range.high - range.low);
            return pixel_at(image, box.x + box.width * 0.55, y, style.dpi);
        };
        EXPECT_EQ(at(0, 10), red);
        EXPECT_EQ(at(0, 2), blue);
        EXPECT_EQ(at(1, 5), red);
        EXPECT_EQ(at(1, 1), blue);
        const Rgb between = at(0, 6);
        EXPECT_LE(std::abs(between.g - c.at_6.g) + std::abs(between.r - c.at_6.r), 2) << int(between.g);
        cairo_surface_destroy(image);
    }
}

// Two groups of constant rows over two samples: group 1 at 10 and 4,
// group 2 at 2 and 8 (three rows each, ten bins per sample).
std::unique_ptr<testing::OwnedInput> two_by_two() {
    std::vector<float> values;
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 20; ++c) values.push_back(r < 3 ? (c < 10 ? 10.0f : 4.0f) : (c < 10 ? 2.0f : 8.0f));
    return testing::make_input(values, {3, 3}, {10, 10});
}

// The heat-map layouts read back: a column per group with the samples'
// heat maps stacked (each with that group's rows, in its sample's colour
// limits) under a profile with a line per sample; columns wrapped onto
// rows; profiles drawn as heat maps with a strip per line.
TEST(HeatmapFigure, PerGroupWrappedAndProfileHeatmapsReadBack) {
    auto owned = two_by_two();
    const Rgb red{255, 0, 0}, blue{0, 0, 255};
    const auto viridis = find_color_map("viridis", false).value();
    struct Case {
        bool per_group;
        std::size_t per_row;
        PlotType type;
        std::vector<double> heat;  // the value each heat map shows, in layout order
        std::vector<std::vector<double>> profile;  // per column, each line's value (heat map: its strip's)
    };
    const Case cases[] = {
        {true, 0, PlotType::lines, {10, 4, 2, 8}, {{10, 4}, {2, 8}}},
        {true, 1, PlotType::lines, {10, 4, 2, 8}, {{10, 4}, {2, 8}}},
        {false, 1, PlotType::lines, {-1, -1}, {{10, 2}, {4, 8}}},  // -1: group 1 at the top, group 2 under it
        {false, 0, PlotType::heatmap, {-1, -1}, {{10, 2}, {4, 8}}},
        {true, 0, PlotType::heatmap, {10, 4, 2, 8}, {{10, 4}, {2, 8}}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.per_group << " " << c.per_row << " " << int(c.type));
        FigureStyle style;
        style.dpi = 144;
        style.panel_height_cm = 6;
        style.plots_per_row = c.per_row;
        ColorSettings colors;
        colors.z_min = {0};
        colors.z_max = {10};
        ProfileSettings settings;
        settings.per_group = c.per_group;
        settings.plot_type = c.type;
        settings.y_min = {0};
        settings.y_max = {20};
        if (c.type != PlotType::heatmap) settings.colors = {"red", "blue"};
        else settings.shared_y = true, settings.y_min.clear(), settings.y_max.clear();  // strips from 2 to 10
        ASSERT_TRUE(draw_heatmap(owned->input, style, colors, settings, dir.file("h.png"), 2));
        cairo_surface_t* image = cairo_image_surface_create_from_png(dir.file("h.png").c_str());
        ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
        const HeatmapLayout layout = layout_heatmap(heatmap_sizes(owned->input, style, settings, true));
        ASSERT_EQ(layout.heatmaps.size(), c.heat.size());
        EXPECT_EQ(cairo_image_surface_get_height(image), static_cast<int>(std::ceil(layout.height * style.dpi / 72)));
        auto at = [&](Box box, double x, double y) { return pixel_at(image, box.x + box.width * x, box.y + box.height * y, style.dpi); };
        for (std::size_t h = 0; h < c.heat.size(); ++h) {
            const Box box = layout.heatmaps[h];
            if (c.heat[h] >= 0) {
                EXPECT_EQ(at(box, 0.5, 0.5), viridis.at(c.heat[h] / 10)) << h;
                continue;
            }
            EXPECT_EQ(at(box, 0.5, 0.25), viridis.at((h == 0 ? 10 : 4) / 10.0)) << h;
            EXPECT_EQ(at(box, 0.5, 0.75), viridis.at((h == 0 ? 2 : 8) / 10.0)) << h;
        }
        if (c.per_row == 1) {  // one column a row: the second under the first
            EXPECT_EQ(layout.profiles[1].x, layout.profiles[0].x);
            EXPECT_GT(layout.profiles[1].y, layout.heatmaps[c.heat.size() / 2 - 1].bottom());
        }
        for (std::size_t col = 0; col < 2; ++col) {
            const Box box = layout.profiles[col];
            const auto& values = c.profile[col];
            for (std::size_t line = 0; line < 2; ++line) {
                if (c.type == PlotType::heatmap) {  // strips top to bottom, colours from 2 to 10
                    EXPECT_EQ(at(box, 0.5, (line + 0.5) / 2), viridis.at((values[line] - 2) / 8)) << col << line;
                    continue;
                }
                EXPECT_EQ(at(box, 0.55, 1 - values[line] / 20), line == 0 ? red : blue) << col << line;
            }
            if (c.type == PlotType::heatmap) {  // the scale: high at the top
                const Box scale = layout.profile_scales[col];
                const Rgb top = at(scale, 0.5, 0.03), bottom = at(scale, 0.5, 0.97);
                EXPECT_NE(std::find(viridis.colors.end() - 10, viridis.colors.end(), top), viridis.colors.end());
                EXPECT_NE(std::find(viridis.colors.begin(), viridis.colors.begin() + 10, bottom),
                          viridis.colors.begin() + 10);
            }
        }
        cairo_surface_destroy(image);
    }
}

// The profile figure's panels as heat maps: a strip per line, per panel
// its own range, wrapped one panel a row.
TEST(ProfileFigure, PanelsDrawnAsHeatMapsReadBack) {
    auto owned = two_by_two();
    const auto viridis = find_color_map("viridis", false).value();
    TempDir dir;
    for (bool per_group : {false, true}) {
        FigureStyle style;
        style.dpi = 144;
        style.plots_per_row = 1;
        ProfileSettings settings;
        settings.plot_type = PlotType::heatmap;
        settings.per_group = per_group;
        ASSERT_TRUE(draw_profile(owned->input, style, settings, dir.file("p.png"), 2));
        cairo_surface_t* image = cairo_image_surface_create_from_png(dir.file("p.png").c_str());
        ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
        const ProfileLayout layout = layout_profiles(profile_sizes(owned->input, style, settings));
        ASSERT_EQ(layout.scales.size(), 2u);
        EXPECT_GT(layout.panels[1].y, layout.panels[0].bottom());
        auto strip = [&](std::size_t panel, std::size_t line) {
            const Box box = layout.panels[panel];
            return pixel_at(image, box.x + box.width / 2, box.y + box.height * (line + 0.5) / 2, style.dpi);
        };
        // Panel 1 holds 10 and 2 (per sample) or 10 and 4 (per group), panel
        // 2 holds 4 and 8, or 2 and 8: each panel's highest line in the
        // map's last colour, its lowest in its first.
        EXPECT_EQ(strip(0, 0), viridis.colors.back());
        EXPECT_EQ(strip(0, 1), viridis.colors.front());
        EXPECT_EQ(strip(1, 0), viridis.colors.front());
        EXPECT_EQ(strip(1, 1), viridis.colors.back());
        cairo_surface_destroy(image);
    }
}

TEST(HeatmapFigure, FailuresNameTheFileAndTheReason) {
    auto owned = known_pattern();
    auto drawn = draw_heatmap(owned->input, FigureStyle{}, ColorSettings{}, ProfileSettings{}, "/nonexistent/h.png", 1);
    ASSERT_FALSE(drawn);
    EXPECT_EQ(drawn.error().chain(), (std::vector<std::string>{"Cannot write the figure /nonexistent/h.png",
                                                               "No such file or directory (os error 2)"}));
    ColorSettings colors;
    colors.missing_color = "grey";
    drawn = draw_heatmap(owned->input, FigureStyle{}, colors, ProfileSettings{}, "/nonexistent/h.png", 1);
    EXPECT_EQ(drawn.error().chain(), (std::vector<std::string>{"The missing-value colour",
                                                               "The colour 'grey' is not of the form #rrggbb"}));
    FigureStyle huge;
    huge.panel_height_cm = 1000;
    drawn = draw_heatmap(owned->input, huge, ColorSettings{}, ProfileSettings{}, "/nonexistent/h.png", 1);
    EXPECT_EQ(drawn.error().chain(), (std::vector<std::string>{"Drawing /nonexistent/h.png",
                                                               "Cannot draw a figure of 519 x 59442 pixels: each side "
                                                               "must be 1 to 32767"}));
    FigureStyle flat;
    flat.panel_width_cm = 0;
    drawn = draw_heatmap(owned->input, flat, ColorSettings{}, ProfileSettings{}, "/nonexistent/h.png", 1);
    EXPECT_EQ(drawn.error().message(), "Cannot draw the figure: its panel width is 0, not a positive number");
    flat.panel_width_cm = 4;
    flat.dpi = NAN;
    drawn = draw_profile(owned->input, flat, ProfileSettings{}, "/nonexistent/p.png", 1);
    EXPECT_EQ(drawn.error().message(), "Cannot draw the figure: its resolution is nan, not a positive number");
    auto look = [](std::vector<std::string> colors, std::vector<double> y_min, PlotType type = PlotType::lines,
                   ProfileBand band = ProfileBand::none) {
        ProfileSettings settings;
        settings.plot_type = type;
        settings.band = band;
        settings.colors = std::move(colors);
        settings.y_min = std::move(y_min);
        return settings;
    };
    const std::pair<ProfileSettings, std::vector<std::string>> looks[] = {
        {look({"red"}, {}), {"Invalid --colors: 1 colour for 2 lines (give one per line)"}},
        {look({"red", "rouge"}, {}),
         {"Invalid --colors", "The colour 'rouge' is neither a colour name nor of the form #rrggbb"}},
        {look({}, {0, 1, 2}), {"Invalid --yMin: 3 values for 1 panel (give one for every panel, or one per panel)"}},
        {look({}, {20}), {"Invalid --yMin or --yMax: the value range of panel 1 would run from 20 to 10.5"}},
        {look({"red", "blue"}, {}, PlotType::heatmap), {"Invalid --colors: a profile drawn as a heat map has no lines to colour"}},
        {look({}, {}, PlotType::heatmap, ProfileBand::standard_error), {"Invalid --band: a profile drawn as a heat map has no band (use --plotType lines or fill)"}},
    };
    for (const auto& [settings, chain] : looks)
        for (bool profile : {false, true}) {
            drawn = profile ? draw_profile(owned->input, FigureStyle{}, settings, "/nonexistent/p.png", 1)
                            : draw_heatmap(owned->input, FigureStyle{}, ColorSettings{}, settings, "/nonexistent/p.png", 1);
            ASSERT_FALSE(drawn);
            EXPECT_EQ(drawn.error().chain(), chain);
        }
    owned->input.group_boundaries = {0, 20, 41};
    drawn = draw_profile(owned->input, FigureStyle{}, ProfileSettings{}, "/nonexistent/p.png", 1);
    EXPECT_EQ(drawn.error().message(),
              "Cannot draw the figure: the group boundaries do not run from 0 to the 40 rows, one group per label");
}

}  // namespace
}  // namespace binscope
