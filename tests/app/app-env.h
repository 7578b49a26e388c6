// A started engine in a fresh folder whose "res://" tree is the project's
// data, with the default behaviour registered, for the game's tests.
#ifndef APP_TEST_ENV_H
#define APP_TEST_ENV_H

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dataman.h"
#include "fw-support.h"
#include "game/game-rules.h"
#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "physics/physics-manager.h"

// Counts what the simulation asks of it.
class CountingBehavior : public ActorBehavior {
public:
    explicit CountingBehavior(const char* behavior_name, bool destroys = true)
        : ActorBehavior(behavior_name), destroy(destroys) {}
    void Init(Actor*) override { inits++; }
    void Update(Actor*, float) override { updates++; }
    bool ShouldBeDestroyed(Actor*) override { return destroy; }
    void OnDestroyed(Actor*) override { destroyed++; }
    bool destroy;
    int inits = 0, updates = 0, destroyed = 0;
};

struct AppEnv {
    std::string dir;
    std::unique_ptr<FwEngine> engine;
    std::unique_ptr<CountingBehavior> def;
    AppEnv() {
        char tmpl[] = "/tmp/kodo-app-XXXXXX";
        if (mkdtemp(tmpl)) dir = tmpl;
        std::filesystem::create_directories(dir + "/app");
        const char* data = getenv("KODO_TEST_DATA");
        if (data) std::filesystem::create_directory_symlink(data, dir + "/app/native");
        engine.reset(new FwEngine(dir));
        GameRules::Install();
        def.reset(new CountingBehavior("DEFAULT"));
    }
    ~AppEnv() {
        physics_man.shapes.Free();
        def.reset();
        engine.reset();
        std::filesystem::remove_all(dir);
    }
    // Whether the bundled data tree (the project's data/, linked as
    // "res://") holds this file: nothing the game saves may land there.
    static bool InBundle(const std::string& rel) {
        const char* data = getenv("KODO_TEST_DATA");
        return data && std::filesystem::exists(std::string(data) + "/" + rel);
    }
    // The world of every level the timeline plays, in the player's order.
    static std::vector<std::string> TimelineWorlds() {
        std::vector<std::string> worlds;
        DMArray* events = dman.GetDatabase("timeline.xml")->GetArray("timeline");
        for (int e = 0; events && e < events->GetSize(); e++) {
            const char* world = events->GetNode(e)->GetValue("level");
            if (world && nStringsMatch(events->GetNode(e)->GetValue("type"), "GAME")) worlds.push_back(world);
        }
        return worlds;
    }
    // Writes a database file under "user://" and gives its engine name.
    std::string Write(const std::string& name, const std::string& body) {
        std::filesystem::create_directories(std::filesystem::path(engine->UserPath(name)).parent_path());
        WriteNative(engine->UserPath(name), "<?xml version=\"1.0\"?>\n<root>\n" + body + "</root>\n");
        dman.ReleaseDatabase(("user://" + name).c_str());
        return "user://" + name;
    }
};

#endif
