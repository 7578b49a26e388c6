// The program's side of bench_level_frame: a level started as the game
// starts it, a finger that swings the worm now and then (or the game's
// replay of a fixed input), and the timing of each frame's update plus
// draw.
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dataman.h"
#include "framework-kd.h"
#include "game/game-dezidedi.h"
#include "game/game-replay.h"
#include "game/screen-game-dezidedi.h"
#include "luaman.h"
#include "particle-effects.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "profiles.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/ui-widgets.h"

namespace {

Profile player;
std::vector<double> times;
int frame = 0;
int steps = 0;
int held = 0;
int trace_every = 0;

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

kd_event_t Touch(int type, vec2_t p, vec2_t prev) { return GameDeziDedi::TouchEvent(type, p, prev); }

// Every 4 s: the free end is taken, pulled round a quarter circle of 200
// pixels in half a second and flung.
vec2_t grab_at = {0, 0}, pointer = {0, 0};
void Finger() {
    const int phase = frame % 240;
    GameDeziDedi& g = game_dezidedi;
    if (phase == 0) {
        Actor* head = g.sim.WormHead();
        Actor* tail = g.sim.WormTail();
        Actor* end = tail && tail->welded && head && !head->welded ? head : tail;
        if (!end || !end->body) return;
        b2Vec2 p = end->body->GetPosition();
        grab_at = pointer = g.sim.TransformWorldPositionToScreen(vec2_t{p.x, p.y});
        kd_event_t e = Touch(KD_EVENT_BUTTON_DOWN, pointer, pointer);
        screen_GameDeziDedi.ProcessEvent(&e);
    } else if (phase <= 30) {
        const float a = (float)phase / 30.0f * 1.5707964f;
        const vec2_t next = {grab_at.x + 200.0f * sinf(a), grab_at.y - 200.0f * (1.0f - cosf(a))};
        kd_event_t e = Touch(KD_EVENT_POINTER_MOVE, next, pointer);
        pointer = next;
        screen_GameDeziDedi.ProcessEvent(&e);
    } else if (phase == 31) {
        kd_event_t e = Touch(KD_EVENT_BUTTON_UP, pointer, pointer);
        screen_GameDeziDedi.ProcessEvent(&e);
    }
}

// Where the worm's ends and the boss are on the screen, and how the fight
// stands.
void Trace() {
    GameDeziDedi& g = game_dezidedi;
    printf("step %d hash %016llx", game_replay.step, (unsigned long long)game_replay.hash);
    const Actor* show[3] = {g.sim.WormHead(), g.sim.WormTail(), nullptr};
    for (int i = 0; i < g.sim.actors.count; i++)
        if (g.sim.actors[i]->Has(TAG_BOSS)) show[2] = g.sim.actors[i];
    const char* names[3] = {"head", "tail", "boss"};
    for (int i = 0; i < 3; i++) {
        if (!show[i] || !show[i]->body) continue;
        const b2Vec2 p = show[i]->body->GetPosition();
        const vec2_t s = g.sim.TransformWorldPositionToScreen(vec2_t{p.x, p.y});
        const b2Vec2 v = show[i]->body->GetLinearVelocity();
        printf(" %s %.0f %.0f (%.2f %.2f) v (%.1f %.1f)%s", names[i], s.x, s.y, p.x, p.y, v.x, v.y,
               show[i]->welded ? " welded" : "");
    }
    if (show[2]) printf(" boss hp %g", (double)show[2]->hit_points);
    printf(" killed %d lives %d\n", level.bugs_killed, level.lives);
}

}  // namespace

// N still actors of the level's first actor's shape in rows of 100 to the
// right of the world, static so that the steps stay the level's own. Bare:
// the same bodies and fixtures without actors, which only Box2D knows of;
// the level beside those is the floor under the actors' cost.
void AddOffscreenActors(int n, bool bare) {
    PhysicsSimulation& sim = game_dezidedi.sim;
    ActorShape* shape = nullptr;
    for (int i = 0; i < sim.actors.count && !shape; i++)
        if (sim.actors[i]->shape && sim.actors[i]->shape->bitmap) shape = sim.actors[i]->shape;
    if (!shape) return;
    for (int i = 0; i < n; i++) {
        vec2_t at = {sim.world_bounds[2] + 40.0f + (float)(i % 100) * 2.0f,
                     sim.world_bounds[1] + (float)(i / 100) * 2.0f};
        if (bare) {
            b2BodyDef def;
            def.position.Set(at.x, at.y);
            shape->CreateFixtureForBody(sim.world->CreateBody(&def), sim.metres_per_pixel, nullptr);
            continue;
        }
        Actor* a = sim.CreateActor(shape, at, vec2_t{0, 0}, 0, sim.actors.count, 0);
        if (a && a->body) a->body->SetType(b2_staticBody);
    }
}

bool BenchLevelSetUp(kodo_t* engine, const char* world, const std::string& replay, int trace, int offscreen,
                     bool bare) {
    trace_every = trace;
    kd = engine;
    lua_man.Initialize();
    ScreenMan::RegisterLuaFunctions();
    UIRegisterWidgetKinds();
    sman.reference_width = sman.virtual_width = sman.actual_width = 1024;
    sman.reference_height = sman.virtual_height = sman.actual_height = 600;
    physics_man.Initialize();
    pbman.Init();
    // A player past the prologue and the first level's hints.
    player.Reset("bench.xml");
    player.AddTag("INFO", "STORY_START_SHOWN");
    player.SetValue("LEVELS", "E01_L01", "completed", "1");
    prof = &player;
    if (!game_man.SetActiveGame("DeziDedi")) return false;
    sman.PreloadScreen(&screen_GameDeziDedi);
    sman.PushScreen(&screen_GameDeziDedi, 0);
    if (!replay.empty() && !game_replay.Parse(replay.c_str(), "replay")) {
        fprintf(stderr, "the replay has no line to play\n");
        return false;
    }
    if (!game_dezidedi.InitLevel(world) || !game_dezidedi.sim.WormTail()) {
        fprintf(stderr, "the level '%s' did not start with its worm\n", world);
        return false;
    }
    // The level start takes its weather from the timeline's event, which
    // the bench has not got: the episode's, from the world's name
    // ("worlds/e02-..."), started as the level start starts it.
    const char* e = strstr(world, "/e0");
    const int episode = e ? e[3] - '0' : 0;
    if (episode >= 1 && episode <= 6 && !strstr(world, "bonus")) {
        level.weather_theme = (episode + 1) / 2;
        game_dezidedi.UpdateWeather(100);
        game_dezidedi.sim.back_particles.UpdateParts(3.0f);
    }
    // Straight to play, no view of the goal first, unless the level is
    // replayed as the game plays it.
    if (!game_replay.Active()) level.camera_mode = CAMERA_PLAY;
    AddOffscreenActors(offscreen, bare);
    return true;
}

void BenchLevelFrame(float dt) {
    if (frame > 60 && !game_replay.Active()) Finger();
    double start = CpuSeconds();
    dt = game_replay.FrameStep(dt);
    sman.Update(dt);
    sman.DrawScreens(dt);
    times.push_back(CpuSeconds() - start);
    if (trace_every > 0 && frame % trace_every == 0) Trace();
    steps += game_dezidedi.sim.last_steps;
    held += game_dezidedi.mouse_joint != nullptr;
    frame++;
}

void BenchLevelReport(const char* renderer) {
    // The first second takes the bitmaps and fades the screen in.
    size_t skip = times.size() > 200 ? 60 : 0;
    std::vector<double> t(times.begin() + (long)skip, times.end());
    std::sort(t.begin(), t.end());
    if (t.empty()) return;
    for (int i = 0; i < game_dezidedi.sim.actors.count; i++) {
        const Actor* a = game_dezidedi.sim.actors[i];
        if (a->Has(TAG_BOSS)) printf("the boss has %g hit points left\n", (double)a->hit_points);
    }
    printf("the worm has %d lives left\n", level.lives);
    printf("level with the worm, %s, %d actors, %zu frames (%d physics steps, the worm held in %d): CPU per "
           "frame update plus draw p50 %.3f ms, p95 %.3f ms, max %.3f ms\n",
           renderer, game_dezidedi.sim.actors.count, t.size(), steps, held, t[t.size() / 2] * 1000,
           t[t.size() * 95 / 100] * 1000, t.back() * 1000);
}

void BenchLevelTearDown() {
    sman.Shutdown();
    game_man.UnloadGameImplementation(&game_dezidedi);
    prof = nullptr;
    dman.ReleaseDatabase(player.GetDatabase());
}
