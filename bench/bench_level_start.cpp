// The level start against the number of actors a world places: the first
// level's world with N more static pegs, either all on the spot where the
// worm hangs (every peg overlaps the worm and each other) or spread over
// the world on a grid. Up to the cap the pegs are in the world file and
// the whole GameDeziDedi::InitLevel is timed (the world read and built, the
// 41 settling steps, the camera); past the cap, where a file cannot place
// them, the pegs are created in code after the world is loaded and the
// same 41 steps are timed. Run by bench_level_frame --start; build Release.
#include <stdio.h>
#include <time.h>

#include <string>

#include "framework-kd.h"
#include "game/game-dezidedi.h"
#include "physics/actor.h"
#include "physics/world-file.h"

namespace {

// CPU time of the thread: the other programs of a busy machine do not count.
double Seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

// Where peg `i` of `n` goes: on the worm, or on a grid over the world.
vec2_t PegAt(int i, int n, bool overlapping) {
    if (overlapping) return vec2_t{-13.75f, -6.0f};
    int side = 1;
    while (side * side < n) side++;
    return vec2_t{-21.0f + 42.0f * (float)(i % side) / (float)side, -17.0f + 22.0f * (float)(i / side) / (float)side};
}

// The first level's world with `n` pegs added, written where the game reads
// "user://" names.
std::string WriteWorld(int n, bool overlapping) {
    std::string text =
        "<root>\n<array id=\"info\">\n<node id=\"world_bounds\" x1=\"-22\" y1=\"-18\" x2=\"22\" y2=\"6\" />\n"
        "</array>\n<array id=\"actors\">\n"
        "<node actor=\"actors/peg.xml\" x=\"-15\" y=\"-6\" />\n"
        "<node actor=\"actors/game-worm-head.xml\" x=\"-15\" y=\"-7.15\" />\n"
        "<node actor=\"actors/game-worm-tail.xml\" x=\"-12.5\" y=\"-4.8\" />\n";
    char line[128];
    for (int i = 0; i < n; i++) {
        const vec2_t p = PegAt(i, n, overlapping);
        snprintf(line, sizeof line, "<node actor=\"actors/peg.xml\" x=\"%.3f\" y=\"%.3f\" />\n", p.x, p.y);
        text += line;
    }
    text += "</array>\n</root>\n";
    const std::string name = "user://bench-start.xml";
    kd_file_t* f = kd->OpenFile(name.c_str(), "wb");
    if (!f) return "";
    kd->fwrite(text.data(), 1, (unsigned)text.size(), f);
    kd->CloseFile(f);
    return name;
}

// The whole level start on a world file.
double TimeLevelStart(int n, bool overlapping) {
    const std::string world = WriteWorld(n, overlapping);
    const double t0 = Seconds();
    game_dezidedi.InitLevel(world.c_str());
    return Seconds() - t0;
}

// The world file read and built alone, without the level's settling.
double TimeWorldLoad(int n, bool overlapping) {
    const std::string world = WriteWorld(n, overlapping);
    const double t0 = Seconds();
    game_dezidedi.sim.LoadWorld(world.c_str());
    return Seconds() - t0;
}

// The settling steps with pegs made in code on top of the file's.
double TimeSettling(int n, bool overlapping) {
    const std::string world = WriteWorld(0, overlapping);
    game_dezidedi.InitLevel(world.c_str());
    PhysicsSimulation& sim = game_dezidedi.sim;
    ActorShape* peg = physics_man.GetShape("actors/peg.xml");
    const double t0 = Seconds();
    for (int i = 0; i < n; i++) sim.CreateActor(peg, PegAt(i, n, overlapping), vec2_t{0, 0}, 0, 0, 1.5f);
    for (int i = 0; i < 41; i++) sim.Update(0.05f);
    return Seconds() - t0;
}

}  // namespace

void BenchLevelStart() {
    const int cap = WORLD_MAX_ACTORS - 3;  // the worm's two ends and its peg
    for (bool overlapping : {true, false}) {
        const char* how = overlapping ? "overlapping" : "spread";
        for (int n : {cap / 4, cap / 2, cap * 3 / 4})
            printf("  %5d %s pegs from the file: level start %.3f s\n", n, how, TimeLevelStart(n, overlapping));
        printf("level start at the cap, %d %s pegs from the file: %.3f s (the world read and built alone %.3f s)\n",
               cap, how, TimeLevelStart(cap, overlapping), TimeWorldLoad(cap, overlapping));
        for (int n : {500, 1000, 2000, 4000, 8000})
            printf("  %5d %s pegs made in code: creation and 41 settling steps %.3f s\n", n, how,
                   TimeSettling(n, overlapping));
    }
}
