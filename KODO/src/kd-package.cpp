// Packages: one "<folder>.pak" file standing for a folder of read-only
// resources. The directory is read once and kept in memory; entry bytes are
// read through handles of their own (kd-file.cpp).
//
// Everything read from the file is checked against the real file size
// before it is used, so a damaged package is refused as a whole (one log
// line) and never makes the reader run outside the file.
#include "kd-file.h"

char* pak_strdup(const char* s) { return nStringDuplicate(s ? s : ""); }

void Pak_Close(pak_t* pak) {
    if (!pak) return;
    if (pak->file) KD_CloseFile(pak->file);
    if (pak->entries) {
        for (int i = 0; i < pak->count; i++) free(pak->entries[i].name);
        free(pak->entries);
    }
    free(pak->name);
    memset(pak, 0, sizeof *pak);
}

static bool PakRefuse(pak_t* pak, const char* path, const char* reason) {
    KD_PrintDebugf(KD_LOG_ERROR, "Damaged package '%s' refused: %s.\n", path, reason);
    Pak_Close(pak);
    return false;
}

bool Pak_Open(pak_t* pak, const char* path) {
    if (!pak || !path) return false;
    kd_file_t* f = KD_OpenFile(path, "rb");
    if (!f) return false;  // no package here: the normal case, no message

    memset(pak, 0, sizeof *pak);
    pak->name = pak_strdup(path);
    pak->file = f;
    pak->size = f->size;

    unsigned char header[KD_PAK_HEADER_SIZE];
    size_t got = KD_fread(header, 1, sizeof header, f);
    uint64_t realSize = pak->size < 0 ? 0 : (uint64_t)pak->size;
    uint32_t dirOffset = 0;
    const char* why = KDPak_CheckHeader(header, got, realSize, &dirOffset);
    if (why) return PakRefuse(pak, path, why);
    pak->directoryOffset = dirOffset;

    unsigned char countBytes[4];
    if (!KD_fseek(f, (long)dirOffset, SEEK_SET) || KD_fread(countBytes, 1, 4, f) != 4)
        return PakRefuse(pak, path, "directory unreadable");
    uint32_t count = KDPak_Get32(countBytes);
    why = KDPak_CheckCount(count, dirOffset, realSize);
    if (why) return PakRefuse(pak, path, why);
    if (count == 0) return true;

    // Read the directory in one go: no more than the entries can use, and
    // no more than the file holds after the count.
    uint64_t room = realSize - dirOffset - 4;
    uint64_t most = (uint64_t)count * (KD_PAK_MAX_NAME + KD_PAK_ENTRY_FIXED);
    size_t dirBytes = (size_t)(room < most ? room : most);
    unsigned char* dir = (unsigned char*)malloc(dirBytes);
    pak->entries = (pak_entry_t*)calloc(count, sizeof(pak_entry_t));
    if (!dir || !pak->entries) {
        free(dir);
        return PakRefuse(pak, path, "out of memory");
    }
    if (KD_fread(dir, 1, (unsigned)dirBytes, f) != dirBytes) {
        free(dir);
        return PakRefuse(pak, path, "directory unreadable");
    }

    size_t at = 0;
    for (uint32_t i = 0; i < count; i++) {
        kd_pak_raw_entry_t raw;
        size_t used = 0;
        why = KDPak_ParseEntry(dir + at, dirBytes - at, realSize, &raw, &used);
        if (why) {
            free(dir);
            return PakRefuse(pak, path, why);
        }
        pak_entry_t& e = pak->entries[i];
        e.name = pak_strdup(raw.name);
        e.offset = raw.offset;
        e.size = raw.size;
        e.reserved[0] = raw.reserved0;
        e.reserved[1] = raw.reserved1;
        pak->count = (int32_t)(i + 1);  // so that Pak_Close frees what exists
        if (!e.name) {
            free(dir);
            return PakRefuse(pak, path, "out of memory");
        }
        at += used;
    }
    free(dir);
    return true;
}

pak_entry_t* Pak_GetFileInfo(pak_t* pak, const char* entryName) {
    if (!pak || !entryName) return nullptr;
    for (int i = 0; i < pak->count; i++) {
        const char* n = pak->entries[i].name;
        if (n && strcasecmp(n, entryName) == 0) return &pak->entries[i];
    }
    return nullptr;
}
