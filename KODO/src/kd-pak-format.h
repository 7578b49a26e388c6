// The package file format, shared by the engine's package reader and the
// packing tool. All integers are unsigned 32-bit little-endian; offsets
// count from the start of the file.
//
//   0   8  magic "PAK\0V11\0"
//   8   4  directory offset
//   12  4  total file size (must equal the real size)
//   16  .. entry data
//   dir 4  entry count, then per entry: NUL-terminated name (1-511 bytes
//          with the NUL), offset, size and two reserved words
//
// Header-only so that the tool does not link the engine.
#ifndef KD_PAK_FORMAT_H
#define KD_PAK_FORMAT_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

static const unsigned char KD_PAK_MAGIC[8] = {'P', 'A', 'K', 0, 'V', '1', '1', 0};
enum {
    KD_PAK_HEADER_SIZE = 16,
    KD_PAK_MAX_NAME = 511,  // bytes including the NUL
    KD_PAK_ENTRY_FIXED = 16,
    KD_PAK_MIN_ENTRY = 1 + KD_PAK_ENTRY_FIXED,
};

inline uint32_t KDPak_Get32(const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline void KDPak_Put32(unsigned char* p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

// Checks the 16-byte header against the real file size. Returns null when
// sound, else the reason; `dirOffset` receives the directory offset.
inline const char* KDPak_CheckHeader(const unsigned char* header, size_t avail, uint64_t realSize,
                                     uint32_t* dirOffset) {
    if (avail < KD_PAK_HEADER_SIZE) return "file shorter than the header";
    if (memcmp(header, KD_PAK_MAGIC, sizeof KD_PAK_MAGIC) != 0) return "wrong magic";
    uint32_t dir = KDPak_Get32(header + 8);
    uint32_t stored = KDPak_Get32(header + 12);
    if ((uint64_t)stored != realSize) return "stored size differs from the file size";
    if (dir < KD_PAK_HEADER_SIZE || (uint64_t)dir + 4 > realSize) return "directory offset outside the file";
    *dirOffset = dir;
    return nullptr;
}

// Checks the entry count read at the directory offset: every entry takes at
// least KD_PAK_MIN_ENTRY bytes, so the count cannot exceed what fits.
inline const char* KDPak_CheckCount(uint32_t count, uint32_t dirOffset, uint64_t realSize) {
    uint64_t room = realSize - (uint64_t)dirOffset - 4;
    if ((uint64_t)count > room / KD_PAK_MIN_ENTRY) return "entry count larger than the directory can hold";
    return nullptr;
}

struct kd_pak_raw_entry_t {
    const char* name;  // points into the parsed bytes
    uint32_t offset, size, reserved0, reserved1;
};

// Parses one directory entry from `p` (`avail` bytes). On success fills
// `e`, sets `used` and returns null; else returns the reason.
inline const char* KDPak_ParseEntry(const unsigned char* p, size_t avail, uint64_t realSize,
                                    kd_pak_raw_entry_t* e, size_t* used) {
    size_t limit = avail < (size_t)KD_PAK_MAX_NAME ? avail : (size_t)KD_PAK_MAX_NAME;
    const unsigned char* nul = (const unsigned char*)memchr(p, 0, limit);
    if (!nul) return avail < (size_t)KD_PAK_MAX_NAME ? "directory cut short" : "entry name too long";
    size_t nameBytes = (size_t)(nul - p) + 1;
    if (avail - nameBytes < KD_PAK_ENTRY_FIXED) return "directory cut short";
    const unsigned char* f = p + nameBytes;
    e->name = (const char*)p;
    e->offset = KDPak_Get32(f);
    e->size = KDPak_Get32(f + 4);
    e->reserved0 = KDPak_Get32(f + 8);
    e->reserved1 = KDPak_Get32(f + 12);
    if ((uint64_t)e->offset > realSize || (uint64_t)e->size > realSize - e->offset)
        return "entry outside the file";
    *used = nameBytes + KD_PAK_ENTRY_FIXED;
    return nullptr;
}

#ifdef __cplusplus
#include <string>
#include <utility>
#include <vector>

// Lays out a package from (entry name, bytes) pairs: header, the entries'
// bytes in the given order, then the directory. False (with a reason) when
// a name is empty or too long, or the package would not fit 32-bit offsets.
inline bool KDPak_Build(const std::vector<std::pair<std::string, std::string> >& entries,
                        std::vector<unsigned char>& out, std::string* error = nullptr) {
    out.assign(KD_PAK_HEADER_SIZE, 0);
    memcpy(out.data(), KD_PAK_MAGIC, sizeof KD_PAK_MAGIC);
    std::vector<uint32_t> offsets;
    for (const auto& e : entries) {
        if (e.first.empty() || e.first.size() > KD_PAK_MAX_NAME - 1 || e.first.find('\0') != std::string::npos) {
            if (error) *error = "bad entry name '" + e.first + "'";
            return false;
        }
        if (out.size() + e.second.size() > 0xffffffffull) {
            if (error) *error = "package larger than 4 GB";
            return false;
        }
        offsets.push_back((uint32_t)out.size());
        out.insert(out.end(), e.second.begin(), e.second.end());
    }
    uint64_t dir = out.size();
    unsigned char word[4];
    KDPak_Put32(word, (uint32_t)entries.size());
    out.insert(out.end(), word, word + 4);
    for (size_t i = 0; i < entries.size(); i++) {
        const std::string& name = entries[i].first;
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        uint32_t fields[4] = {offsets[i], (uint32_t)entries[i].second.size(), 0, 0};
        for (uint32_t f : fields) {
            KDPak_Put32(word, f);
            out.insert(out.end(), word, word + 4);
        }
    }
    if (out.size() > 0xffffffffull) {
        if (error) *error = "package larger than 4 GB";
        return false;
    }
    KDPak_Put32(out.data() + 8, (uint32_t)dir);
    KDPak_Put32(out.data() + 12, (uint32_t)out.size());
    return true;
}
#endif

#endif
