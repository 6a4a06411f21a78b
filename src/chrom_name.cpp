// chrom_name.cpp - the process-wide store of chromosome names.
#include "chrom_name.hpp"

#include <mutex>
#include <ostream>
#include <unordered_set>

#include "text_util.hpp"

namespace binscope {

namespace {

struct NameStore {
    std::mutex mutex;
    std::unordered_set<std::string, TextHash, std::equal_to<>> names;  // nodes never move
};

}  // namespace

const std::string* ChromName::intern(std::string_view name) {
    if (name.empty()) return nullptr;
    // Never freed, so that no name dangles, even in static destructors.
    static NameStore* const store = new NameStore;
    const std::lock_guard lock(store->mutex);
    auto found = store->names.find(name);
    if (found == store->names.end()) found = store->names.emplace(name).first;
    return &*found;
}

std::ostream& operator<<(std::ostream& out, ChromName name) { return out << name.view(); }

}  // namespace binscope
