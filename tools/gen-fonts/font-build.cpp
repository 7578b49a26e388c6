// Turns font sources into `.sft` files with the engine's own generation.
//
//   kodo-font-build <data dir> <out dir> <font name>...
//
// The engine is started on the null renderer with <data dir> as res://;
// each font name (for example "fonts/small.sft") is generated from its
// source "<name>.xml" and written to <out dir>/<name>.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kd-file.h"
#include "kd-font.h"
#include "kd-internal.h"
#include "rendimp.h"

// The program record the engine loads: nothing to run.
static kd_prog_t record;
static bool Init() { return true; }
kd_prog_t* KD_GetInterface() {
    memset(&record, 0, sizeof record);
    record.interface_version = KODO_INTERFACE_VERSION;
    strncpy(record.title, "Font Build", sizeof record.title - 1);
    strncpy(record.developer_name, "Kodo Tools", sizeof record.developer_name - 1);
    record.parms.width = 1024;
    record.parms.height = 600;
    record.Init = Init;
    return &record;
}

// Warnings and errors of the engine reach the person running the build.
static void Sink(int level, const char* line, void*) {
    if (level >= 1) fprintf(stderr, "%s%s", line, line[0] && line[strlen(line) - 1] == '\n' ? "" : "\n");
}

int main(int argc, char** argv) {
    KDI_SetLogSink(Sink, nullptr);
    if (argc < 4) {
        fprintf(stderr, "usage: %s <data dir> <out dir> <font name>...\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path data = fs::absolute(argv[1]), out = fs::absolute(argv[2]);
    fs::path work = fs::temp_directory_path() / ("kodo-font-build-" + std::to_string(getpid()));
    fs::create_directories(work / "app", ec);
    fs::create_directory_symlink(data, work / "app" / "native", ec);
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
    for (int i = 3; status == 0 && i < argc; i++) {
        kd_font_t font;
        memset(&font, 0, sizeof font);
        font.name = argv[i];
        font.glyph_count = 256;
        font.glyphs = KDI_AllocGlyphs(256);
        fs::path target = out / argv[i];
        fs::create_directories(target.parent_path(), ec);
        // The engine writes inside its own trees; the file is then moved.
        bool ok = KDI_GenerateFontFromSource(&font, 1.0) && KDI_SaveFont(&font, "user://font-build.sft");
        char* native = ok ? KD_ConvertStaticPathToNativeOSPath("user://font-build.sft") : nullptr;
        if (native) {
            fs::copy_file(native, target, fs::copy_options::overwrite_existing, ec);
            fs::remove(native);
            free(native);
            ok = !ec;
        } else {
            ok = false;
        }
        if (!ok) {
            fprintf(stderr, "cannot build %s\n", argv[i]);
            status = 1;
        } else {
            printf("%s: size %d, line height %d\n", argv[i], font.size, font.line_height);
        }
        KDI_FreeGlyphs(font.glyphs, font.glyph_count);
    }
    KODO_Shutdown();
    if (chdir("/") != 0) status = 1;
    fs::remove_all(work, ec);
    return status;
}
