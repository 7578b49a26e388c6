// Particle effects: the bundled effect scripts parsed into their
// parameters, chains of records, defaults, emitters, spawning into a pool
// with the randomised ranges, trails (including a spacing of 0 or less),
// the full table, and loading from two threads at once.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "fw-support.h"
#include "luaman.h"
#include "manager.h"
#include "particle-effects.h"
#include "recording-kd.h"

namespace {

const float kPi = 3.14159265f;

void ScoreDone(part_t*) {}

// The engine started in a folder whose "res://" is the bundled data tree.
struct FxEnv {
    std::string dir;
    std::unique_ptr<FwEngine> engine;
    FxEnv() {
        char tmpl[] = "/tmp/kodo-fx-XXXXXX";
        if (mkdtemp(tmpl)) dir = tmpl;
        std::filesystem::create_directories(dir + "/app");
        const char* data = getenv("KODO_TEST_DATA");
        if (data) std::filesystem::create_directory_symlink(data, dir + "/app/native");
        engine.reset(new FwEngine(dir));
        pbman.Clear();
        pbman.Init();
        pbman.AddPartDeathFunc("score_done", ScoreDone);
    }
    ~FxEnv() {
        pbman.Clear();
        engine.reset();
        std::filesystem::remove_all(dir);
    }
    // A script of the test's own under "user://".
    std::string Script(const std::string& name, const std::string& text) {
        WriteNative(engine->UserPath(name), text);
        return "user://" + name;
    }
};

int Opaque(const char* png) {
    kd_bitmap_t* bm = kd->LoadBitmap(png, 6);
    int n = GetNumberOfInnerPoints(bm);
    kd->ReleaseBitmap(bm);
    return n;
}

}  // namespace

TEST(Effects, BundledScriptsParseIntoTheirParameters) {
    FxEnv env;
    ASSERT_TRUE(env.engine->started);
    ASSERT_TRUE(getenv("KODO_TEST_DATA"));
    fx_t* fx = pbman.GetFX("fxs/sparks.lua");
    ASSERT_TRUE(fx);
    EXPECT_STREQ(fx->name, "fxs/sparks.lua");
    EXPECT_TRUE(fx->referenced);
    EXPECT_FALSE(fx->continued);
    EXPECT_EQ(fx->num_parts, 24);
    EXPECT_EQ(fx->blend, 1);
    ASSERT_EQ(fx->num_bitmaps, 1);
    ASSERT_TRUE(fx->bitmaps[0]);
    EXPECT_EQ(fx->num_sounds, 2);
    EXPECT_TRUE(fx->sounds[0] && fx->sounds[1]);
    EXPECT_FLOAT_EQ(fx->sound_volume.min, 0.6f);
    EXPECT_FLOAT_EQ(fx->sound_freq.max, 1.1f);
    EXPECT_FLOAT_EQ(fx->speed.min, 80);
    EXPECT_FLOAT_EQ(fx->speed.max, 220);
    EXPECT_FLOAT_EQ(fx->initial_move.max, 6);
    EXPECT_FLOAT_EQ(fx->dampening.min, 0.3f);
    EXPECT_FLOAT_EQ(fx->mass.max, 40);
    EXPECT_FLOAT_EQ(fx->age.max, 0.05f);
    EXPECT_FLOAT_EQ(fx->age_to_die.min, 0.6f);
    EXPECT_NEAR(fx->move_angle, -kPi / 2, 1e-5);
    EXPECT_NEAR(fx->move_angle_spread, 2 * kPi, 1e-5);
    EXPECT_NEAR(fx->rotation_angle_spread, kPi, 1e-5);
    EXPECT_NEAR(fx->rotation.min, -2 * kPi, 1e-5);
    EXPECT_EQ(fx->alpha_curve.num_points, 3);
    EXPECT_FLOAT_EQ(fx->alpha_curve.Evaluate(0.85f), 0.5f);
    EXPECT_EQ(fx->scale_curve.num_points, 2);
    EXPECT_EQ(fx->emitter_type, 1);  // "time"
    EXPECT_FLOAT_EQ(fx->emitter_interval, 0.05f);
    ASSERT_TRUE(fx->emitter_fx);
    EXPECT_STREQ(fx->emitter_fx->name, "fxs/trail-dot.lua");
    EXPECT_EQ(fx->emitter_fx_name, nullptr);  // resolved and freed
    EXPECT_EQ(fx->emitter_fx->blend, 1);     // "additive" in any case
    // Defaults: scale and dampening never set in the dot give (1, 1); its
    // curves are the presets.
    EXPECT_FLOAT_EQ(fx->emitter_fx->dampening.min, 1);
    EXPECT_EQ(fx->emitter_fx->alpha_curve.num_points, 2);
    EXPECT_FLOAT_EQ(fx->emitter_fx->alpha_curve.Evaluate(0.25f), 0.75f);
    EXPECT_EQ(fx->emitter_fx->scale_curve.num_points, 1);

    // Three records chained; areas from the ring image.
    fx_t* ring = pbman.GetFX("fxs/ring-glow.lua");
    ASSERT_TRUE(ring);
    EXPECT_TRUE(ring[0].continued);
    EXPECT_TRUE(ring[1].continued);
    EXPECT_FALSE(ring[2].continued);
    EXPECT_STREQ(ring[1].name, "&");
    EXPECT_STREQ(ring[2].name, "&");
    int opaque = Opaque("images/ring.png");
    EXPECT_GT(opaque, 0);
    EXPECT_EQ(ring[0].area_point_count, opaque);
    EXPECT_TRUE(ring[0].area_bitmap);
    EXPECT_GT(ring[1].area_point_count, 0);
    EXPECT_TRUE(ring[1].edge_bitmap);
    EXPECT_LT(ring[1].area_point_count, opaque * 2);
    EXPECT_FLOAT_EQ(ring[2].edge_angle, 45);
    // Centred edge points lie within half the image around 0.
    for (int i = 0; i < ring[2].num_edge_points; i++) {
        EXPECT_LE(abs(ring[2].edge_points[i * 2]), 8);
        EXPECT_LE(abs(ring[2].edge_points[i * 2 + 1]), 8);
    }
    EXPECT_FLOAT_EQ(ring[2].area_box.x, 4);
    EXPECT_FLOAT_EQ(ring[2].area_radius.max, 14);
    EXPECT_EQ(ring[2].emitter_type, 0);  // "DISTANCE"
    EXPECT_EQ(ring[2].emitter_fx, fx->emitter_fx);  // the dot, loaded once

    fx_t* score = pbman.GetFX("fxs/score-text.lua");
    ASSERT_TRUE(score);
    EXPECT_STREQ(score->text, "+100");
    EXPECT_EQ(score->death_func, ScoreDone);
    EXPECT_EQ(score->num_sounds, 1);
    EXPECT_EQ(score->font, kd->GetFont("fonts/medium.sft"));
}

TEST(Effects, LoadingRulesAndScriptEdgeCases) {
    FxEnv env;
    RecordingKd r(kd);
    r.Install();
    // Loaded once: the second GetFX does not run the script again.
    std::string once = env.Script("once.lua", "FXParm('num_parts', 3) FXParm('num_parts', 2 + (counter or 0)) counter = (counter or 0) + 1");
    fx_t* a = pbman.GetFX(once.c_str());
    fx_t* b = pbman.GetFX(once.c_str());
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->num_parts, 2);
    int caching = 0;
    for (auto& line : rec().prints)
        if (line.find("..caching particle burst '" + once + "'") != std::string::npos) caching++;
    EXPECT_EQ(caching, 1);

    // Nothing set: one record, no particles, no sounds, ranges at (1, 1)
    // where they default; spawning does nothing.
    fx_t* empty = pbman.GetFX(env.Script("empty.lua", "-- nothing").c_str());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->num_parts, 0);
    EXPECT_FLOAT_EQ(empty->alpha.min, 1);
    EXPECT_FLOAT_EQ(empty->scale.max, 1);
    EXPECT_FLOAT_EQ(empty->sound_volume.min, 1);
    PartMan pool(16);
    pbman.SpawnFX(&pool, empty, vec2_t{1, 1}, 0, 0);
    EXPECT_EQ(pool.live_count, 0);
    pbman.SpawnFX(nullptr, empty, vec2_t{1, 1}, 0, 0);
    pbman.SpawnFX(&pool, nullptr, vec2_t{1, 1}, 0, 0);

    // A pair given one number takes 0 as its second; unknown names are
    // logged; lower-case "distance"; a missing emitter type is by time.
    fx_t* odd = pbman.GetFX(env.Script("odd.lua",
                                       "FXParm('speed', 100) FXParm('wobble', 1) FXParm('emitter_type', 'distance') "
                                       "FXParm('alpha', 0.5, 0.5) FXParm('blend_mode', 'loud') FXParm('death_func', 'nope')")
                                .c_str());
    ASSERT_TRUE(odd);
    EXPECT_FLOAT_EQ(odd->speed.min, 100);
    EXPECT_FLOAT_EQ(odd->speed.max, 0);
    EXPECT_EQ(odd->emitter_type, 0);
    EXPECT_EQ(odd->blend, 0);
    EXPECT_EQ(odd->death_func, nullptr);
    EXPECT_TRUE(rec().Has(rec().prints, "WARNING: unknown burst parm 'wobble'"));
    fx_t* timed = pbman.GetFX(env.Script("timed.lua", "FXParm('emitter_type')").c_str());
    EXPECT_EQ(timed->emitter_type, 1);

    // Outside a loading script the parameter functions do nothing.
    lua_State* L = pbman.GetLuaState();
    ASSERT_TRUE(L);
    EXPECT_TRUE(lua_man.ExecLuaString(L, "FXParm('num_parts', 99) AddFX()"));
    EXPECT_EQ(odd->num_parts, 0);

    // A missing script leaves the defaults; a '!' name is not run.
    fx_t* missing = pbman.GetFX("fxs/no-such-effect.lua");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->num_parts, 0);
    fx_t* bang = pbman.GetFX("!builtin");
    ASSERT_TRUE(bang);
    EXPECT_FLOAT_EQ(bang->alpha.max, 1);
    EXPECT_EQ(pbman.GetFX(nullptr), nullptr);

    // Reloading runs every script again and keeps every effect by name.
    int before = pbman.GetNumberOfRecords();
    pbman.ReloadAllFXs();
    EXPECT_EQ(pbman.GetNumberOfRecords(), before);
    EXPECT_EQ(pbman.GetFX(once.c_str())->num_parts, 3);  // the script's global counter went on

    // Death functions: exact names, at most 32.
    pbman.Init();
    for (int i = 0; i < 33; i++) pbman.AddPartDeathFunc(("f" + std::to_string(i)).c_str(), ScoreDone);
    EXPECT_EQ(pbman.GetPartDeathFunc("f31"), ScoreDone);
    EXPECT_EQ(pbman.GetPartDeathFunc("f32"), nullptr);
    EXPECT_EQ(pbman.GetPartDeathFunc("F1"), nullptr);
    EXPECT_TRUE(rec().Has(rec().prints, "PartBurstMan: Too many Part Death Funcs registered, not using 'f32'"));
}

TEST(Effects, TheTableHoldsTwoHundredFiftySixRecords) {
    FxEnv env;
    RecordingKd r(kd);
    r.Install();
    // A script that asks for a record more than the table has.
    std::string greedy = env.Script("greedy.lua", "for i = 1, 300 do AddFX() FXParm('num_parts', 1) end");
    fx_t* g = pbman.GetFX(greedy.c_str());
    ASSERT_TRUE(g);
    EXPECT_EQ(pbman.GetNumberOfRecords(), 256);
    EXPECT_FALSE(pbman.GetRecord(255)->continued);
    EXPECT_TRUE(rec().DebugContains("effect table full"));
    EXPECT_EQ(pbman.GetFX("!one-more"), nullptr);
    // Spawning the whole chain stays inside the table.
    PartMan pool(512);
    pbman.SpawnFX(&pool, g, vec2_t{0, 0}, 0, 0);
    EXPECT_EQ(pool.live_count, 255);
}

TEST(Effects, SpawningDrawsFromTheRanges) {
    FxEnv env;
    srand(1234);
    fx_t* fx = pbman.GetFX("fxs/sparks.lua");
    ASSERT_TRUE(fx);
    PartMan pool(256);
    pbman.SpawnFX(&pool, fx, vec2_t{100, 200}, 0, 0);
    EXPECT_EQ(pool.live_count, 24);
    int n = 0;
    for (part_t* p = pool.FirstLive(); p; p = pool.NextLive(p), n++) {
        float dx = p->x - 100, dy = p->y - 200;
        float dist = sqrtf(dx * dx + dy * dy);
        EXPECT_GE(dist, 2 - 1e-3);
        EXPECT_LE(dist, 6 + 1e-3);
        float speed = sqrtf(p->vx * p->vx + p->vy * p->vy);
        EXPECT_GE(speed, 80 - 1e-2);
        EXPECT_LE(speed, 220 + 1e-2);
        // Moving away from the point: the initial move lies along the velocity.
        EXPECT_GT(dx * p->vx + dy * p->vy, 0);
        EXPECT_GE(p->age_to_die, 0.6f);
        EXPECT_LE(p->age_to_die, 1.2f);
        EXPECT_GE(p->scale, 0.5f);
        EXPECT_LE(p->scale, 1.5f);
        EXPECT_EQ(p->bitmap, fx->bitmaps[0]);
        EXPECT_EQ(p->alpha_curve, &fx->alpha_curve);
        EXPECT_EQ(p->emitter_fx, fx->emitter_fx);
        EXPECT_EQ(p->blend, 1);
        EXPECT_LE(p->age, 0.05f);
    }
    EXPECT_EQ(n, 24);
    // The age offset moves the start: particles begin later.
    pool.ResetParts();
    pbman.SpawnFX(&pool, fx, vec2_t{0, 0}, 0, 0.5f);
    for (part_t* p = pool.FirstLive(); p; p = pool.NextLive(p)) EXPECT_LT(p->age, -0.44f);

    // The area record puts particles on opaque pixels of the ring (offset
    // by -8): never at the transparent centre.
    fx_t* ring = pbman.GetFX("fxs/ring-glow.lua");
    pool.ResetParts();
    pbman.SpawnFX(&pool, ring, vec2_t{50, 50}, 0, 0);
    EXPECT_EQ(pool.live_count, 12 + 8 + 6);
    int k = 0;
    ASSERT_GT(ring[0].num_area_points, 0);
    for (part_t* p = pool.FirstLive(); p && k < 12; p = pool.NextLive(p), k++) {
        int x = (int)lroundf(p->x - 50 + 8), y = (int)lroundf(p->y - 50 + 8);
        bool onRing = false;
        for (int i = 0; i < ring[0].num_area_points && !onRing; i++)
            onRing = ring[0].area_points[i * 2] == x && ring[0].area_points[i * 2 + 1] == y;
        EXPECT_TRUE(onRing) << x << "," << y;
        EXPECT_FALSE(x == 8 && y == 8);  // the transparent centre
    }

    // A reference scale scales offsets, speeds and sizes.
    PartMan scaled(64);
    scaled.reference_scale = 2;
    srand(99);
    pbman.SpawnFX(&scaled, fx, vec2_t{0, 0}, 0, 0);
    for (part_t* p = scaled.FirstLive(); p; p = scaled.NextLive(p)) {
        float speed = sqrtf(p->vx * p->vx + p->vy * p->vy);
        EXPECT_GE(speed, 160 - 1e-2);
        EXPECT_LE(speed, 440 + 1e-2);
        EXPECT_GE(p->scale, 1.0f);
    }
}

TEST(Effects, TrailsEndWhateverTheSpacing) {
    FxEnv env;
    fx_t* one = pbman.GetFX(env.Script("one.lua", "FXParm('num_parts', 1) FXParm('age_to_die', 1)").c_str());
    ASSERT_TRUE(one);
    PartMan pool(1000);
    pbman.SpawnFXTrail(&pool, one, vec2_t{0, 0}, vec2_t{100, 0}, 10, 1.0f, 0);
    ASSERT_EQ(pool.live_count, 10);
    int i = 0;
    for (part_t* p = pool.FirstLive(); p; p = pool.NextLive(p), i++) {
        EXPECT_NEAR(p->x, 10.0f * i, 1e-3);
        EXPECT_NEAR(p->age, -0.1f * i, 1e-4);  // the age offset grows by timeSpan / n
    }
    // Spacing 0 or less, or not a number: one spawn, no endless loop.
    for (float spacing : {0.0f, -5.0f, NAN}) {
        pool.ResetParts();
        pbman.SpawnFXTrail(&pool, one, vec2_t{0, 0}, vec2_t{100, 0}, spacing, 1, 0);
        EXPECT_EQ(pool.live_count, 1) << spacing;
    }
    // A spacing too small to move a large float along: bounded by the pool.
    pool.ResetParts();
    pbman.SpawnFXTrail(&pool, one, vec2_t{1e8f, 0}, vec2_t{2e8f, 0}, 1e-6f, 1, 0);
    EXPECT_EQ(pool.live_count, 1000);
    // A zero-length trail spawns once at the point.
    pool.ResetParts();
    pbman.SpawnFXTrail(&pool, one, vec2_t{5, 5}, vec2_t{5, 5}, 1, 1, 0);
    EXPECT_EQ(pool.live_count, 1);
}

TEST(Effects, TwoThreadsLoadingTheSameEffectGetOneRecord) {
    FxEnv env;
    std::string slow = env.Script("slow.lua", "local s = 0 for i = 1, 200000 do s = s + i end FXParm('num_parts', 4) runs = (runs or 0) + 1");
    for (int round = 0; round < 5; round++) {
        pbman.Clear();
        fx_t* got[4] = {};
        std::thread t[4];
        for (int i = 0; i < 4; i++) t[i] = std::thread([&, i] { got[i] = pbman.LoadFX(slow.c_str(), false, 4); });
        for (auto& th : t) th.join();
        for (int i = 0; i < 4; i++) {
            ASSERT_EQ(got[i], got[0]);
            EXPECT_EQ(got[i]->num_parts, 4);  // never a half-filled record
        }
        EXPECT_EQ(pbman.GetNumberOfRecords(), 1);
    }
}

// An effect script that asks for effects itself (CacheFX, SpawnFX) runs
// under the non-recursive load lock: an effect already loaded is handed
// out at once, one not loaded yet is loaded once the script's own records
// are complete. Nothing waits on itself.
TEST(Effects, EffectScriptsThatLoadEffectsNeverWaitOnThemselves) {
    FxEnv env;
    pman.ResetParts();
    std::string dot = "fxs/trail-dot.lua";
    std::string later = env.Script("later.lua", "FXParm('num_parts', 7)");
    std::string outer = env.Script("outer.lua", "FXParm('num_parts', 2) CacheFX('" + dot + "') CacheFX('" + later +
                                                     "') SpawnFX('" + dot + "', 5, 6, 0, 0) FXAddNew() FXParm('num_parts', 3)");
    ASSERT_TRUE(pbman.GetFX(dot.c_str()));
    alarm(30);  // a wait on itself ends the test instead of hanging it
    fx_t* fx = pbman.GetFX(outer.c_str());
    alarm(0);
    ASSERT_TRUE(fx);
    EXPECT_EQ(fx->num_parts, 2);
    ASSERT_TRUE(fx->continued);
    EXPECT_EQ((fx + 1)->num_parts, 3);  // the chain stays whole
    EXPECT_EQ(pman.live_count, 1);      // spawned from inside the script
    fx_t* loaded_after = pbman.GetRecord(pbman.GetNumberOfRecords() - 1);
    ASSERT_TRUE(loaded_after);
    EXPECT_STREQ(loaded_after->name, later.c_str());
    EXPECT_EQ(loaded_after->num_parts, 7);
    EXPECT_EQ(pbman.GetFX(later.c_str()), loaded_after);
    pman.ResetParts();
}

// The effect state holds the built-in functions and its own: functions
// added for the game's scripts, before or after it opened, never reach it.
TEST(Effects, FunctionsAddedLaterNeverReachEffectScripts) {
    FxEnv env;
    lua_man.AddLuaFunction("FxTestAddedFunction", [](lua_State*) { return 0; });
    std::string probe = env.Script("probe.lua", "FXParm('num_parts', FxTestAddedFunction and 1 or 2)"
                                                " if CacheFX then FXParm('speed', 9) end");
    fx_t* fx = pbman.GetFX(probe.c_str());
    ASSERT_TRUE(fx);
    EXPECT_EQ(fx->num_parts, 2);
    EXPECT_FLOAT_EQ(fx->speed.min, 9);  // the built-ins are there
}

TEST(Effects, ScriptFunctionsSpawnIntoTheGlobalPool) {
    FxEnv env;
    pman.ResetParts();
    ASSERT_TRUE(lua_man.Initialize());
    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "CacheFX('fxs/trail-dot.lua') SpawnFX('fxs/trail-dot.lua', 10, 20, 0, 0)"));
    EXPECT_EQ(pman.live_count, 1);
    part_t* p = pman.FirstLive();
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->x, 10, 1e-4);
    EXPECT_NEAR(p->y, 20, 1e-4);
    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "ReloadFxs()"));
    EXPECT_TRUE(pbman.GetFX("fxs/trail-dot.lua"));
    lua_man.Shutdown();
    pman.ResetParts();
}
