// Sprite throughput of the OpenGL ES renderer: N textured 12 px sprites of
// one texture per frame through the drawing API (kd->DrawBitmap) at
// 1024 x 600, 600 frames each for N = 200 and N = 2000, on the real
// renderer and window. Prints frames per second, frame time p50 / p95 and
// the GL draw calls per frame.
//
// Run under Xvfb with a 1024 x 600 screen, for example:
//   xvfb-run -a -s "-screen 0 1024x600x24" build/bench/bench_sprites
// Options: --frames N (default 600), --sizes 200,2000.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <bps/bps.h>

#include "kd-internal.h"
#include "qnx-kodo.h"
#include "rendimp-gles.h"

namespace {

kd_prog_t prog;
kodo_t* pk = nullptr;
kd_bitmap_t* sprite = nullptr;
int sprite_count = 0;
unsigned frame_number = 0;

// Positions move each frame so that nothing is cached between frames.
struct Sprite {
    float x, y, vx, vy;
};
std::vector<Sprite> sprites;

void MakeSprites(int n) {
    sprites.resize((size_t)n);
    unsigned seed = 12345;
    auto rnd = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (float)((seed >> 8) & 0xFFFF) / 65535.0f;
    };
    for (auto& s : sprites) {
        s.x = rnd() * (1024 - 12);
        s.y = rnd() * (600 - 12);
        s.vx = (rnd() - 0.5f) * 4;
        s.vy = (rnd() - 0.5f) * 4;
    }
}

bool Init() { return true; }
void Shutdown() {}
void Update(float) {
    for (auto& s : sprites) {
        s.x += s.vx;
        s.y += s.vy;
        if (s.x < 0 || s.x > 1024 - 12) s.vx = -s.vx;
        if (s.y < 0 || s.y > 600 - 12) s.vy = -s.vy;
    }
}
void Draw(float) {
    pk->ClearScreen(0.1f, 0.1f, 0.15f);
    pk->SetBlend(0);
    pk->SetColor(1, 1, 1);
    pk->SetAlpha(1);
    for (int i = 0; i < sprite_count; i++) pk->DrawBitmap(sprite, sprites[(size_t)i].x, sprites[(size_t)i].y);
    frame_number++;
}
int EventProc(kd_event_t e) {
    if (e.type == KD_EVENT_PARMS) pk = (kodo_t*)e.id;
    return 0;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = (size_t)std::min<double>((double)v.size() - 1, floor(p * (double)(v.size() - 1) + 0.5));
    return v[i];
}

}  // namespace

kd_prog_t* KD_GetInterface() {
    memset(&prog, 0, sizeof prog);
    prog.interface_version = KODO_INTERFACE_VERSION;
    strcpy(prog.title, "bench-sprites");
    strcpy(prog.id, "bench-sprites");
    strcpy(prog.version, "1.0.0");
    strcpy(prog.developer_name, "Vantreo");
    prog.parms.width = 1024;
    prog.parms.height = 600;
    prog.parms.reference_counting = true;
    prog.parms.no_sound = true;
    prog.Init = Init;
    prog.Shutdown = Shutdown;
    prog.Update = Update;
    prog.Draw = Draw;
    prog.EventProc = EventProc;
    return &prog;
}

int main(int argc, char** argv) {
    int frames = 600;
    std::vector<int> sizes = {200, 2000};
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--sizes") && i + 1 < argc) {
            sizes.clear();
            for (char* t = strtok(argv[++i], ","); t; t = strtok(nullptr, ",")) sizes.push_back(atoi(t));
        } else {
            fprintf(stderr, "usage: %s [--frames N] [--sizes 200,2000]\n", argv[0]);
            return 2;
        }
    }
    if (frames < 1) frames = 1;
    setenv("KODO_DISPLAY_SIZE", "1024x600", 0);
    setenv("ORIENTATION", "0", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    // The engine writes its log under the working folder.
    char work[] = "/tmp/kodo-bench-XXXXXX";
    if (!mkdtemp(work) || chdir(work) != 0) {
        perror("bench work folder");
        return 1;
    }
    if (!KDQ_CreateWindow()) {
        fprintf(stderr, "no window: run under Xvfb (xvfb-run -a -s \"-screen 0 1024x600x24\")\n");
        return 1;
    }
    if (!KDI_PreInit(nullptr) || !KDI_Init()) {
        fprintf(stderr, "engine start-up failed\n");
        KDQ_DestroyWindow();
        return 1;
    }
    kd_state.active = true;
    pk = kd;
    bps_initialize();

    sprite = kd->CreateBitmap("sprite", 12, 12, 0);
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 12; x++) {
            uint8_t* p = sprite->pixels + (y * 12 + x) * 4;
            float d = hypotf((float)x - 5.5f, (float)y - 5.5f);
            p[0] = 255;
            p[1] = (uint8_t)(128 + x * 10);
            p[2] = (uint8_t)(64 + y * 15);
            p[3] = d < 6 ? 255 : 0;
        }
    sprite->flags |= KD_BITMAP_HAS_ALPHA;
    kd->RefreshBitmap(sprite);

    printf("bench_sprites: %s, window %dx%d, %d frames per run, one 12x12 texture (%dx%d texels)\n", ri->GetName(),
           kd_qnx_screen_width, kd_qnx_screen_height, frames, sprite->hw.tex_width, sprite->hw.tex_height);
    printf("%8s %10s %12s %12s %16s %14s\n", "sprites", "fps", "p50 ms", "p95 ms", "draw calls/frame",
           "quads/frame");
    for (int n : sizes) {
        sprite_count = n;
        MakeSprites(n);
        for (int i = 0; i < 30; i++) KDI_Frame(16);  // warm-up
        KDID_OGLES_ResetStats();
        std::vector<double> times;
        times.reserve((size_t)frames);
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; i++) {
            auto t0 = std::chrono::steady_clock::now();
            KDQ_DrainEvents();
            KDI_Frame(16);
            auto t1 = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
        double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const kd_gles_stats_t* s = KDID_OGLES_GetStats();
        printf("%8d %10.1f %12.3f %12.3f %16.2f %14.1f\n", n, frames / total, Percentile(times, 0.5),
               Percentile(times, 0.95), (double)s->draw_calls / (double)s->frames, (double)s->quads / (double)s->frames);
    }
    fflush(stdout);

    kd->ReleaseBitmap(sprite);
    bps_shutdown();
    KODO_Shutdown();
    KDQ_DestroyWindow();
    std::string cleanup = std::string("rm -rf '") + work + "'";
    if (system(cleanup.c_str()) != 0) fprintf(stderr, "could not remove %s\n", work);
    return 0;
}
