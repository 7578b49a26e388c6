// World files: reading the sample world, checked numbers, defaults, the
// hard-only rule, backgrounds and the save/load round trip.
#include <gtest/gtest.h>
#include <math.h>

#include <box2d/box2d.h>

#include "app-env.h"
#include "feature-manager.h"
#include "physics/world-file.h"
#include "ui/screen-manager.h"

namespace {

Actor* FindById(PhysicsSimulation& sim, int id) {
    for (int i = 0; i < sim.actors.count; i++)
        if (sim.actors[i]->worm_index == id) return sim.actors[i];
    return nullptr;
}

// The actors the file placed: every played world also has its walls.
int Placed(const PhysicsSimulation& sim) { return sim.actors.count - sim.GetNumberOfActorsWithFlags(TAG_SIDE_WALL); }

std::string World(const std::string& info, const std::string& actors) {
    return (info.empty() ? "" : "<array id=\"info\">\n" + info + "</array>\n") + "<array id=\"actors\">\n" + actors +
           "</array>\n";
}

}  // namespace

TEST(WorldFile, SampleWorldBuildsItsBodies) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.worm_links = 9;
    ASSERT_TRUE(sim.LoadWorld("worlds/test-world.xml"));
    ASSERT_NE(sim.world, nullptr);
    EXPECT_FLOAT_EQ(sim.world_bounds[0], -20);
    EXPECT_FLOAT_EQ(sim.world_bounds[1], -15);
    EXPECT_FLOAT_EQ(sim.world_bounds[2], 20);
    EXPECT_FLOAT_EQ(sim.world_bounds[3], 5);
    EXPECT_EQ(sim.worm_links, 5);
    EXPECT_FLOAT_EQ(sim.worm_link_distance, 0.65f);
    EXPECT_STREQ(sim.ammos, "pebble");
    EXPECT_EQ(sim.ideal_time, 45);
    // The camera shows the whole world: 40 x 20 m, centred.
    float vw = (float)(sman.virtual_width ? sman.virtual_width : sman.reference_width);
    float vh = (float)(sman.virtual_height ? sman.virtual_height : sman.reference_height);
    EXPECT_FLOAT_EQ(sim.zoom, fmaxf(vw / (30 * 40.0f), vh / (30 * 20.0f)));
    EXPECT_NEAR(sim.GetCameraTarget().x, 0, 1e-4f);
    EXPECT_NEAR(sim.GetCameraTarget().y, -5, 1e-4f);
    // The hard-only crate is left out without the feature.
    ASSERT_EQ(Placed(sim), 3);
    EXPECT_GT(sim.GetNumberOfActorsWithFlags(TAG_SIDE_WALL), 0);
    EXPECT_EQ(sim.world->GetBodyCount(), sim.actors.count + 1);  // with the ground body
    Actor* peg = FindById(sim, 1);
    ASSERT_NE(peg, nullptr);
    EXPECT_EQ(peg->body->GetType(), b2_staticBody);
    EXPECT_EQ(peg->body->GetFixtureList()->GetType(), b2Shape::e_circle);
    EXPECT_FLOAT_EQ(peg->body->GetFixtureList()->GetShape()->m_radius, 0.5f);
    EXPECT_TRUE(peg->Has(TAG_GRABBABLE));
    Actor* crate = FindById(sim, 2);
    ASSERT_NE(crate, nullptr);
    EXPECT_EQ(crate->body->GetType(), b2_dynamicBody);
    EXPECT_NEAR(crate->body->GetAngle(), 3.1415927f / 4, 1e-6f);
    EXPECT_FLOAT_EQ(crate->body->GetPosition().x, 2);
    EXPECT_FLOAT_EQ(crate->body->GetFixtureList()->GetDensity(), 0.5f);
    EXPECT_FLOAT_EQ(crate->hit_points, 60);
    EXPECT_FALSE(crate->hard_only);
    // The sample's crate sits on nothing: it falls.
    float y0 = crate->body->GetPosition().y;
    for (int i = 0; i < 30; i++) sim.Update(1.0f / 60);
    EXPECT_GT(crate->body->GetPosition().y, y0);
    sim.FreeWorld();

    feature_man.SetFeatureList("HARD_LEVELS");
    ASSERT_TRUE(sim.LoadWorld("worlds/test-world.xml"));
    feature_man.SetFeatureList("");
    ASSERT_EQ(Placed(sim), 4);
    EXPECT_TRUE(FindById(sim, 3)->hard_only);
    sim.FreeWorld();
}

// The square metre below zero is the one further down; a point past a
// file's range (or none) counts on the edge's, with no overflow.
TEST(WorldFile, ASquareMetreTakesFourAndFarPointsCountOnTheEdge) {
    WorldSpots spots;
    for (float x : {-0.9f, -0.7f, -0.5f, -0.3f}) EXPECT_TRUE(spots.Take(vec2_t{x, 0.5f}));
    EXPECT_FALSE(spots.Take(vec2_t{-0.05f, 0.99f}));
    EXPECT_TRUE(spots.Take(vec2_t{0, 0.5f}));
    EXPECT_EQ(WorldSpots::Of(vec2_t{NAN, -1e30f}), (std::pair<int, int>{100000, -100000}));
}

TEST(WorldFile, MissingValuesTakeDefaultsAndLinksCarryOver) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.worm_links = 4;
    std::string f = env.Write("worlds/bare.xml", World("<node id=\"ideal_time\" value=\"12\"/>\n",
                                                       "<node actor=\"actors/none.xml\"/>\n"
                                                       "<node hard_only=\"yes\"/>\n"));
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    EXPECT_EQ(sim.worm_links, 4);
    EXPECT_FLOAT_EQ(sim.world_bounds[0], -50);
    EXPECT_FLOAT_EQ(sim.world_bounds[3], 10);
    ASSERT_EQ(Placed(sim), 2);
    Actor* a = sim.actors[0];
    EXPECT_FLOAT_EQ(a->body->GetPosition().x, 10);
    EXPECT_FLOAT_EQ(a->body->GetPosition().y, 10);
    EXPECT_FLOAT_EQ(a->move.x, 10);
    EXPECT_FLOAT_EQ(a->move.y, 0);
    EXPECT_FLOAT_EQ(a->move_speed, 1.5f);
    EXPECT_EQ(a->worm_index, 0);
    EXPECT_EQ(a->body->GetFixtureList(), nullptr);  // a missing definition collides with nothing
    EXPECT_FALSE(sim.actors[1]->hard_only);
    EXPECT_EQ(sim.ideal_time, 12);

    // No file at all, or a file that is no world (an actor definition):
    // the world in hand stays as it was, with a line.
    FwLog log;
    const int before = sim.actors.count;
    sim.world_bounds[1] = -7;
    for (const char* name : {"worlds/not-there.xml", "actors/peg.xml"}) {
        EXPECT_FALSE(sim.LoadWorld(name)) << name;
        EXPECT_TRUE(log.Contains(std::string("World '") + name + "' not found or not a world; not loaded.")) << name;
        EXPECT_EQ(dman.Find(name), nullptr) << name;
    }
    EXPECT_EQ(sim.actors.count, before);
    EXPECT_FLOAT_EQ(sim.world_bounds[1], -7);
    EXPECT_EQ(sim.ideal_time, 12);
    sim.FreeWorld();
}

TEST(WorldFile, NumbersBox2DWouldAbortOnAreRefusedWithALine) {
    AppEnv env;
    FwLog log;
    PhysicsSimulation sim;
    std::string f = env.Write(
        "worlds/bad.xml",
        World("<node id=\"world_bounds\" x1=\"nan\" y1=\"-5\" x2=\"inf\" y2=\"1e39\"/>\n"
              "<node id=\"worm_links\" value=\"100000000\"/>\n<node id=\"ideal_time\" value=\"soon\"/>\n",
              "<node actor=\"actors/test-crate.xml\" x=\"nan\" y=\"1e30\" angle=\"inf\" move_speed=\"-nan\" id=\"7\"/>\n"
              "<node actor=\"actors/test-crate.xml\" x=\"3abc\" y=\" 2 \" id=\"x\"/>\n"));
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    EXPECT_FLOAT_EQ(sim.world_bounds[0], -50);
    EXPECT_FLOAT_EQ(sim.world_bounds[1], -5);
    EXPECT_FLOAT_EQ(sim.world_bounds[2], 50);
    EXPECT_FLOAT_EQ(sim.world_bounds[3], 10);
    EXPECT_EQ(sim.worm_links, 7);
    EXPECT_EQ(sim.ideal_time, 30);
    ASSERT_EQ(Placed(sim), 2);
    Actor* a = sim.actors[0];
    EXPECT_FLOAT_EQ(a->body->GetPosition().x, 10);
    EXPECT_FLOAT_EQ(a->body->GetPosition().y, 10);
    EXPECT_FLOAT_EQ(a->body->GetAngle(), 0);
    EXPECT_FLOAT_EQ(a->move_speed, 1.5f);
    EXPECT_EQ(a->worm_index, 7);
    EXPECT_FLOAT_EQ(sim.actors[1]->body->GetPosition().x, 10);
    EXPECT_FLOAT_EQ(sim.actors[1]->body->GetPosition().y, 2);
    EXPECT_EQ(sim.actors[1]->worm_index, 0);
    EXPECT_TRUE(log.Contains("value 'nan' of 'x1'"));
    EXPECT_TRUE(log.Contains("value '100000000' of 'worm_links'"));
    EXPECT_TRUE(log.Contains("value '3abc' of 'x'"));
    for (int i = 0; i < 10; i++) sim.Update(1.0f / 60);
    EXPECT_TRUE(isfinite(a->body->GetPosition().y));
    sim.FreeWorld();
}

// Bounds of no size or inverted, a worm of no links: a world still loads,
// with lines; bounds that enclose nothing take the default, inverted ones
// are swapped, so the world's actors stay inside.
TEST(WorldFile, DegenerateBoundsAndLinkCountsLoadSafely) {
    AppEnv env;
    FwLog log;
    PhysicsSimulation sim;
    std::string f = env.Write("worlds/point.xml",
                              World("<node id=\"world_bounds\" x1=\"3\" y1=\"3\" x2=\"3\" y2=\"3\"/>\n"
                                    "<node id=\"worm_links\" value=\"0\"/>\n",
                                    "<node actor=\"actors/test-crate.xml\" x=\"3\" y=\"3\"/>\n"));
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    EXPECT_EQ(sim.worm_links, 7);
    EXPECT_TRUE(log.Contains("value '0' of 'worm_links' is not a whole number in 1..64"));
    EXPECT_TRUE(log.Contains("world_bounds enclose nothing; (-50, -50, 50, 10) used."));
    const float fallback[4] = {-50, -50, 50, 10};
    for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(sim.world_bounds[i], fallback[i]);
    EXPECT_TRUE(isfinite(sim.view_transform.m[3]) && isfinite(sim.view_transform.m[7]));
    for (int i = 0; i < 5; i++) sim.Update(1.0f / 60);

    f = env.Write("worlds/inverted.xml", World("<node id=\"world_bounds\" x1=\"20\" y1=\"5\" x2=\"-20\" y2=\"-15\"/>\n",
                                               "<node actor=\"actors/test-crate.xml\" x=\"3\" y=\"3\"/>\n"));
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    EXPECT_TRUE(log.Contains("world_bounds x1 20 > x2 -20; swapped."));
    EXPECT_TRUE(log.Contains("world_bounds y1 5 > y2 -15; swapped."));
    const float swapped[4] = {-20, -15, 20, 5};
    for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(sim.world_bounds[i], swapped[i]);
    EXPECT_FALSE(sim.IsOutsideWorld(vec2_t{3, 3}, 1.0f));
    sim.FreeWorld();
}

// A world that names itself or another world as an actor: actors without
// a fixture, each with a line.
TEST(WorldFile, AFileNamingItselfAsAnActorIsHarmless) {
    AppEnv env;
    FwLog log;
    std::string f = "user://worlds/self.xml";
    env.Write("worlds/self.xml", World("", "<node actor=\"" + f + "\" id=\"1\"/>\n<node actor=\"" + f +
                                               "\" id=\"2\"/>\n<node actor=\"actors/test-peg.xml\" id=\"3\"/>\n"));
    PhysicsSimulation sim;
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    EXPECT_EQ(Placed(sim), 3);
    EXPECT_TRUE(log.Contains("Shape 'user://worlds/self.xml' has no circle, polygon or rectangle; it has no fixture."));
    sim.FreeWorld();
}

// A world or actor path that is already open belongs to its owner: loading
// it neither frees nor changes that database. Player files are refused.
TEST(WorldFile, OpenDatabasesStayWithTheirOwnerAndPlayerFilesAreRefused) {
    AppEnv env;
    FwLog log;
    std::string f = env.Write("worlds/held.xml", World("", "<node actor=\"actors/test-peg.xml\" id=\"1\"/>\n"));
    DMDatabase* held = dman.GetDatabase(f.c_str());
    const int before = dman.GetNumberOfDatabases();
    PhysicsSimulation sim;
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    std::string w = env.Write("worlds/names-held.xml", World("", "<node actor=\"" + f + "\" id=\"2\"/>\n"));
    ASSERT_TRUE(sim.LoadWorld(w.c_str()));
    EXPECT_EQ(dman.Find(f.c_str()), held);
    EXPECT_NE(held->GetArray("actors"), nullptr);
    EXPECT_EQ(dman.GetNumberOfDatabases(), before);  // what this load opened, it closed

    for (const char* p : {"user://profiles/1.xml", "profiles/index.xml", "res://data/profiles//1.xml",
                          "user://local-in-app-purchases.xml", "./leaderboards-db.xml", "user://vantreo-news.txt",
                          "user://logs\\playlog-a.csv"}) {
        EXPECT_FALSE(sim.LoadWorld(p)) << p;
        EXPECT_TRUE(log.Contains(std::string("World '") + p + "' names a player file; not loaded.")) << p;
        EXPECT_EQ(dman.Find(p), nullptr) << p;
    }
    EXPECT_FALSE(IsPlayerFile("worlds/profiles.xml"));
    EXPECT_FALSE(sim.LoadWorld("user://./TIMELINE.xml"));
    EXPECT_TRUE(
        log.Contains("World 'user://./TIMELINE.xml' names a data file the game reads as something else; not "
                     "loaded."));
    // The shape reader takes every spelling the world's check does.
    for (const char* p : {"user://profiles/2.xml", "USER://Profiles/2.XML", "Data/Profiles//3.xml"}) {
        ActorShape shape;
        shape.Load(p);
        EXPECT_TRUE(log.Contains(std::string("Shape '") + p + "' names a player file; it has no fixture.")) << p;
        EXPECT_EQ(dman.Find(p), nullptr) << p;
    }
    sim.FreeWorld();
}

// The one check of the world and actor readers and writers: the player's
// files and the data the game reads as something else, in any spelling;
// a refused save writes nothing.
TEST(WorldFile, SavesRefuseReservedFilesInAnySpelling) {
    AppEnv env;
    FwLog log;
    const std::string user =
        std::filesystem::absolute(env.engine->UserPath("worlds")).lexically_normal().parent_path().string() + "/";
    // A folder of the user tree linked to the profiles leads where they are.
    std::filesystem::create_directories(env.engine->UserPath("profiles"));
    std::filesystem::create_directory_symlink("profiles", env.engine->UserPath("mine"));
    const std::string player_files[] = {"user://local-in-app-purchases.xml",
                                        user + "profiles/1.xml",
                                        "user://leaderboards-db.xml",
                                        "USER://Profiles/Index.XML",
                                        "res://data/worlds/../profiles\\2.xml",
                                        user + "worlds/../logs/a.csv",
                                        "user://local-in-app-purchases.xml.damaged",
                                        "Leaderboards-DB.xml.damaged-2",
                                        "user://mine/1.xml",
                                        "user://MINE/../mine/./index.xml"};
    const std::string data_files[] = {"timeline.xml",
                                      "res://data/Timeline.xml",
                                      "user://./prog.xml",
                                      "developer.xml",
                                      "data-en/language.xml",
                                      "user://story.xml",
                                      "actors.xml",
                                      "res://materials.xml",
                                      "worlds//../worlds.xml",
                                      "leaderboards/x.xml",
                                      "achievements/achievements.xml",
                                      "ui/labs/world-lab.lua",
                                      user + "ui/main-menu.lua"};
    for (const std::string& f : player_files) EXPECT_STREQ(ReservedFileReason(f.c_str()), "a player file") << f;
    for (const std::string& f : data_files)
        EXPECT_STREQ(ReservedFileReason(f.c_str()), "a data file the game reads as something else") << f;
    for (const char* f :
         {"worlds/a.xml", "user://worlds/timeline.xml", "actors/peg.xml", "res://data/worlds/temp.xml",
          "worlds/profiles/1.xml", "ui-worlds/a.xml", "user://mine.xml", "leaderboards-db.xml.old", "data-en.xml"})
        EXPECT_EQ(ReservedFileReason(f), nullptr) << f;
    EXPECT_STREQ(ReservedFileReason("user://worlds/../../x.xml"), "a place outside its folder");
    // A link that leads out of the user tree.
    std::filesystem::create_directory_symlink("/tmp", env.engine->UserPath("out"));
    EXPECT_STREQ(ReservedFileReason("user://out/x.xml"), "a place outside its folder");

    PhysicsSimulation sim;
    sim.editor_mode = 1;
    ASSERT_TRUE(sim.LoadWorld("worlds/test-world.xml"));
    for (const char* f : {"user://./timeline.xml", "user://profiles/1.xml"}) {
        EXPECT_FALSE(sim.SaveWorld(f)) << f;
        EXPECT_TRUE(log.Contains(std::string("World '") + f + "' names ")) << f;
    }
    EXPECT_FALSE(std::filesystem::exists(env.engine->UserPath("timeline.xml")));
    EXPECT_FALSE(std::filesystem::exists(env.engine->UserPath("profiles/1.xml")));
    sim.FreeWorld();
}

TEST(WorldFile, BossPathPointsDeriveMissingValues) {
    AppEnv env;
    env.Write("actors/boss.xml", "<array id=\"info\"><node id=\"tags\" value=\"BOSS\"/></array>\n");
    std::string f = env.Write("worlds/boss.xml",
                              World("", "<node actor=\"user://actors/boss.xml\" x=\"1\" y=\"2\" move_x=\"3\" "
                                        "move_y=\"4\" x3=\"20\"/>\n"));
    PhysicsSimulation sim;
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    ASSERT_EQ(Placed(sim), 1);
    Actor* b = sim.actors[0];
    ASSERT_EQ(b->path.count, 4);
    EXPECT_FLOAT_EQ(b->path[0].x, 2);   // s + 1
    EXPECT_FLOAT_EQ(b->path[1].y, 7);   // s + m + 1
    EXPECT_FLOAT_EQ(b->path[2].x, 20);  // given
    EXPECT_FLOAT_EQ(b->path[2].y, 4);   // p1 + 1
    EXPECT_FLOAT_EQ(b->path[3].x, 6);   // p2 + 1
    sim.FreeWorld();
}

// A save lands where the game loads from next (the user tree, searched
// before the bundle), never in the bundled tree, and reads back the same,
// values with quotes and backslashes included.
TEST(WorldFile, SaveAndLoadRoundTrip) {
    AppEnv env;
    env.Write("actors/boss.xml", "<array id=\"info\"><node id=\"tags\" value=\"BOSS\"/></array>\n");
    PhysicsSimulation sim;
    sim.editor_mode = 1;
    ASSERT_TRUE(sim.LoadWorld("worlds/test-world.xml"));
    ASSERT_EQ(sim.actors.count, 4);  // the editor keeps hard-only actors
    ActorShape* boss = physics_man.GetShape("user://actors/boss.xml");
    Actor* b = sim.CreateActor(boss, {1, 1}, {2, 0}, 0.5f, 9, 3.25f);
    b->path.InsertLast({5, 6});
    b->path.InsertLast({7, 8});
    b->path.InsertLast({9, 10});
    b->path.InsertLast({11, 12});
    free(sim.ammos);
    sim.ammos = strdup("pebble, \"big\" \\ stone");
    ASSERT_TRUE(sim.SaveWorld("worlds/round.xml"));
    std::string text = ReadNative(env.engine->UserPath("worlds/round.xml"));
    EXPECT_NE(text.find("  <node id=\"world_bounds\" x1=\"-20\" y1=\"-15\" x2=\"20\" y2=\"5\" />\n"),
              std::string::npos);
    EXPECT_NE(text.find("  <node id=\"worm_link_distance\" value=\"0.650000\" />\n"), std::string::npos);
    EXPECT_NE(text.find("  <node id=\"ammos\" value=\"pebble, \\\"big\\\" \\\\ stone\" />\n"), std::string::npos);
    EXPECT_NE(text.find("hard_only=\"1\""), std::string::npos);
    EXPECT_NE(text.find("x2=\"5\" y2=\"6\" move_x2=\"7\""), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(env.engine->UserPath("worlds/round.xml.tmp")));
    EXPECT_FALSE(AppEnv::InBundle("worlds/round.xml"));

    PhysicsSimulation back;
    back.editor_mode = 1;
    ASSERT_TRUE(back.LoadWorld("worlds/round.xml"));
    ASSERT_EQ(back.actors.count, sim.actors.count);
    for (int i = 0; i < sim.actors.count; i++) {
        Actor* x = sim.actors[i];
        Actor* y = back.actors[i];
        EXPECT_EQ(x->shape, y->shape) << i;
        EXPECT_NEAR(x->body->GetPosition().x, y->body->GetPosition().x, 1e-4f) << i;
        EXPECT_NEAR(x->body->GetPosition().y, y->body->GetPosition().y, 1e-4f) << i;
        EXPECT_NEAR(x->body->GetAngle(), y->body->GetAngle(), 1e-4f) << i;
        EXPECT_EQ(x->worm_index, y->worm_index) << i;
        EXPECT_EQ(x->hard_only, y->hard_only) << i;
        EXPECT_FLOAT_EQ(x->move_speed, y->move_speed) << i;
    }
    Actor* b2 = back.actors[4];
    ASSERT_EQ(b2->path.count, 4);
    EXPECT_FLOAT_EQ(b2->path[3].y, 12);
    EXPECT_EQ(back.ideal_time, 45);
    EXPECT_EQ(back.worm_links, 5);
    EXPECT_STREQ(back.ammos, sim.ammos);
    back.FreeWorld();

    // The world editor's play file, named as the tools name it: saved in
    // the user tree's world folder, played from "worlds/temp.xml".
    ASSERT_TRUE(sim.SaveWorld("res://data/worlds/temp.xml"));
    EXPECT_TRUE(std::filesystem::exists(env.engine->UserPath("worlds/temp.xml")));
    EXPECT_FALSE(AppEnv::InBundle("worlds/temp.xml"));
    EXPECT_FALSE(AppEnv::InBundle("data"));
    ASSERT_TRUE(back.LoadWorld("worlds/temp.xml"));
    EXPECT_EQ(back.actors.count, sim.actors.count);
    back.FreeWorld();
    sim.FreeWorld();
}

TEST(WorldFile, DefaultAmmunitionFromAmmosFile) {
    AppEnv env;
    FwLog log;
    PhysicsSimulation sim;
    sim.assign_default_ammo = 1;
    std::string f = env.Write("worlds/noammo.xml", World("<node id=\"ideal_time\" value=\"5\"/>\n", ""));
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    EXPECT_STREQ(sim.ammos, "seed");  // the bundled table's first
    // A table whose first kind has no id gives the world none, with a line.
    env.Write("ammos.xml", "<array id=\"ammos\"><node actor=\"actors/bug-ammo.xml\"/></array>\n");
    dman.ReleaseDatabase("ammos.xml");
    ASSERT_TRUE(sim.LoadWorld(f.c_str()));
    EXPECT_EQ(sim.ammos, nullptr);
    EXPECT_TRUE(log.Contains("no first ammunition id"));
    sim.FreeWorld();
    dman.ReleaseDatabase("ammos.xml");
}
