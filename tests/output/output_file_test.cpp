// output_file_test.cpp - how output files are created.
#include "output/output_file.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

TEST(OutputFile, TruncatesAndCreatesWithUmaskedMode) {
    TempDir dir;
    const std::string old_path = dir.file("old.txt");
    const std::string new_path = dir.file("new.txt");
    write_file(old_path, "old content that is longer");
    const mode_t old_mask = ::umask(027);
    auto old_file = BufferedFile::create(old_path);
    auto new_file = BufferedFile::create(new_path);
    ::umask(old_mask);
    ASSERT_TRUE(old_file && new_file);
    ASSERT_TRUE(old_file->append("new") && old_file->close() && new_file->close());
    EXPECT_EQ(read_file(old_path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(new_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace binscope
