// Fuzzes the world-file and actor-definition readers all the way into
// Box2D: each input is loaded as a world file and as an actor definition,
// the world is built (with the game's own worm, wall and peg definitions
// at hand, so inputs reach the worm assembly and the capped wall rows),
// the camera is fitted and moved, the views and queries are asked, the
// world is stepped and saved through the writable place; then the game
// starts a level on the same input (its contact filter, the tail sized on
// the level's worm, targets outside the world dropped, the camera on the
// goal or the worm), a finger drags the worm and the level runs a few
// frames; the input is also read as a replay of fixed input. Debian's Box2D
// aborts on what it cannot take (bad polygons, non-finite numbers, changes
// during a step), so any abort here is a value that got past the checks.
#include <math.h>
#include <stdint.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "dataman.h"
#include "game/game-dezidedi.h"
#include "game/game-replay.h"
#include "game/game-rules.h"
#include "physics/actor-behaviors.h"
#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "physics/physics-manager.h"

kodo_t* FuzzWorldEngineSetup();

#ifndef KODO_DATA_DIR
#error "KODO_DATA_DIR names the bundled data tree"
#endif

// The fuzzer has no renderer: a texture upload would wait for one to come
// back. Pictures are decoded into memory only, which gives their sizes.
static kd_bitmap_t* (*engine_load_bitmap)(const char*, int);
static kd_bitmap_t* LoadBitmapInMemory(const char* name, int) { return engine_load_bitmap(name, KD_CACHE_SOFTWARE); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kd = FuzzWorldEngineSetup();
    engine_load_bitmap = kd->LoadBitmap;
    kd->LoadBitmap = LoadBitmapInMemory;
    // A copy of the game's actor definitions and their pictures as the
    // program's data (never the project's tree itself: saves must not be
    // able to reach it even if the writable place broke).
    std::error_code ec;
    const std::string data = KODO_DATA_DIR;
    std::filesystem::copy(data + "/actors", "app/native/actors", std::filesystem::copy_options::recursive, ec);
    for (const char* f : {"materials.xml", "ammos.xml"})
        std::filesystem::copy_file(data + "/" + f, std::string("app/native/") + f, ec);
    GameRules::Install();
    physics_man.Initialize();
    // The effect table's named mutex lives for the process; made here, so
    // that the first input that names an effect is not taken for a leak.
    kd->GetMutex("PART_FX_LOAD");
    return 0;
}

static kd_event_t Touch(int type, vec2_t p, vec2_t prev) { return GameDeziDedi::TouchEvent(type, p, prev); }

// The level start on the input and a few frames of play: a finger on the
// tail (or wherever the worm would be), dragged and let go; the camera's
// intro and its following.
static void PlayLevel() {
    GameDeziDedi& game = game_dezidedi;
    game.InitLevel("user://fuzz-world.xml");
    level.camera_arrived = true;
    Actor* tail = game.sim.WormTail();
    vec2_t at = {100, 100};
    if (tail && tail->body) at = game.sim.TransformWorldPositionToScreen({tail->body->GetPosition().x, tail->body->GetPosition().y});
    if (!isfinite(at.x) || !isfinite(at.y) || fabsf(at.x) > 1e6f || fabsf(at.y) > 1e6f) at = {100, 100};
    kd_event_t down = Touch(KD_EVENT_BUTTON_DOWN, at, at);
    game.ProcessEvent(&down);
    vec2_t prev = at;
    for (int i = 1; i <= 8; i++) {
        vec2_t p = {at.x + 25.0f * i, at.y - 15.0f * i};
        kd_event_t move = Touch(KD_EVENT_POINTER_MOVE, p, prev);
        game.ProcessEvent(&move);
        prev = p;
        game.NormalUpdate(1.0f / 60, false);
    }
    kd_event_t up = Touch(KD_EVENT_BUTTON_UP, {prev.x + 60, prev.y}, prev);
    game.ProcessEvent(&up);
    if (game.fling_requested)
        game.FlingWorm();
    else if (game.release_requested)
        game.DestroyMouseJoint();
    level.camera_mode = CAMERA_RETURNING;
    game.WormholeZoomUpdate(0.1f, false);
    level.camera_mode = CAMERA_PLAY;
    for (int i = 0; i < 4; i++) game.NormalUpdate(1.0f / 60, false);
    game.FreeWorld();
}

static bool WriteInput(const char* path, const uint8_t* data, size_t size) {
    kd_file_t* f = kd->OpenFile(path, "wb");
    if (!f) return false;
    bool ok = kd->WriteFile(data, (unsigned)size, f) == size;
    kd->CloseFile(f);
    return ok;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    // Seeds name "user://fuzz-actor.xml" as an actor: the same input is
    // then also an actor definition.
    if (!WriteInput("user://fuzz-world.xml", data, size)) return 0;
    if (!WriteInput("user://fuzz-actor.xml", data, size)) return 0;
    dman.ReleaseDatabase("user://fuzz-world.xml");
    dman.ReleaseDatabase("user://fuzz-actor.xml");
    physics_man.shapes.Free();

    PhysicsSimulation sim;
    sim.LoadWorld("user://fuzz-world.xml");
    ActorShape* shape = physics_man.GetShape("user://fuzz-actor.xml");
    sim.CreateActor(shape, {0, 0}, {1, 0}, 0.3f, 1, 1.5f);

    // The camera over whatever bounds the input gave, and the views and
    // queries over whatever it built.
    sim.SetCameraToFitWorldOnScreen();
    vec2_t target = sim.GetCameraLimit(sim.GetCameraTarget());
    sim.SetCameraTarget(target, true);
    sim.SetCameraZoom(sim.zoom * 1.5f);
    for (int i = 0; i < sim.actors.count; i++) {
        sim.IsInView(sim.actors[i]);
        sim.IsPartlyInView(sim.actors[i]);
    }
    if (Actor* head = sim.WormHead()) sim.SetCameraTarget({head->body->GetPosition().x, head->body->GetPosition().y}, true);
    if (Actor* tail = sim.WormTail()) sim.SimulateExplosion({tail->body->GetPosition().x, tail->body->GetPosition().y}, 2, 5, tail);
    for (int i = 0; i < 5; i++) sim.Update(1.0f / 60);
    sim.TransformScreenPositionToWorld(sim.TransformWorldPositionToScreen(target));
    sim.GetActorAt(target);
    sim.QueryActorInsideBox(target, 4, 4);
    sim.ActorsAtRest();
    // Through the writable place, as the editors save.
    sim.SaveWorld("res://data/worlds/fuzz-saved.xml");
    shape->Save("fuzz-saved-actor.xml");
    sim.FreeWorld();

    PlayLevel();
    std::string text((const char*)data, size);
    game_replay.Parse(text.c_str(), "fuzz input");
    game_replay.Clear();
    return 0;
}
