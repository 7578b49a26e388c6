// Turns numbered frame images into `.bms` bitmap sequences with the
// engine's own sequence code, and checks `.bms` files with its reader.
//
//   kodo-bms-build build <frames dir> <out dir>
//       every "<name>-0000.png" under <frames dir> starts a sequence; its
//       frames "<name>-NNNN.png" are loaded, packed and written as
//       <out dir>/<name>.bms, which is then read back.
//   kodo-bms-build check <dir> <name>[:spec]...
//       reads each file under <dir> with the engine's own readers: a
//       `.bms` with its sequence reader (spec: the frame count), any other
//       picture with its image loader (spec: WxH, the size it must have).
//
// The game must not write sequences into its bundled data at run time, so
// they are made here, at build time, by exactly the code that would
// otherwise make them on the player's device.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kd-bitmap-seq.h"
#include "kd-file.h"
#include "kd-internal.h"
#include "rendimp.h"

namespace fs = std::filesystem;

// The program record the engine loads: nothing to run.
static kd_prog_t record;
static bool Init() { return true; }
kd_prog_t* KD_GetInterface() {
    memset(&record, 0, sizeof record);
    record.interface_version = KODO_INTERFACE_VERSION;
    strncpy(record.title, "Sequence Build", sizeof record.title - 1);
    strncpy(record.developer_name, "Kodo Tools", sizeof record.developer_name - 1);
    record.parms.width = 1024;
    record.parms.height = 600;
    record.Init = Init;
    return &record;
}

// Only warnings and errors reach the person running the build: the
// engine's start-up and packing lines would drown the build output.
static void Sink(int level, const char* line, void*) {
    if (level == KD_LOG_WARNING || level == KD_LOG_ERROR)
        fprintf(stderr, "%s%s", line, line[0] && line[strlen(line) - 1] == '\n' ? "" : "\n");
}

static bool ReadWhole(const fs::path& p, std::vector<uint8_t>* out) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Parses a sequence file with the engine's reader; frames < 0 accepts any
// count. Prints what it found.
static bool Check(const fs::path& file, const std::string& name, int frames) {
    std::vector<uint8_t> data;
    if (!ReadWhole(file, &data)) {
        fprintf(stderr, "%s: cannot read\n", file.c_str());
        return false;
    }
    kd_bitmap_t bm;
    memset(&bm, 0, sizeof bm);
    bool ok = KDI_LoadBitmapSequenceMem(&bm, data.data(), data.size(), name.c_str());
    if (ok && frames >= 0 && bm.frame_count != frames) {
        fprintf(stderr, "%s: %d frames, expected %d\n", name.c_str(), bm.frame_count, frames);
        ok = false;
    }
    if (ok) {
        printf("%s: %d frames of %dx%d in a %dx%d atlas\n", name.c_str(), bm.frame_count, bm.frames[0].width,
               bm.frames[0].height, bm.atlas->width, bm.atlas->height);
    } else {
        fprintf(stderr, "%s: not a readable sequence\n", name.c_str());
    }
    KDI_FreeBitmapFrames(&bm);
    return ok;
}

// Loads a picture (PNG, JPEG) through the engine's image loader; an empty
// size accepts any.
static bool CheckImage(const std::string& name, const std::string& size) {
    kd_bitmap_t bm;
    memset(&bm, 0, sizeof bm);
    KDI_InitBitmap(&bm, name.c_str());
    bool ok = KDI_LoadImageIntoBitmap(&bm, name.c_str());
    char got[32] = "";
    if (ok) snprintf(got, sizeof got, "%dx%d", bm.width, bm.height);
    if (ok && !size.empty() && size != got) {
        fprintf(stderr, "%s: %s, expected %s\n", name.c_str(), got, size.c_str());
        ok = false;
    }
    if (!ok && !got[0]) fprintf(stderr, "%s: not a readable picture\n", name.c_str());
    free(bm.pixels);
    free(bm.name);
    return ok;
}

static bool Build(const fs::path& frames_dir, const fs::path& out_dir) {
    // Sorted, so that the build does the same work in the same order.
    std::vector<std::string> names;
    for (auto& e : fs::recursive_directory_iterator(frames_dir)) {
        std::string rel = fs::relative(e.path(), frames_dir).generic_string();
        const std::string tail = "-0000.png";
        if (rel.size() > tail.size() && rel.compare(rel.size() - tail.size(), tail.size(), tail) == 0)
            names.push_back(rel.substr(0, rel.size() - tail.size()));
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        fprintf(stderr, "no frames under %s\n", frames_dir.c_str());
        return false;
    }
    bool all = true;
    for (const std::string& name : names) {
        std::string bms = name + ".bms";
        kd_bitmap_t bm;
        memset(&bm, 0, sizeof bm);
        KDI_InitBitmap(&bm, bms.c_str());
        // Frames are read through res://, which is the frames folder.
        std::string pattern = name + "-*.png";
        fs::path target = out_dir / bms;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        bool ok = KDI_LoadBitmapSequenceFromFiles(&bm, pattern.c_str()) && bm.frame_count > 0;
        int count = bm.frame_count;
        if (ok) {
            KDI_OptimizeBitmapSequence(&bm);
            ok = KDI_SaveBitmapSequence(&bm, target.c_str());
        }
        KDI_FreeBitmapFrames(&bm);
        free(bm.name);
        ok = ok && Check(target, bms, count);
        if (!ok) {
            fprintf(stderr, "cannot build %s\n", bms.c_str());
            all = false;
        }
    }
    return all;
}

int main(int argc, char** argv) {
    KDI_SetLogSink(Sink, nullptr);
    if (argc < 4 || (strcmp(argv[1], "build") != 0 && strcmp(argv[1], "check") != 0)) {
        fprintf(stderr,
                "usage: %s build <frames dir> <out dir>\n"
                "       %s check <dir> <name>[:frames or WxH]...\n",
                argv[0], argv[0]);
        return 2;
    }
    bool build = strcmp(argv[1], "build") == 0;
    std::error_code ec;
    fs::path first = fs::absolute(argv[2]);
    fs::path out = build ? fs::absolute(argv[3]) : first;
    // The engine reads res:// from app/native under its working folder.
    fs::path work = fs::temp_directory_path() / ("kodo-bms-build-" + std::to_string(getpid()));
    fs::create_directories(work / "app", ec);
    fs::create_directory_symlink(first, work / "app" / "native", ec);
    if (ec || chdir(work.c_str()) != 0) {
        fprintf(stderr, "cannot prepare %s\n", work.c_str());
        return 1;
    }
    KDID_SetRendImpFactory(GetRendImpNull);
    int status = 0;
    if (!KDI_PreInit(nullptr) || !KDI_Init()) {
        fprintf(stderr, "engine start failed\n");
        status = 1;
    }
    if (status == 0) {
        if (build) {
            if (!Build(first, out)) status = 1;
        } else {
            int checked = 0;
            for (int i = 3; i < argc; i++) {
                std::string arg = argv[i], spec;
                size_t colon = arg.rfind(':');
                if (colon != std::string::npos) {
                    spec = arg.substr(colon + 1);
                    arg.resize(colon);
                }
                bool seq = arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".bms") == 0;
                bool ok = seq ? Check(first / arg, arg, spec.empty() ? -1 : atoi(spec.c_str())) : CheckImage(arg, spec);
                if (!ok) status = 1;
                checked++;
            }
            if (status == 0) printf("%d files read back\n", checked);
        }
    }
    KODO_Shutdown();
    if (chdir("/") != 0) status = 1;
    fs::remove_all(work, ec);
    return status;
}
