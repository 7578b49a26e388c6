// Fuzzes the package reader: each input is written as a package file,
// opened, and every entry it lists is opened, read to the end and sought
// around through the package opener. Reads must stay inside their entry.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <string>

#include "fuzz-temp.h"
#include "kd-file.h"

// The engine asks the program for its record; the fuzzer has none.
kd_prog_t* KD_GetInterface() { return nullptr; }

static std::string pak_file;

static void Setup() {
    static bool done = false;
    if (done) return;
    done = true;
    // The engine's roots point into a folder of this process's own, which
    // goes at exit; the working folder stays, so libFuzzer's relative
    // corpus paths keep working in -jobs runs.
    static char folder[512];
    snprintf(folder, sizeof folder, "%s/kodo-fuzz-pak-XXXXXX", FuzzTempDir().c_str());
    if (!mkdtemp(folder)) abort();
    atexit([] { std::error_code ec; std::filesystem::remove_all(folder, ec); });
    std::string res = std::string(folder) + "/app/native";
    std::filesystem::create_directories(res);
    pak_file = res + "/f.pak";
    kd_state.verbose_level = 3;  // refusals are expected; keep the output quiet
    kd_state.main_thread_id = KDT_GetCurrentThreadId();
    KDI_InitFileSystem();
    if (!KDFS_SetRoot(3, res.c_str())) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup();
    FILE* f = fopen(pak_file.c_str(), "wb");
    if (!f) abort();
    if (size) fwrite(data, 1, size, f);
    fclose(f);

    KDI_CreateFileOpeners();
    pak_t* pak = kd_pak_file_opener->GetPakForPakFilename("res://f.pak");
    if (pak) {
        if (pak->count < 0 || (pak->count > 0 && !pak->entries)) abort();
        for (int i = 0; i < pak->count && i < 64; i++) {
            const pak_entry_t& e = pak->entries[i];
            if ((uint64_t)e.offset + e.size > (uint64_t)pak->size) abort();
            std::string name = std::string("res://f/") + e.name;
            kd_file_t* h = KD_OpenFile(name.c_str(), "rb");
            if (!h) continue;
            char buf[256];
            long total = 0;
            unsigned got;
            while ((got = KD_fread(buf, 1, sizeof buf, h)) > 0) total += got;
            if (total > h->size) abort();
            if (KD_fseek(h, h->size + 1, SEEK_SET)) abort();
            if (KD_fseek(h, -1, SEEK_SET)) abort();
            if (KD_fseek(h, 0, SEEK_END) && KD_ftell(h) != h->size) abort();
            KD_fgetc(h);
            KD_CloseFile(h);
        }
    }
    KDI_FreeFileOpeners();
    if (kd_state.open_file_handles != 0) abort();
    return 0;
}
