// One frame of a menu screen with 40 components (buttons with texts, text
// boxes, images and nine-patches of the bundled data), update plus draw,
// through the screen manager on the engine's null renderer: the program's
// CPU time per frame at p50 and p95, and the drawing calls the frame makes
// to the engine. Build Release and run from anywhere:
//   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-release --target bench_screens && build-release/bench/bench_screens
// Options: --frames N (default 3000).
//
// This file is the engine's side (its start-up and frames); the screen is
// built and timed in bench_screens_ui.cpp, which sees only the program's
// headers.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kd-internal.h"
#include "rendimp.h"

bool BenchScreensSetUp(kodo_t* engine);
void BenchScreensFrame(float dt);
void BenchScreensReport();
void BenchScreensTearDown();

namespace {
kd_prog_t prog;
bool Init() { return true; }
void Shutdown() {}
void Update(float) {}
void Draw(float dt) { BenchScreensFrame(dt); }
int EventProc(kd_event_t) { return 0; }
}  // namespace

kd_prog_t* KD_GetInterface() {
    memset(&prog, 0, sizeof prog);
    prog.interface_version = KODO_INTERFACE_VERSION;
    prog.parms.reference_counting = true;
    prog.parms.width = 1024;
    prog.parms.height = 600;
    prog.Init = Init;
    prog.Shutdown = Shutdown;
    prog.Update = Update;
    prog.Draw = Draw;
    prog.EventProc = EventProc;
    return &prog;
}

int main(int argc, char** argv) {
    int frames = 3000;
    for (int i = 1; i + 1 < argc; i++)
        if (!strcmp(argv[i], "--frames")) frames = atoi(argv[i + 1]);
    // "res://" is the bundled data tree.
    char dir[] = "/tmp/kodo-bench-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) return 1;
    std::filesystem::create_directories("app");
    std::filesystem::create_directory_symlink(KODO_DATA_DIR, "app/native");
    KDID_SetRendImpFactory(GetRendImpNull);
    if (!KDI_PreInit(nullptr) || !KDI_Init()) {
        fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    kd_state.verbose_level = 2;  // the log lines of loading are not timed
    if (!BenchScreensSetUp(kodo_engine::kd)) return 1;
    for (int i = 0; i < frames; i++) KDI_Frame(16);
    BenchScreensReport();
    BenchScreensTearDown();
    KODO_Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
