// One frame of a level with the worm (the first by default), update plus
// draw, through the screen manager and the game screen: the program's CPU
// time per frame at p50 and p95, with the worm swung by a scripted finger
// every few seconds so the world keeps moving, or played by a replay file
// of the game (progs/app/game/game-replay.h) one fixed step per frame. By default on the OpenGL ES renderer
// in a window (Mesa's software renderer under Xvfb); --null takes the
// engine's null renderer. Build Release:
//   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-release --target bench_level_frame
//   KODO/host/tests/with_xvfb.sh build-release/bench/bench_level_frame
// Options: --frames N (default 3000), --null, --start (the level start
// against the actors of a world, bench_level_start.cpp), --level (or --world)
// worlds/<file>.xml,
// --replay <file> (a path of the file system), --offscreen N (N still
// actors of the level's first shape in rows beside the world, never in
// view: what drawing only what is seen saves; with --bare, the same static
// bodies without actors, which only Box2D knows of: the floor), --trace N (every N frames a
// line of where the worm's ends and the boss are on the screen, for
// writing replays).
//
// This file is the engine's side (its start-up and frames); the level is
// set up, driven and timed in bench_level_frame_game.cpp, which sees only
// the program's headers.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <bps/bps.h>

#include "kd-internal.h"
#include "qnx-kodo.h"
#include "rendimp-gles.h"
#include "rendimp.h"

bool BenchLevelSetUp(kodo_t* engine, const char* world, const std::string& replay, int trace, int offscreen, bool bare);
void BenchLevelFrame(float dt);
void BenchLevelReport(const char* renderer);
void BenchLevelTearDown();
void BenchLevelStart();

namespace {
kd_prog_t prog;
bool Init() { return true; }
void Shutdown() {}
void Update(float) {}
void Draw(float dt) { BenchLevelFrame(dt); }
int EventProc(kd_event_t) { return 0; }
}  // namespace

kd_prog_t* KD_GetInterface() {
    memset(&prog, 0, sizeof prog);
    prog.interface_version = KODO_INTERFACE_VERSION;
    strcpy(prog.title, "bench-level-frame");
    strcpy(prog.id, "bench-level-frame");
    strcpy(prog.version, "1.0.0");
    strcpy(prog.developer_name, "Vantreo");
    prog.parms.reference_counting = true;
    prog.parms.no_sound = false;
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
    bool null_renderer = false;
    bool start_only = false;
    const char* world = "worlds/e01-l01.xml";
    std::string replay;
    int trace = 0;
    int offscreen = 0;
    bool bare = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--null")) {
            null_renderer = true;
        } else if (!strcmp(argv[i], "--start")) {
            start_only = true;
        } else if (!strcmp(argv[i], "--offscreen") && i + 1 < argc) {
            offscreen = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--bare")) {
            bare = true;
        } else if (!strcmp(argv[i], "--trace") && i + 1 < argc) {
            trace = atoi(argv[++i]);
        } else if ((!strcmp(argv[i], "--level") || !strcmp(argv[i], "--world")) && i + 1 < argc) {
            world = argv[++i];
        } else if (!strcmp(argv[i], "--replay") && i + 1 < argc) {
            std::ifstream in(argv[++i]);
            std::stringstream text;
            text << in.rdbuf();
            replay = text.str();
            if (!in || replay.empty()) {
                fprintf(stderr, "cannot read the replay '%s'\n", argv[i]);
                return 2;
            }
        } else {
            fprintf(stderr,
                    "usage: %s [--frames N] [--null] [--start] [--level worlds/FILE.xml] [--replay FILE] [--trace N] "
                    "[--offscreen N [--bare]]\n",
                    argv[0]);
            return 2;
        }
    }
    if (frames < 100) frames = 100;
    setenv("KODO_DISPLAY_SIZE", "1024x600", 0);
    setenv("ORIENTATION", "0", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // "res://" is the bundled data tree.
    char dir[] = "/tmp/kodo-bench-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) return 1;
    std::filesystem::create_directories("app");
    std::filesystem::create_directory_symlink(KODO_DATA_DIR, "app/native");
    bool window = false;
    if (null_renderer) {
        KDID_SetRendImpFactory(GetRendImpNull);
    } else if (!(window = KDQ_CreateWindow())) {
        fprintf(stderr, "no window: run under Xvfb (KODO/host/tests/with_xvfb.sh), or pass --null\n");
        return 1;
    }
    if (!KDI_PreInit(nullptr) || !KDI_Init()) {
        fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    kd_state.active = true;
    kd_state.verbose_level = 2;  // the log lines of loading are not timed
    if (window) bps_initialize();
    if (!BenchLevelSetUp(kodo_engine::kd, world, replay, trace, offscreen, bare)) return 1;
    if (start_only) {
        BenchLevelStart();
        return 0;
    }
    // The whole engine frame as well, by the wall clock and by the CPU
    // time of every thread of the process: the software renderer finishes
    // the drawing in threads of its own at present.
    std::vector<double> wall, cpu;
    auto process_ms = [] {
        timespec t;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return (double)t.tv_sec * 1e3 + (double)t.tv_nsec * 1e-6;
    };
    for (int i = 0; i < frames; i++) {
        auto t0 = std::chrono::steady_clock::now();
        double c0 = process_ms();
        if (window) KDQ_DrainEvents();
        KDI_Frame(16);
        cpu.push_back(process_ms() - c0);
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    BenchLevelReport(null_renderer ? "null renderer" : ri->GetName());
    if (!null_renderer) {
        const kd_gles_stats_t* st = KDID_OGLES_GetStats();
        if (st->frames) printf("draw calls per frame %.1f\n", (double)st->draw_calls / (double)st->frames);
    }
    for (std::vector<double>* v : {&wall, &cpu}) {
        v->erase(v->begin(), v->begin() + 60);
        std::sort(v->begin(), v->end());
    }
    printf("whole engine frame with present: wall clock p50 %.3f ms, p95 %.3f ms; CPU of all threads p50 %.3f ms, "
           "p95 %.3f ms\n",
           wall[wall.size() / 2], wall[wall.size() * 95 / 100], cpu[cpu.size() / 2], cpu[cpu.size() * 95 / 100]);
    BenchLevelTearDown();
    if (window) bps_shutdown();
    KODO_Shutdown();
    if (window) KDQ_DestroyWindow();
    std::filesystem::remove_all(dir);
    return 0;
}
