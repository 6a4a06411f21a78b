// header_json.cpp - the JSON header of a matrix file, parsed with
// nlohmann-json and checked.
#include "matrix_file/header_json.hpp"

#include <fmt/format.h>

#include <cstdint>
#include <nlohmann/json.hpp>

namespace binscope {

namespace {

using Json = nlohmann::json;

std::unexpected<Error> mistyped(std::string_view key, std::string_view wanted) {
    return fail(fmt::format("the header's \"{}\" is not {}", key, wanted));
}

// The array at key, or an error when it is absent (and required) or is no
// array; `wanted` describes the entries.
Result<const Json*> array_at(const Json& object, std::string_view key, std::string_view wanted, bool required) {
    const auto found = object.find(key);
    if (found == object.end()) {
        if (required) return fail(fmt::format("the header has no key \"{}\"", key));
        return nullptr;
    }
    if (!found->is_array()) return mistyped(key, wanted);
    return &*found;
}

Result<std::vector<std::int64_t>> int_array(const Json& object, std::string_view key, bool required = true) {
    constexpr std::string_view wanted = "an array of integers";
    auto array = array_at(object, key, wanted, required);
    if (!array) return fail(std::move(array.error()));
    std::vector<std::int64_t> out;
    if (*array == nullptr) return out;
    for (const Json& item : **array) {
        // Non-negative integers are held unsigned, and may exceed int64.
        if (!item.is_number_integer() ||
            (item.is_number_unsigned() && item.get<std::uint64_t>() > std::uint64_t{INT64_MAX}))
            return mistyped(key, wanted);
        out.push_back(item.get<std::int64_t>());
    }
    return out;
}

Result<std::vector<std::size_t>> boundary_array(const Json& object, std::string_view key) {
    constexpr std::string_view wanted = "an array of integers from 0 up";
    auto array = array_at(object, key, wanted, true);
    if (!array) return fail(std::move(array.error()));
    std::vector<std::size_t> out;
    for (const Json& item : **array) {
        if (!item.is_number_unsigned()) return mistyped(key, wanted);
        out.push_back(item.get<std::size_t>());
    }
    return out;
}

Result<std::vector<std::string>> string_array(const Json& object, std::string_view key) {
    constexpr std::string_view wanted = "an array of strings";
    auto array = array_at(object, key, wanted, true);
    if (!array) return fail(std::move(array.error()));
    std::vector<std::string> out;
    for (const Json& item : **array) {
        if (!item.is_string()) return mistyped(key, wanted);
        out.push_back(item.get<std::string>());
    }
    return out;
}

Result<std::vector<std::optional<std::string>>> ref_point_array(const Json& object) {
    constexpr std::string_view key = "ref point";
    constexpr std::string_view wanted = "an array of strings and nulls";
    auto array = array_at(object, key, wanted, true);
    if (!array) return fail(std::move(array.error()));
    std::vector<std::optional<std::string>> out;
    for (const Json& item : **array) {
        if (item.is_null()) {
            out.emplace_back();
        } else if (item.is_string()) {
            out.emplace_back(item.get<std::string>());
        } else {
            return mistyped(key, wanted);
        }
    }
    return out;
}

// Every key the drawing needs, in the types it needs them.
Status read_keys(const Json& object, MatrixHeader& header) {
    auto take = [](auto result, auto& into) -> Status {
        if (!result) return fail(std::move(result.error()));
        into = std::move(*result);
        return {};
    };
    Status status = take(int_array(object, "upstream"), header.upstream);
    if (status) status = take(int_array(object, "downstream"), header.downstream);
    if (status) status = take(int_array(object, "body"), header.body);
    if (status) status = take(int_array(object, "bin size"), header.bin_size);
    if (status) status = take(int_array(object, "unscaled 5 prime", false), header.unscaled_5_prime);
    if (status) status = take(int_array(object, "unscaled 3 prime", false), header.unscaled_3_prime);
    if (status) status = take(ref_point_array(object), header.ref_point);
    if (status) status = take(string_array(object, "sample_labels"), header.sample_labels);
    if (status) status = take(boundary_array(object, "sample_boundaries"), header.sample_boundaries);
    if (status) status = take(string_array(object, "group_labels"), header.group_labels);
    if (status) status = take(boundary_array(object, "group_boundaries"), header.group_boundaries);
    return status;
}

// Boundaries [0, ...] with one entry more than there are labels, never
// decreasing. A matrix without rows may have [0, 0] and no labels.
Status check_boundaries(const std::vector<std::size_t>& bounds, std::size_t labels, std::string_view key,
                        std::string_view labels_key) {
    const bool empty_matrix = labels == 0 && bounds.size() == 2 && bounds[0] == 0 && bounds[1] == 0;
    if (bounds.size() != labels + 1 && !empty_matrix)
        return fail(fmt::format("the header's \"{}\" has {} entries for {} labels in \"{}\": it needs {}", key,
                                bounds.size(), labels, labels_key, labels + 1));
    if (bounds.front() != 0) return fail(fmt::format("the header's \"{}\" does not start at 0", key));
    for (std::size_t i = 1; i < bounds.size(); ++i)
        if (bounds[i] < bounds[i - 1])
            return fail(fmt::format("the header's \"{}\" decreases at entry {} (from {} to {})", key, i + 1,
                                    bounds[i - 1], bounds[i]));
    return {};
}

// Lengths are never negative and a bin is at least one base long.
Status check_lengths(const MatrixHeader& header) {
    const std::pair<std::string_view, const std::vector<std::int64_t>*> lengths[] = {
        {"upstream", &header.upstream},
        {"downstream", &header.downstream},
        {"body", &header.body},
        {"unscaled 5 prime", &header.unscaled_5_prime},
        {"unscaled 3 prime", &header.unscaled_3_prime},
        {"bin size", &header.bin_size},
    };
    for (const auto& [key, values] : lengths) {
        const std::int64_t least = key == "bin size" ? 1 : 0;
        for (const std::int64_t value : *values)
            if (value < least)
                return fail(fmt::format("the header's \"{}\" has the entry {}: it must be at least {}", key, value,
                                        least));
    }
    return {};
}

Status check_header(MatrixHeader& header) {
    const std::size_t samples = header.sample_labels.size();
    if (auto s = check_boundaries(header.sample_boundaries, samples, "sample_boundaries", "sample_labels"); !s)
        return s;
    if (auto s = check_boundaries(header.group_boundaries, header.group_labels.size(), "group_boundaries",
                                  "group_labels");
        !s)
        return s;
    // Other writers may leave the unscaled parts out.
    if (header.unscaled_5_prime.empty()) header.unscaled_5_prime.assign(samples, 0);
    if (header.unscaled_3_prime.empty()) header.unscaled_3_prime.assign(samples, 0);
    const std::pair<std::string_view, std::size_t> per_sample[] = {
        {"upstream", header.upstream.size()},
        {"downstream", header.downstream.size()},
        {"body", header.body.size()},
        {"bin size", header.bin_size.size()},
        {"unscaled 5 prime", header.unscaled_5_prime.size()},
        {"unscaled 3 prime", header.unscaled_3_prime.size()},
        {"ref point", header.ref_point.size()},
    };
    for (const auto& [key, size] : per_sample)
        if (size != samples)
            return fail(fmt::format("the header's \"{}\" has {} entries for {} samples: it needs one per sample", key,
                                    size, samples));
    return check_lengths(header);
}

}  // namespace

Result<MatrixHeader> parse_header_line(std::string_view line) {
    if (!line.starts_with('@')) return fail("line 1: the header line does not start with \"@\"");
    MatrixHeader header;
    header.json = line.substr(1);
    Json object;
    try {
        object = Json::parse(header.json);
    } catch (const Json::parse_error& e) {
        return fail(fmt::format("line 1, column {}: the header is not valid JSON", e.byte + 1));
    } catch (const Json::exception&) {
        return fail("line 1: the header is not valid JSON");
    }
    if (!object.is_object()) return fail("line 1: the header is not a JSON object");
    if (auto read = read_keys(object, header); !read) return fail(std::move(read.error()));
    if (auto checked = check_header(header); !checked) return fail(std::move(checked.error()));
    return header;
}

}  // namespace binscope
