// gzip_text.cpp - zlib's gz reader and a raw inflate walk over members.
#include "harness/gzip_text.hpp"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace binscope::bench {

namespace {

struct GzCloser {
    void operator()(gzFile_s* f) const { gzclose(f); }
};
using GzFile = std::unique_ptr<gzFile_s, GzCloser>;

GzFile open_gz(const std::string& path) {
    GzFile f(gzopen(path.c_str(), "rb"));
    if (!f) throw std::runtime_error("cannot open " + path);
    gzbuffer(f.get(), 1 << 20);
    return f;
}

// Fills buf as far as the file goes; returns the bytes read.
std::size_t fill(gzFile f, char* buf, std::size_t size, const std::string& path) {
    std::size_t done = 0;
    while (done < size) {
        const int n = gzread(f, buf + done, static_cast<unsigned>(size - done));
        if (n < 0) throw std::runtime_error("cannot decompress " + path);
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace

std::string gunzip_file(const std::string& path) {
    GzFile f = open_gz(path);
    std::string out;
    std::vector<char> buf(1 << 22);
    while (const std::size_t n = fill(f.get(), buf.data(), buf.size(), path)) out.append(buf.data(), n);
    return out;
}

bool same_matrix_text(const std::string& a, const std::string& b, std::string& where) {
    GzFile fa = open_gz(a), fb = open_gz(b);
    // The header lines, with the thread count taken out.
    auto header = [](gzFile f) {
        std::string line;
        for (int c; (c = gzgetc(f)) != -1;) {
            line += static_cast<char>(c);
            if (c == '\n') break;
        }
        const std::string key = "\"proc number\":";
        if (const auto at = line.find(key); at != std::string::npos) {
            const auto digits = at + key.size();
            line.erase(digits, line.find_first_not_of("0123456789", digits) - digits);
        }
        return line;
    };
    const std::string ha = header(fa.get()), hb = header(fb.get());
    if (ha != hb) {
        where = "the header lines differ";
        return false;
    }
    std::vector<char> ba(1 << 20), bb(1 << 20);
    std::uint64_t offset = ha.size();
    while (true) {
        const std::size_t na = fill(fa.get(), ba.data(), ba.size(), a);
        const std::size_t nb = fill(fb.get(), bb.data(), bb.size(), b);
        const std::size_t n = std::min(na, nb);
        if (std::memcmp(ba.data(), bb.data(), n) != 0) {
            std::size_t i = 0;
            while (ba[i] == bb[i]) ++i;
            where = "texts differ at byte " + std::to_string(offset + i);
            return false;
        }
        if (na != nb) {
            where = "one text ends at byte " + std::to_string(offset + n);
            return false;
        }
        if (na == 0) return true;
        offset += n;
    }
}

std::uint64_t gzip_member_count(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) throw std::runtime_error("cannot open " + path);
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) throw std::runtime_error("inflateInit2 failed");
    std::vector<unsigned char> in(1 << 20), out(1 << 20);
    std::uint64_t members = 0;
    bool in_member = false;
    int rc = Z_OK;
    while (true) {
        if (z.avail_in == 0) {
            z.avail_in = static_cast<uInt>(std::fread(in.data(), 1, in.size(), f));
            z.next_in = in.data();
            if (z.avail_in == 0) break;
        }
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        in_member = true;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            ++members;
            in_member = false;
            inflateReset(&z);
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            break;
        }
    }
    inflateEnd(&z);
    std::fclose(f);
    if (in_member || (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR))
        throw std::runtime_error("damaged gzip file " + path);
    return members;
}

}  // namespace binscope::bench
