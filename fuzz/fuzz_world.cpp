// Fuzzes the world-file and actor-definition readers all the way into
// Box2D: each input is loaded as a world file and as an actor definition,
// the world is built (with the game's own worm, wall and peg definitions
// at hand, so inputs reach the worm assembly and the capped wall rows),
// the camera is fitted and moved, the views and queries are asked, the
// world is stepped and saved through the writable place. Debian's Box2D
// aborts on what it cannot take (bad polygons, non-finite numbers, changes
// during a step), so any abort here is a value that got past the checks.
#include <stdint.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "physics/actor-behaviors.h"
#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "dataman.h"
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
    physics_man.Initialize();
    // The effect table's named mutex lives for the process; made here, so
    // that the first input that names an effect is not taken for a leak.
    kd->GetMutex("PART_FX_LOAD");
    return 0;
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
    return 0;
}
