// error.cpp - error chains and the final error report.
#include "error.hpp"

#include <cstring>
#include <fmt/format.h>
#include <string_view>

namespace binscope {

Error Error::context(std::string outer) && {
    chain_.insert(chain_.begin(), std::move(outer));
    return std::move(*this);
}

Error Error::context(std::string outer) const& {
    Error copy = *this;
    return std::move(copy).context(std::move(outer));
}

const std::string& Error::message() const {
    static const std::string empty;
    return chain_.empty() ? empty : chain_.front();
}

std::vector<std::string> Error::causes() const {
    if (chain_.size() < 2) return {};
    return {chain_.begin() + 1, chain_.end()};
}

Error Error::from_errno(int err) {
    // The GNU strerror_r, safe on the worker threads, unlike strerror.
    char buffer[256];
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return Error(fmt::format("{} (os error {})", text, err));
}

namespace {

// Appends `message` and a line break; its further lines start with
// `indent`, except empty ones, which stay empty.
void append_indented(std::string& out, std::string_view message, std::string_view indent) {
    std::size_t pos = 0;
    while (true) {
        const std::size_t nl = message.find('\n', pos);
        const std::string_view line =
            message.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        if (pos > 0 && !line.empty()) out += indent;
        out += line;
        out += '\n';
        if (nl == std::string_view::npos) break;
        pos = nl + 1;
    }
}

}  // namespace

std::string format_error_report(const Error& error) {
    std::string out = "Error: ";
    const auto& chain = error.chain();
    if (chain.empty()) return out + "\n";
    append_indented(out, chain.front(), "");
    if (chain.size() == 1) return out;
    out += "\nCaused by:\n";
    if (chain.size() == 2) {
        out += "    ";
        append_indented(out, chain[1], "    ");
        return out;
    }
    for (std::size_t i = 1; i < chain.size(); ++i) {
        out += fmt::format("{:>5}: ", i - 1);
        append_indented(out, chain[i], "       ");
    }
    return out;
}

}  // namespace binscope
