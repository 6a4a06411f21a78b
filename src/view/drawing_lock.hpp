// drawing_lock.hpp - one drawing at a time: a finished figure resets the
// drawing library's process-wide font caches (FontCacheRelease), which
// must not happen while another thread draws.
#pragma once

#include <mutex>

namespace binscope {

inline std::mutex& drawing_mutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace binscope
