// test_files.hpp - temporary folders, files and runs of the real executable
// for the tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace binscope::testing {

// A fresh folder under the system's temp folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path() / name as a string.
    std::string file(const std::string& name) const;

private:
    std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, const std::string& content);
std::string read_file(const std::filesystem::path& path);
// The decompressed content of a gzip file (every member).
std::string read_gzip_file(const std::filesystem::path& path);
// One gzip member of text (deflate level 6), as bytes.
std::string gzip_text(const std::string& text);
// The parts of text between the separators; a separator at the very end
// opens no empty last part ("a\tb\n" split at '\n' is {"a\tb"}).
std::vector<std::string> split(const std::string& text, char sep);

struct ProcessResult {
    int status = -1;  // exit status, or -1 when killed by a signal
    std::string out;
    std::string err;
};

// Runs the built binscope executable with args (argv[0] added), capturing
// standard output and standard error.
ProcessResult run_binscope(const std::vector<std::string>& args);

// Shipped test data (tests/data) and the shared fixtures, which may be
// absent on a user's machine.
std::filesystem::path test_data(const std::string& relative);
std::filesystem::path shared_fixture(const std::string& relative);

}  // namespace binscope::testing
