// Fuzzes the world-file and actor-definition readers all the way into
// Box2D: each input is loaded as a world file and as an actor definition,
// the world is built and stepped. Debian's Box2D aborts on what it cannot
// take (bad polygons, non-finite numbers, changes during a step), so any
// abort here is a value that got past the checks.
#include <stdint.h>

#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "dataman.h"
#include "physics/physics-manager.h"

kodo_t* FuzzEngineSetup();

static ActorBehavior* default_behavior;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kd = FuzzEngineSetup();
    default_behavior = new ActorBehavior("DEFAULT");
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
    for (int i = 0; i < 5; i++) sim.Update(1.0f / 60);
    sim.SaveWorld("user://fuzz-saved.xml");
    sim.FreeWorld();
    return 0;
}
