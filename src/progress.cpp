// progress.cpp - the "[binscope] " progress lines on standard error.
#include "progress.hpp"

#include <cstdio>
#include <string>

namespace binscope {

void progress(const Params& params, std::string_view line) {
    if (params.quiet) return;
    std::string text = "[binscope] ";
    text += line;
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace binscope
