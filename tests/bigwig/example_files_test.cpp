// example_files_test.cpp - the committed example in examples/ is what its
// generator makes (compared by content, not by compressed bytes).
#include <gtest/gtest.h>

#include <cmath>

#include "bigwig/reader.hpp"
#include "support/bigwig_writer_example.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

TEST(ExampleFiles, MatchTheirGenerator) {
    const auto examples = test_data("../../examples");
    EXPECT_EQ(read_file(examples / "genes.bed"), example_genes_bed());

    auto committed = BigWigReader::open((examples / "example.bw").string());
    ASSERT_TRUE(committed.has_value()) << "regenerate with: make_example examples";
    auto fresh = BigWigReader::open_memory(bigwig_bytes(example_chroms(), example_sections()), "fresh.bw");
    ASSERT_TRUE(fresh.has_value());
    ASSERT_EQ(committed->chroms().size(), example_chroms().size());
    for (const BigWigChrom& c : example_chroms()) {
        std::vector<float> want(c.length), got(c.length);
        ASSERT_TRUE(fresh->values_into(c.name, 0, c.length, want) && committed->values_into(c.name, 0, c.length, got));
        for (std::uint32_t i = 0; i < c.length; ++i) {
            bool same = std::isnan(got[i]) ? std::isnan(want[i]) : got[i] == want[i];
            ASSERT_TRUE(same) << c.name << ":" << i << " (regenerate with: make_example examples)";
        }
    }
}

}  // namespace
}  // namespace binscope
