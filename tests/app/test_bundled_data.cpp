// The bundled game data as the game reads it: every actor definition and
// material, the small tables, every level, built and run for a while, and
// the functions the bundled scripts call.
#include <gtest/gtest.h>
#include <math.h>

#include <box2d/box2d.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "analytics.h"
#include "app-env.h"
#include "dataman.h"
#include "feature-manager.h"
#include "game/game-dezidedi.h"
#include "game/screen-game-dezidedi.h"
#include "luaman.h"
#include "manager.h"
#include "particle-effects.h"
#include "physics/actor-behaviors.h"
#include "profiles.h"
#include "services/achievements.h"
#include "services/in-app-purchases.h"
#include "services/leaderboards.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"
#include "ui/ui-layout.h"

namespace {

// Log lines about a data file that are not the expected fallback of a
// behaviour whose code has not landed yet.
std::vector<std::string> Complaints(const FwLog& log) {
    std::vector<std::string> out;
    for (const std::string& l : log.Lines()) {
        bool about_data = l.find("Shape '") != std::string::npos || l.find(".xml: ") != std::string::npos ||
                          l.find("refused") != std::string::npos || l.find("not found") != std::string::npos ||
                          l.find("AddWalls") != std::string::npos;
        bool expected = l.find("unknown behavior") != std::string::npos || l.rfind("Loading ", 0) == 0;
        if (about_data && !expected) out.push_back(l);
    }
    return out;
}

bool Overlap(const Actor* a, const Actor* b) {
    const b2Fixture* fa = a->body->GetFixtureList();
    const b2Fixture* fb = b->body->GetFixtureList();
    return fa && fb && b2TestOverlap(fa->GetShape(), 0, fb->GetShape(), 0, a->body->GetTransform(), b->body->GetTransform());
}

}  // namespace

TEST(BundledData, EveryActorDefinitionIsSound) {
    AppEnv env;
    FwLog log;
    DMArray* list = dman.GetDatabase("actors.xml")->GetArray("actors");
    ASSERT_NE(list, nullptr);
    ASSERT_GT(list->GetSize(), 20);
    // How to play names every kind of target a level asks for, and asks
    // for none of them all: the hole opens to a worm near it, whatever is
    // left to take (GameDeziDedi::CheckLevelEnd).
    const char* help = dman.GetValue("data-en/language.xml", "STRINGS", "HELP_FRUIT", "to");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(std::regex_search(help, std::regex("\\b(all|every)\\b")), false) << help;
    const char* hole = dman.GetValue("data-en/language.xml", "STRINGS", "HELP_WORMHOLE", "to");
    EXPECT_NE(hole ? strstr(hole, "near") : nullptr, nullptr) << (hole ? hole : "");
    for (int i = 0; i < list->GetSize(); i++) {
        const char* file = list->GetNode(i)->GetId();
        ActorShape* s = physics_man.GetShape(file);
        ASSERT_NE(s->name, nullptr) << file;
        if (ParseActorTags(s->tags) & TAG_REQUIRED_TARGET) {
            const std::string kind = std::regex_replace(file, std::regex("^actors/([a-z]+).*"), "$1");
            EXPECT_NE(strstr(help, kind.c_str()), nullptr) << file << ": " << help;
        }
        EXPECT_NE(s->kind, SHAPE_NONE) << file;
        if (s->bitmap) {
            EXPECT_GT(s->bitmap->width, 0) << file;
        }
        EXPECT_TRUE(s->bitmap || strstr(file, "game-worm-body")) << file << " has no picture";
        if (s->material) {
            EXPECT_NE(dman.GetDatabase("materials.xml")->GetArray(s->material), nullptr) << file;
        }
    }
    EXPECT_NE(dman.GetDatabase("materials.xml")->GetArray("REFERENCE"), nullptr);
    // The worm's ends are drawn at 26 px per radius unit: their pictures
    // are 64 px for a 52 px disc, whatever the radius.
    ActorShape* head = physics_man.GetShape("actors/game-worm-head.xml");
    EXPECT_FLOAT_EQ(head->radius, 15);
    ASSERT_NE(head->bitmap_fore, nullptr);
    EXPECT_EQ(head->bitmap->width, 64);
    EXPECT_TRUE(ParseActorTags(head->tags) & TAG_WORM_HEAD);
    EXPECT_EQ(physics_man.GetShape("actors/wall.xml")->bitmap->height, 64);
    ActorShape* ammo = physics_man.GetAmmoShape(dman.GetDatabase("ammos.xml")->GetValue("ammos", 0, "id"));
    ASSERT_NE(ammo, nullptr);
    EXPECT_TRUE(ParseActorTags(ammo->tags) & TAG_AMMO);
    for (const std::string& l : Complaints(log)) ADD_FAILURE() << l;

    // The tables the level start reads.
    EXPECT_NE(dman.GetValue("story.xml", "story", "episode_1", "name"), nullptr);
    DMArray* prologue = dman.GetDatabase("dialogue.xml")->GetArray("prologue");
    ASSERT_NE(prologue, nullptr);
    ASSERT_GT(prologue->GetSize(), 2);
    for (int i = 0; i < prologue->GetSize(); i++) {
        EXPECT_NE(prologue->GetNodeValue(i, "line"), nullptr) << i;
        const char* who = prologue->GetNodeValue(i, "speaker");
        EXPECT_TRUE(nStringsMatch(who, "worm") || nStringsMatch(who, "bug")) << i;
    }
}

// Each level: it loads without a complaint, has a worm with both ends, at
// least one target and one exit, everything inside its bounds and nothing
// placed inside anything else; the head starts on its peg, and a few
// seconds of physics leave every body finite and every fruit in place.
TEST(BundledData, EveryLevelIsBuiltWhole) {
    AppEnv env;
    std::vector<std::string> worlds = AppEnv::TimelineWorlds();
    EXPECT_EQ(worlds.size(), 20u) << "two episodes of ten levels";
    worlds.insert(worlds.begin(), "worlds/template.xml");
    for (const std::string& name : worlds) {
        const char* file = name.c_str();
        SCOPED_TRACE(file);
        FwLog log;
        PhysicsSimulation sim;
        ASSERT_TRUE(sim.LoadWorld(file));
        for (const std::string& l : Complaints(log)) ADD_FAILURE() << l;
        ASSERT_NE(sim.WormHead(), nullptr);
        ASSERT_NE(sim.WormTail(), nullptr);
        EXPECT_EQ(sim.worm_parts.count, 3 * sim.worm_links + 2);
        // The boss's level ends when the boss falls: no target, no exit.
        if (sim.GetNumberOfActorsWithFlags(TAG_BOSS) == 0) {
            EXPECT_GE(sim.GetNumberOfActorsWithFlags(TAG_REQUIRED_TARGET), 1);
            EXPECT_GE(sim.GetNumberOfActorsWithFlags(TAG_EXIT), 1);
        }
        EXPECT_NE(sim.background_1, nullptr);
        EXPECT_STREQ(sim.ammos, "seed");

        nArray<Actor*> placed;
        for (int i = 0; i < sim.actors.count; i++) {
            Actor* a = sim.actors[i];
            if (a->IsWormPart() || a->Has(TAG_SIDE_WALL)) continue;
            b2Vec2 p = a->body->GetPosition();
            EXPECT_FALSE(sim.IsOutsideWorld({p.x, p.y}, 0)) << a->shape->name;
            placed.InsertLast(a);
        }
        for (int i = 0; i < placed.count; i++)
            for (int j = i + 1; j < placed.count; j++) {
                // The end bug sits on its hole's top half by design.
                if (placed[i]->Has(TAG_END_BUG) || placed[j]->Has(TAG_END_BUG)) continue;
                EXPECT_FALSE(Overlap(placed[i], placed[j]))
                    << placed[i]->shape->name << " and " << placed[j]->shape->name;
            }

        // A hazard's resting place stays below the HUD with the view at the
        // world's top, where it stands lowest on the screen (the view play
        // begins with is checked by the level start's test).
        const float band = GameDeziDedi::kHudBand * sim.metres_per_pixel;
        for (int i = 0; i < placed.count; i++) {
            const Actor* a = placed[i];
            if (!a->Has(TAG_HAZARD) || a->Has(TAG_BOSS)) continue;
            const float top = a->body->GetPosition().y - a->shape->radius * sim.metres_per_pixel;
            EXPECT_GE(top - sim.world_bounds[1], band - 0.01f) << a->shape->name << " under the HUD";
        }

        nArray<vec2_t> fruit;
        for (int i = 0; i < placed.count; i++)
            if (placed[i]->Has(TAG_COLLECTABLE)) fruit.InsertLast({placed[i]->body->GetPosition().x, placed[i]->body->GetPosition().y});
        for (int i = 0; i < 180; i++) sim.Update(1.0f / 60);
        // The head grips its start peg at once (the worm's behaviour makes
        // the joint from this).
        Actor* head = sim.WormHead();
        ASSERT_NE(head->weld_target, nullptr);
        EXPECT_TRUE(head->weld_target->Has(TAG_GRABBABLE));
        for (int i = 0; i < sim.actors.count; i++) {
            b2Vec2 p = sim.actors[i]->body->GetPosition();
            ASSERT_TRUE(isfinite(p.x) && isfinite(p.y)) << sim.actors[i]->shape->name;
        }
        int k = 0;
        for (int i = 0; i < placed.count; i++) {
            if (!placed[i]->Has(TAG_COLLECTABLE)) continue;
            EXPECT_NEAR(placed[i]->body->GetPosition().x, fruit[k].x, 0.05f);
            EXPECT_NEAR(placed[i]->body->GetPosition().y, fruit[k].y, 0.05f);
            k++;
        }
        sim.FreeWorld();
    }
}

// The levels of the timeline together use every tag and every behaviour
// the game has, counting what every level gets without listing it (the
// worm, the walls, the end bug on a worm hole) and the projectiles that
// shooters and mines fire. Hard-mode actors count: they are part of the
// bundled game.
TEST(BundledData, TheLevelsUseEveryTagAndEveryBehaviour) {
    AppEnv env;
    ActorBehaviors::InitActorBehaviors();
    DMArray* events = dman.GetDatabase("timeline.xml")->GetArray("timeline");
    ASSERT_NE(events, nullptr);
    uint32_t tags = 0;
    std::set<std::string> behaviours;
    bool boss_level = false;
    auto use = [&](const char* file) {
        ActorShape* s = physics_man.GetShape(file);
        ASSERT_NE(s->name, nullptr) << file;
        tags |= ParseActorTags(s->tags);
        behaviours.insert(s->behavior ? s->behavior->GetName() : "");
    };
    for (const char* file : {"actors/game-worm-head.xml", "actors/game-worm-body.xml", "actors/game-worm-tail.xml",
                             "actors/wall.xml"})
        use(file);
    for (int e = 0; e < events->GetSize(); e++) {
        const char* world = events->GetNode(e)->GetValue("level");
        if (!world || !nStringsMatch(events->GetNode(e)->GetValue("type"), "GAME")) continue;
        SCOPED_TRACE(world);
        DMArray* actors = dman.GetDatabase(world)->GetArray("actors");
        // The boss's level comes with the boss fight.
        if (nStringsMatch(world, "worlds/e02-l10.xml")) {
            boss_level = actors != nullptr;
            if (!actors) continue;
        }
        ASSERT_NE(actors, nullptr);
        for (int i = 0; i < actors->GetSize(); i++) {
            const char* file = actors->GetNodeValue(i, "actor");
            ASSERT_NE(file, nullptr);
            use(file);
            const uint32_t t = ParseActorTags(physics_man.GetShape(file)->tags);
            if (t & TAG_WORM_HOLE) use("actors/end-bug.xml");
            if (t & (TAG_SHOOTING | TAG_MINE)) use("actors/bug-ammo.xml");
        }
    }
    for (int bit = 0; bit < 30; bit++) {
        if ((1u << bit) == TAG_BOSS && !boss_level) continue;
        EXPECT_TRUE(tags & (1u << bit)) << actor_tag_names[bit] << " is used by no level";
    }
    for (int i = 0; i < ActorBehavior::all_abs.count; i++) {
        const char* name = ActorBehavior::all_abs[i]->GetName();
        EXPECT_TRUE(behaviours.count(name)) << name << " drives no actor of any level";
    }
    ActorBehaviors::FreeActorBehaviors();
}

namespace {

// Lua source with its comments and the insides of its strings blanked,
// so that only code is left to read names from.
std::string LuaCodeOnly(const std::string& s) {
    std::string out;
    // The level of a long bracket opening at i ("[[", "[=[", ...), or -1.
    auto long_open = [&](size_t i) {
        if (s[i] != '[') return -1;
        size_t j = i + 1;
        while (j < s.size() && s[j] == '=') j++;
        return j < s.size() && s[j] == '[' ? (int)(j - i - 1) : -1;
    };
    auto skip_long = [&](size_t i, int level) {
        std::string close = "]" + std::string((size_t)level, '=') + "]";
        size_t end = s.find(close, i + 2 + (size_t)level);
        return end == std::string::npos ? s.size() : end + close.size();
    };
    for (size_t i = 0; i < s.size();) {
        if (s.compare(i, 2, "--") == 0) {
            int level = i + 2 < s.size() ? long_open(i + 2) : -1;
            i = level >= 0 ? skip_long(i + 2, level) : s.find('\n', i);
            if (i == std::string::npos) i = s.size();
            out += ' ';
        } else if (long_open(i) >= 0) {
            i = skip_long(i, long_open(i));
            out += "\"\"";
        } else if (s[i] == '"' || s[i] == '\'') {
            char q = s[i++];
            while (i < s.size() && s[i] != q && s[i] != '\n') i += s[i] == '\\' ? 2 : 1;
            i++;
            out += "\"\"";
        } else {
            out += s[i++];
        }
    }
    return out;
}

void AddAll(std::set<std::string>& to, const std::string& text, const std::regex& re, bool lists = false) {
    for (std::sregex_iterator m(text.begin(), text.end(), re), end; m != end; ++m) {
        std::string names = (*m)[1];
        if (!lists) {
            to.insert(names);
            continue;
        }
        std::regex word("[A-Za-z_][A-Za-z_0-9]*");
        for (std::sregex_iterator w(names.begin(), names.end(), word); w != end; ++w) to.insert(w->str());
    }
}

}  // namespace

// Every global function the bundled scripts call, and every name they
// hand to CallIfPresent or CallOrTell, is registered by the program (with
// every product feature on, the player services' functions included), is
// part of Lua, or is defined by the scripts themselves: a function the
// data calls but nobody registers fails here rather than in front of the
// player. And every achievement the game defines is unlocked by some
// script: one that none unlocks can never be earned.
TEST(BundledData, TheScriptsCallOnlyRegisteredFunctionsAndUnlockEveryAchievement) {
    AppEnv env;
    kd_prog_t record;
    memset(&record, 0, sizeof record);
    record.parms.width = 1024;
    record.parms.height = 600;
    Manager::SetProgramRecord(&record);
    feature_man.Initialize();
    profile_man.Initialize();
    game_man.Initialize();
    pbman.Init();
    ASSERT_TRUE(iap_man.Initialize());
    achievement_man.Initialize();
    ASSERT_TRUE(achievement_man.IsInitialized());
    leaderboards_man.Initialize();
    analyst.RegisterLuaFunctions();
    ScreenMan::RegisterLuaFunctions();
    timeline.Init();
    ScreenGameDeziDedi::RegisterLuaFunctions();
    lua_State* L = lua_man.OpenLuaState(0);
    ASSERT_TRUE(L);
    UILayoutRegisterFunctions(L);
    std::set<std::string> registered;
    for (lua_State* state : {L, pbman.GetLuaState(), luaL_newstate()}) {
        if (state != L && state != pbman.GetLuaState()) luaL_openlibs(state);
        lua_pushnil(state);
        while (lua_next(state, LUA_GLOBALSINDEX)) {
            if (lua_type(state, -2) == LUA_TSTRING) registered.insert(lua_tostring(state, -2));
            lua_pop(state, 1);
        }
        if (state != L && state != pbman.GetLuaState()) lua_close(state);
    }

    // What the scripts define (functions, locals, parameters, loop
    // variables) and what they call.
    const std::regex defined_fn("function\\s+([A-Za-z_][A-Za-z_0-9]*)\\s*\\(");
    const std::regex assigned_fn("([A-Za-z_][A-Za-z_0-9]*)\\s*=\\s*function\\b");
    const std::regex locals("\\blocal\\s+(?:function\\s+)?([A-Za-z_][A-Za-z_0-9, \\t]*)");
    const std::regex params("\\bfunction\\b[^(\\n]*\\(([^)]*)\\)");
    const std::regex loop_vars("\\bfor\\s+([A-Za-z_][A-Za-z_0-9, \\t]*?)\\s*(?:=|\\bin\\b)");
    const std::regex called("(?:^|[^A-Za-z_0-9.:])([A-Za-z_][A-Za-z_0-9]*)\\s*\\(");
    const std::regex by_name("Call(?:IfPresent|OrTell)\\s*\\(\\s*[\"']([A-Za-z_][A-Za-z_0-9]*)[\"']");
    const std::regex unlocks("AM_UnlockAchievement[\"']?\\s*[(,]\\s*[\"']([A-Za-z_0-9]+)[\"']");
    std::set<std::string> defined, by_name_calls, unlocked;
    std::map<std::string, std::string> calls;  // name -> the first file calling it
    const char* data = getenv("KODO_TEST_DATA");
    ASSERT_NE(data, nullptr);
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data)) {
        if (entry.path().extension() != ".lua") continue;
        files++;
        std::ifstream in(entry.path());
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string rel = entry.path().lexically_relative(data).string();
        std::set<std::string> here;
        AddAll(by_name_calls, text, by_name);
        AddAll(unlocked, text, unlocks);
        AddAll(here, text, by_name);
        std::string code = LuaCodeOnly(text);
        AddAll(defined, code, defined_fn);
        AddAll(defined, code, assigned_fn);
        AddAll(defined, code, locals, true);
        AddAll(defined, code, params, true);
        AddAll(defined, code, loop_vars, true);
        AddAll(here, code, called);
        for (const std::string& n : here) calls.emplace(n, rel);
    }
    EXPECT_GT(files, 40);
    static const std::set<std::string> keywords = {"and", "elseif", "function", "if",    "in",
                                                   "not", "or",     "return",   "until", "while"};
    std::string unknown;
    for (const auto& [name, file] : calls) {
        if (keywords.count(name) || registered.count(name)) continue;
        if (defined.count(name) && !by_name_calls.count(name)) continue;
        unknown += name + " (" + file + ") ";
    }
    EXPECT_EQ(unknown, "");
    // The scan reads what it should: names called directly and by name.
    EXPECT_TRUE(calls.count("SetProperty") && calls.count("BeginTimelineEvent") && calls.count("AM_UnlockAchievement"));
    EXPECT_TRUE(by_name_calls.count("ChangeDetailLevel") && by_name_calls.count("IAP_PurchaseItem"));

    DMArray* achievements = dman.GetDatabase("achievements/achievements.xml")->GetArray("ACHIEVEMENTS");
    ASSERT_TRUE(achievements);
    std::string never;
    for (int i = 0; i < achievements->GetSize(); i++)
        if (!unlocked.count(achievements->GetNode(i)->GetId()))
            never += std::string(achievements->GetNode(i)->GetId()) + " ";
    EXPECT_GE(achievements->GetSize(), 8);
    EXPECT_EQ(never, "");

    lua_man.CloseLuaState(L);
    analyst.Shutdown();
    iap_man.Reset();
    achievement_man.Reset();
    leaderboards_man.Reset();
    Manager::SetProgramRecord(nullptr);
}
