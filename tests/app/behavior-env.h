// A small world for the behaviour tests: the engine up over the bundled
// data, the concrete behaviours registered, the game's `lib` loaded, a
// fresh `level` as a level start leaves it, a profile for the statistics
// and one simulation, active. Helpers build a worm from the bundled parts
// and listen to the sounds and effects the behaviours start.
#ifndef APP_BEHAVIOR_ENV_H
#define APP_BEHAVIOR_ENV_H

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include <box2d/box2d.h>

#include "app-env.h"
#include "game/game-level.h"
#include "game/game-lib.h"
#include "manager.h"
#include "particle-effects.h"
#include "physics/actor-behaviors.h"
#include "physics/b2-compat.h"
#include "profiles.h"
#include "recording-kd.h"

// The sounds played while it is installed, and the pan of each.
struct SoundSpy {
    static std::vector<kd_sound_t*>& played() {
        static std::vector<kd_sound_t*> p;
        return p;
    }
    static std::vector<float>& pans() {
        static std::vector<float> p;
        return p;
    }
    static long Play(kd_sound_t* s, float, float pan, float) {
        played().push_back(s);
        pans().push_back(pan);
        return 0;
    }
    // The pan of the last play of `slot` (-2 when it did not play).
    float Pan(LibSound slot) const {
        float pan = -2.0f;
        for (size_t i = 0; i < played().size(); i++)
            if (played()[i] && played()[i] == lib.Sound(slot)) pan = pans()[i];
        return pan;
    }
    RecordingKd r{kd};
    SoundSpy() {
        played().clear();
        pans().clear();
        r.table.PlaySound = Play;
        r.Install();
    }
    int Count(LibSound slot) const {
        int n = 0;
        for (kd_sound_t* s : played()) n += s && s == lib.Sound(slot);
        return n;
    }
};

struct BehaviorWorld {
    AppEnv env;
    AssetManager assets;
    Profile profile;
    PhysicsSimulation sim;

    BehaviorWorld() {
        srand(7);
        ActorBehaviors::InitActorBehaviors();
        pbman.Clear();
        pbman.Init();
        lib.Load(assets);
        level.Reset();
        // As a level start leaves them.
        level.lives = 3;
        level.lives_enabled = true;
        level.invulnerability = -1.0f;
        level.collect_bounce = -1.0f;
        level.drag_time = -1.0f;
        level.hud_fruit_position = {0.5f, 0.05f};
        profile.Reset("1.xml");
        prof = &profile;
        sim.InitWorld();
        PhysicsSimulation::active_sim = &sim;
    }
    ~BehaviorWorld() {
        sim.FreeWorld();
        level.Reset();
        prof = nullptr;
        lib.Clear();
        assets.ReleaseAllAssets();
        pbman.Clear();
        ActorBehaviors::FreeActorBehaviors();
    }

    void Bounds(float x1, float y1, float x2, float y2) {
        const float b[4] = {x1, y1, x2, y2};
        memcpy(sim.world_bounds, b, sizeof b);
    }
    ActorShape* Shape(const char* file) { return physics_man.GetShape(file); }
    // A definition of the test's own under "user://".
    ActorShape* Own(const std::string& name, const std::string& body) {
        return physics_man.GetShape(env.Write(name, body).c_str());
    }
    Actor* Add(ActorShape* s, float x, float y, float angle = 0) {
        return sim.CreateActor(s, {x, y}, {0, 0}, angle, 0, 1.5f);
    }
    Actor* Add(const char* file, float x, float y, float angle = 0) { return Add(Shape(file), x, y, angle); }

    // The bundled worm from (x0, y) to (x1, y) with `links` links.
    void Worm(float x0, float x1, float y, int links = 3) {
        Add("actors/game-worm-head.xml", x0, y);
        Add("actors/game-worm-tail.xml", x1, y);
        sim.worm_links = links;
        sim.worm_link_distance = (x1 - x0) / (float)(links + 1);
        sim.ConnectWorm();
    }
    // A worm of `parts` parts a metre or more apart with nothing joining
    // them: each part moves only as it is pushed.
    void LooseWorm(float x0, float x1, float y, int parts) {
        sim.worm_parts.InsertLast(Add("actors/game-worm-head.xml", x0, y));
        for (int k = 1; k < parts - 1; k++)
            sim.worm_parts.InsertLast(sim.CreateWormBody({x0 + (x1 - x0) * k / (parts - 1), y}, k));
        Actor* tail = Add("actors/game-worm-tail.xml", x1, y);
        tail->worm_index = parts - 1;
        sim.worm_parts.InsertLast(tail);
    }
    Actor* Head() { return sim.WormHead(); }
    Actor* Tail() { return sim.WormTail(); }

    void Run(int frames, float dt = 1.0f / 60) {
        for (int i = 0; i < frames; i++) sim.Update(dt);
    }
    // Frames until `done`, at most `max_frames`; true when it came.
    bool RunUntil(const std::function<bool()>& done, int max_frames = 240) {
        for (int i = 0; i < max_frames; i++) {
            if (done()) return true;
            sim.Update(1.0f / 60);
        }
        return done();
    }

    int Statistic(const char* name) {
        const char* v = profile.GetValue("GAME", name, "amount");
        return v ? atoi(v) : 0;
    }
    int JointsMarked(uintptr_t mark) {
        int n = 0;
        for (b2Joint* j = sim.world->GetJointList(); j; j = j->GetNext()) n += j->GetUserData().pointer == mark;
        return n;
    }
    // The particles of the front layer, in world metres.
    std::vector<b2Vec2> FrontParticles() {
        std::vector<b2Vec2> out;
        for (part_t* p = sim.front_particles.FirstLive(); p; p = sim.front_particles.NextLive(p))
            out.push_back(b2Vec2(p->x * sim.metres_per_pixel, p->y * sim.metres_per_pixel));
        return out;
    }
};

// A circle of the test's own, in the format of the actor definitions.
inline std::string Ball(const char* type, const char* tags, int radius, const char* extra = "") {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type + "\"/><node id=\"tags\" value=\"" +
           tags + "\"/>" + extra + "</array><array id=\"circle\"><node id=\"radius\" value=\"" +
           std::to_string(radius) + "\"/></array>";
}

// What the behaviours draw while a DrawSpy is installed: quads, sprites
// (with the frame selected last before each) and nothing on the screen.
struct DrawnQuad {
    kd_bitmap_t* bm;
    kd_vertex_t v[4];
};
struct DrawnSprite {
    kd_bitmap_t* bm;
    float x, y, angle, scale;
    int frame;
};
struct DrawSpy {
    std::vector<DrawnQuad> quads;
    std::vector<DrawnSprite> sprites;
    int frame = -1;

    static DrawSpy*& current() {
        static DrawSpy* d = nullptr;
        return d;
    }
    static void Quad(kd_bitmap_t* bm, kd_vertex_t* v) {
        DrawnQuad q{bm, {}};
        memcpy(q.v, v, sizeof q.v);
        current()->quads.push_back(q);
    }
    static void Sprite(kd_bitmap_t* bm, float x, float y, float a, float s) {
        current()->sprites.push_back({bm, x, y, a, s, current()->frame});
    }
    static void Frame(kd_bitmap_t*, int f) { current()->frame = f; }

    RecordingKd r{kd};
    DrawSpy() {
        current() = this;
        r.table.DrawBitmap4V = Quad;
        r.table.DrawBitmapRS = Sprite;
        r.table.SetBitmapFrame = Frame;
        r.Install();
    }
    ~DrawSpy() { current() = nullptr; }
    int Count(const kd_bitmap_t* bm) const {
        int n = 0;
        for (const DrawnSprite& s : sprites) n += s.bm == bm;
        return n;
    }
};

// A contact of two actors that touch now, or null.
inline b2Contact* Touching(b2World* world, const Actor* a, const Actor* b) {
    for (b2Contact* c = world->GetContactList(); c; c = c->GetNext()) {
        const Actor* x = B2GetFixtureActor(c->GetFixtureA());
        const Actor* y = B2GetFixtureActor(c->GetFixtureB());
        if (c->IsTouching() && ((x == a && y == b) || (x == b && y == a))) return c;
    }
    return nullptr;
}

#endif
