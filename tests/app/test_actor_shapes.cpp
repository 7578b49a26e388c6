// Shapes: polygon checks before Box2D, materials, file variants, saving.
#include <gtest/gtest.h>
#include <math.h>

#include <box2d/box2d.h>

#include "app-env.h"

namespace {

bool Valid(std::initializer_list<vec2_t> pts, bool* reversed = nullptr, std::string* why = nullptr) {
    nString w;
    bool r = ValidatePolygon(pts.begin(), (int)pts.size(), 1.0f / 30.0f, reversed, &w);
    if (why) *why = w.text ? w.text : "";
    return r;
}

std::string Info(const std::string& values) { return "<array id=\"info\">\n" + values + "</array>\n"; }

}  // namespace

TEST(ShapeValidation, RefusesPolygonsBox2DWouldAbortOn) {
    FwEngine e;
    std::string why;
    EXPECT_FALSE(Valid({{0, 0}, {30, 0}}, nullptr, &why));
    EXPECT_NE(why.find("at least 3"), std::string::npos);
    EXPECT_FALSE(Valid({{0, 0}, {30, 0}, {60, 0}}, nullptr, &why));  // collinear: zero area
    EXPECT_FALSE(Valid({{0, 0}, {30, 0}, {30, 0}, {0, 30}}, nullptr, &why));  // repeated vertex
    EXPECT_NE(why.find("coincide"), std::string::npos);
    EXPECT_FALSE(Valid({{0, 0}, {30, 0}, {10, 10}, {0, 30}}, nullptr, &why));  // concave
    EXPECT_NE(why.find("convex"), std::string::npos);
    EXPECT_FALSE(Valid({{0, 0}, {30, 30}, {30, 0}, {0, 30}}));                // bow tie
    EXPECT_FALSE(Valid({{0, 0}, {30, 0}, {30, 15}, {30, 30}, {0, 30}}));      // collinear neighbours
    EXPECT_FALSE(Valid({{0, 0}, {NAN, 0}, {0, 30}}));
    EXPECT_FALSE(Valid({{0, 0}, {INFINITY, 0}, {0, 30}}));
    vec2_t nine[9];
    for (int i = 0; i < 9; i++) nine[i] = {30 * cosf(i * 0.698f), 30 * sinf(i * 0.698f)};
    nString w;
    EXPECT_FALSE(ValidatePolygon(nine, 9, 1.0f / 30, nullptr, &w));
    // A pentagram turns the same way at every corner but crosses itself.
    vec2_t star[5];
    for (int i = 0; i < 5; i++) star[i] = {30 * cosf(i * 4 * 3.14159f / 5), 30 * sinf(i * 4 * 3.14159f / 5)};
    EXPECT_FALSE(ValidatePolygon(star, 5, 1.0f / 30, nullptr, &w));
    // A sliver thinner than Box2D can take is refused at the game's scale.
    EXPECT_FALSE(Valid({{0, 0}, {0.01f, 0}, {0, 0.01f}}));
}

TEST(ShapeValidation, AcceptsConvexPolygonsEitherWay) {
    FwEngine e;
    bool reversed = true;
    EXPECT_TRUE(Valid({{-15, -15}, {15, -15}, {15, 15}, {-15, 15}}, &reversed));
    EXPECT_FALSE(reversed);
    EXPECT_TRUE(Valid({{-15, 15}, {15, 15}, {15, -15}, {-15, -15}}, &reversed));
    EXPECT_TRUE(reversed);
    EXPECT_TRUE(Valid({{0, 0}, {30, 0}, {0, 30}}));
}

TEST(ShapeValidation, BadShapeFilesGetNoFixtureAndALine) {
    AppEnv env;
    ASSERT_TRUE(env.engine->started);
    FwLog log;
    struct Case {
        const char* name;
        std::string body;
    } cases[] = {
        {"two.xml", Info("") + "<array id=\"polygon\"><node x=\"0\" y=\"0\"/><node x=\"10\" y=\"0\"/></array>"},
        {"flat.xml", Info("") + "<array id=\"rectangle\"><node id=\"width\" value=\"40\"/></array>"},
        {"concave.xml", Info("") + "<array id=\"polygon\"><node x=\"0\" y=\"0\"/><node x=\"30\" y=\"0\"/>"
                                   "<node x=\"10\" y=\"10\"/><node x=\"0\" y=\"30\"/></array>"},
        {"word.xml", Info("") + "<array id=\"polygon\"><node x=\"0\" y=\"0\"/><node x=\"abc\" y=\"0\"/>"
                                "<node x=\"0\" y=\"30\"/></array>"},
        {"nine.xml", Info("") + "<array id=\"polygon\">" + std::string(9 * 0, ' ') +
                         "<node x=\"0\" y=\"0\"/><node x=\"10\" y=\"0\"/><node x=\"20\" y=\"1\"/>"
                         "<node x=\"30\" y=\"3\"/><node x=\"40\" y=\"6\"/><node x=\"45\" y=\"12\"/>"
                         "<node x=\"40\" y=\"30\"/><node x=\"20\" y=\"40\"/><node x=\"0\" y=\"30\"/></array>"},
        {"radius.xml", Info("") + "<array id=\"circle\"><node id=\"radius\" value=\"-5\"/></array>"},
    };
    PhysicsSimulation sim;
    sim.InitWorld();
    for (auto& c : cases) {
        std::string file = env.Write(std::string("actors/") + c.name, c.body);
        ActorShape* s = physics_man.GetShape(file.c_str());
        EXPECT_EQ(s->kind, SHAPE_NONE) << c.name;
        // Reaches no Box2D fixture: the actor exists with a bare body.
        Actor* a = sim.CreateActor(s, {0, 0}, {0, 0}, 0, 0, 1.5f);
        ASSERT_NE(a, nullptr) << c.name;
        EXPECT_EQ(a->body->GetFixtureList(), nullptr) << c.name;
    }
    EXPECT_TRUE(log.Contains("polygon refused: 2 vertices"));
    EXPECT_TRUE(log.Contains("polygon refused: vertices 1 and 2 coincide"));
    EXPECT_TRUE(log.Contains("not convex"));
    EXPECT_TRUE(log.Contains("vertex 1 is not a number"));
    EXPECT_TRUE(log.Contains("9 vertices"));
    EXPECT_TRUE(log.Contains("circle radius -5 refused"));
    sim.FreeWorld();
}

TEST(ShapeValidation, PhysicalValuesBox2DRejectsFallBackToDefaults) {
    AppEnv env;
    FwLog log;
    std::string f = env.Write("actors/neg.xml",
                              Info("<node id=\"density\" value=\"-2\"/><node id=\"linear_damping\" value=\"nan\"/>"
                                   "<node id=\"friction\" value=\"lots\"/>") +
                                  "<array id=\"circle\"><node id=\"radius\" value=\"10\"/></array>");
    ActorShape* s = physics_man.GetShape(f.c_str());
    EXPECT_FLOAT_EQ(s->density, 0.3f);
    EXPECT_FLOAT_EQ(s->linear_damping, 0.0f);
    EXPECT_FLOAT_EQ(s->friction, 0.83f);
    EXPECT_TRUE(log.Contains("value '-2' of 'density'"));
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* a = sim.CreateActor(s, {0, 0}, {0, 0}, 0, 0, 1.5f);
    ASSERT_NE(a->body->GetFixtureList(), nullptr);
    EXPECT_GT(a->body->GetMass(), 0.0f);
    sim.FreeWorld();
}

TEST(Materials, SampleMaterialsGiveThePhysicalValues) {
    AppEnv env;
    ActorShape* crate = physics_man.GetShape("actors/test-crate.xml");
    ASSERT_STREQ(crate->name, "actors/test-crate.xml");
    ASSERT_STREQ(crate->material, "wood");
    EXPECT_FLOAT_EQ(crate->hit_points, 60);
    EXPECT_FLOAT_EQ(crate->damage, 50);
    EXPECT_FLOAT_EQ(crate->density, 0.5f);
    EXPECT_FLOAT_EQ(crate->friction, 0.7f);
    EXPECT_FLOAT_EQ(crate->angular_damping, 0.05f);
    EXPECT_FLOAT_EQ(crate->linear_damping, 0.02f);
    EXPECT_FLOAT_EQ(crate->restitution, 0.1f);
    EXPECT_EQ(crate->kind, SHAPE_POLYGON);
    EXPECT_EQ(crate->vertex_count, 4);
    EXPECT_EQ(crate->body_type, BODY_DYNAMIC);
    EXPECT_EQ(crate->behavior, env.def.get());
    EXPECT_STREQ(crate->tags, "DESTROYABLE");
    EXPECT_EQ(physics_man.GetShape("actors/test-crate.xml"), crate);  // shared

    ActorShape* peg = physics_man.GetShape("actors/test-peg.xml");
    EXPECT_EQ(peg->kind, SHAPE_CIRCLE);
    EXPECT_FLOAT_EQ(peg->radius, 15);
    EXPECT_EQ(peg->body_type, BODY_STATIC);
    EXPECT_FLOAT_EQ(peg->density, 2);
}

TEST(Materials, MissingMaterialFallsBackToInfoAndMaterialWinsOverInfo) {
    AppEnv env;
    FwLog log;
    std::string a = env.Write("actors/a.xml", Info("<node id=\"material\" value=\"glass\"/>"
                                                   "<node id=\"density\" value=\"4\"/>"));
    std::string b = env.Write("actors/b.xml", Info("<node id=\"material\" value=\"rubber\"/>"
                                                   "<node id=\"density\" value=\"4\"/>"
                                                   "<node id=\"type\" value=\"static\"/>"
                                                   "<node id=\"behavior\" value=\"default\"/>"));
    ActorShape* sa = physics_man.GetShape(a.c_str());
    EXPECT_FLOAT_EQ(sa->density, 4);
    EXPECT_TRUE(log.Contains("material 'glass' not in 'materials.xml'"));
    ActorShape* sb = physics_man.GetShape(b.c_str());
    EXPECT_FLOAT_EQ(sb->density, 0.4f);
    EXPECT_FLOAT_EQ(sb->restitution, 0.8f);
    EXPECT_EQ(sb->body_type, BODY_DYNAMIC);  // case matters
    EXPECT_EQ(sb->behavior, env.def.get());  // unknown name
    EXPECT_TRUE(log.Contains("unknown behavior 'default'"));
}

TEST(Materials, ShapeKindPrecedenceAndMissingFile) {
    AppEnv env;
    std::string circle = "<array id=\"circle\"><node id=\"radius\" value=\"5\"/></array>";
    std::string poly = "<array id=\"polygon\"><node x=\"0\" y=\"0\"/><node x=\"30\" y=\"0\"/>"
                       "<node x=\"0\" y=\"30\"/></array>";
    std::string rect = "<array id=\"rectangle\"><node id=\"width\" value=\"20\"/>"
                       "<node id=\"height\" value=\"10\"/></array>";
    ActorShape* cp = physics_man.GetShape(env.Write("actors/cp.xml", Info("") + circle + poly).c_str());
    EXPECT_EQ(cp->kind, SHAPE_POLYGON);
    EXPECT_EQ(cp->vertex_count, 3);
    ActorShape* pr = physics_man.GetShape(env.Write("actors/pr.xml", Info("") + poly + rect).c_str());
    EXPECT_EQ(pr->kind, SHAPE_POLYGON);
    ASSERT_EQ(pr->vertex_count, 4);
    EXPECT_FLOAT_EQ(pr->vertices[2].x, 10);
    EXPECT_FLOAT_EQ(pr->vertices[2].y, 5);
    ActorShape* none = physics_man.GetShape("actors/not-there.xml");
    EXPECT_EQ(none->name, nullptr);
    EXPECT_EQ(none->kind, SHAPE_NONE);
    EXPECT_EQ(none->behavior, env.def.get());
    EXPECT_EQ(physics_man.GetShape(nullptr), nullptr);

    // A refused outline leaves the sound one read before it.
    FwLog log;
    std::string flat = "<array id=\"polygon\"><node x=\"0\" y=\"0\"/><node x=\"30\" y=\"0\"/>"
                       "<node x=\"60\" y=\"0\"/></array>";
    ActorShape* cf = physics_man.GetShape(env.Write("actors/cf.xml", Info("") + circle + flat).c_str());
    EXPECT_EQ(cf->kind, SHAPE_CIRCLE);
    EXPECT_FLOAT_EQ(cf->radius, 5);
    EXPECT_TRUE(log.Contains("polygon refused: its area is zero"));
    std::string thin = "<array id=\"rectangle\"><node id=\"width\" value=\"20\"/></array>";
    ActorShape* pt = physics_man.GetShape(env.Write("actors/pt.xml", Info("") + poly + thin).c_str());
    EXPECT_EQ(pt->kind, SHAPE_POLYGON);
    EXPECT_EQ(pt->vertex_count, 3);
}

// The file's order is kept (a save writes what was read); only the
// fixture takes the outline the other way round.
TEST(Materials, WoundTheOtherWayKeepsItsOrderAndGetsOutwardNormals) {
    AppEnv env;
    // Counter-clockwise on screen (y down) is clockwise for Box2D.
    std::string f = env.Write("actors/cw.xml", Info("") +
                                                   "<array id=\"polygon\"><node x=\"-15\" y=\"15\"/>"
                                                   "<node x=\"15\" y=\"15\"/><node x=\"15\" y=\"-15\"/>"
                                                   "<node x=\"-15\" y=\"-15\"/></array>");
    ActorShape* s = physics_man.GetShape(f.c_str());
    ASSERT_EQ(s->kind, SHAPE_POLYGON);
    EXPECT_FLOAT_EQ(s->vertices[0].x, -15);
    EXPECT_FLOAT_EQ(s->vertices[0].y, 15);
    EXPECT_FLOAT_EQ(s->vertices[1].x, 15);
    ASSERT_TRUE(s->Save("actors/cw-saved.xml"));
    EXPECT_NE(ReadNative(env.engine->UserPath("actors/cw-saved.xml"))
                  .find("  <node x=\"-15\" y=\"15\" />\n  <node x=\"15\" y=\"15\" />\n"),
              std::string::npos);
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* a = sim.CreateActor(s, {0, 0}, {0, 0}, 0, 0, 1.5f);
    ASSERT_NE(a->body->GetFixtureList(), nullptr);
    auto* p = (b2PolygonShape*)a->body->GetFixtureList()->GetShape();
    ASSERT_EQ(p->m_count, 4);
    for (int i = 0; i < 4; i++) {
        b2Vec2 mid = 0.5f * (p->m_vertices[i] + p->m_vertices[(i + 1) % 4]);
        EXPECT_GT(b2Dot(p->m_normals[i], mid - p->m_centroid), 0.0f) << i;
        EXPECT_NEAR(p->m_normals[i].Length(), 1.0f, 1e-5f);
    }
    EXPECT_FLOAT_EQ(p->m_radius, b2_polygonRadius);
    EXPECT_NEAR(a->body->GetMass(), 0.3f * 1.0f, 1e-4f);  // 1 m square
    sim.FreeWorld();
}

// A save goes where the game reads next (the user tree, found before the
// bundle), never into the bundled tree, and every value reads back as it
// was, quotes and backslashes included.
TEST(Materials, SavedShapeReadsBackTheSame) {
    AppEnv env;
    ActorShape* crate = physics_man.GetShape("actors/test-crate.xml");
    ASSERT_TRUE(crate->Save("actors/saved-crate.xml"));
    std::string text = ReadNative(env.engine->UserPath("actors/saved-crate.xml"));
    EXPECT_NE(text.find("  <node id=\"material\" value=\"wood\" />\n"), std::string::npos);
    EXPECT_EQ(text.find("density"), std::string::npos);  // only the material line
    EXPECT_NE(text.find("  <node x=\"15\" y=\"15\" />\n"), std::string::npos);
    EXPECT_FALSE(AppEnv::InBundle("actors/saved-crate.xml"));

    std::string f = env.Write("actors/own.xml", Info("<node id=\"density\" value=\"1.25\"/>"
                                                     "<node id=\"tags\" value=\"GRABBABLE, SENSOR \\\"x\\\\\"/>") +
                                                    "<array id=\"circle\"><node id=\"radius\" value=\"7\"/>"
                                                    "<node id=\"offset\" x=\"1\" y=\"2\"/></array>");
    ActorShape* own = physics_man.GetShape(f.c_str());
    ASSERT_STREQ(own->tags, "GRABBABLE, SENSOR \"x\\");
    // The tools name the program's data "data/...".
    ASSERT_TRUE(own->Save("data/actors/own-saved.xml"));
    EXPECT_FALSE(AppEnv::InBundle("actors/own-saved.xml"));
    EXPECT_FALSE(AppEnv::InBundle("data"));
    ActorShape back;
    back.Load("actors/own-saved.xml");
    EXPECT_EQ(back.kind, SHAPE_CIRCLE);
    EXPECT_FLOAT_EQ(back.radius, 7);
    EXPECT_FLOAT_EQ(back.offset.x, 1);
    EXPECT_FLOAT_EQ(back.offset.y, 2);
    EXPECT_FLOAT_EQ(back.density, 1.25f);
    EXPECT_STREQ(back.tags, own->tags);
    EXPECT_EQ(ParseActorTags(back.tags), (uint32_t)(TAG_GRABBABLE | TAG_SENSOR));
}

TEST(Tags, WholeWordsOnly) {
    EXPECT_EQ(ParseActorTags("MOVE_LIMIT"), (uint32_t)TAG_MOVE_LIMIT);
    EXPECT_EQ(ParseActorTags("MOVE_LIMIT, MOVE"), (uint32_t)(TAG_MOVE_LIMIT | TAG_MOVE));
    EXPECT_EQ(ParseActorTags("DESTROYABLE_BLOCK_BIG"), (uint32_t)TAG_DESTROYABLE_BLOCK_BIG);
    EXPECT_EQ(ParseActorTags("BOSS;HOMING SENSOR"), (uint32_t)(TAG_BOSS | TAG_HOMING | TAG_SENSOR));
    EXPECT_EQ(ParseActorTags("XBOSS BOSSY"), 0u);
    EXPECT_EQ(ParseActorTags(nullptr), 0u);
}
