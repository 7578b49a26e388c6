// The world lab's and the object lab's commands on their own: shapes that
// wrap, an empty shape list, selections of an actor that goes, the bounds
// of an empty world and their one-screen minimum, save names and dialog
// answers, placements the loader would leave out, the selector's taps and
// drags; the object lab's vertices, its sliders and what its Save writes;
// what each lab may write over, and the status line after a refusal.
#include <gtest/gtest.h>

#include <box2d/box2d.h>

#include <filesystem>

#include "app-env.h"
#include "labs/screen-object-lab.h"
#include "labs/screen-world-lab.h"
#include "ui/screen-manager.h"
#include "ui/ui-touchfield.h"

namespace {

// The lab's editor world, made and freed around each test.
struct Lab {
    AppEnv env;
    FwLog log;
    ScreenWorldLab& lab = screen_WorldLab;
    Lab() {
        lab.world.editor_mode = 1;
        lab.world.InitWorld();
        lab.shapes.Load();
        lab.ClearSelection();
        lab.SetMode(LAB_MODE_CREATE);
    }
    ~Lab() {
        lab.ClearSelection();
        lab.world.FreeWorld();
        lab.shapes.Clear();
        lab.current_shape = nullptr;
    }
    Actor* Add(const char* file, float x, float y) {
        return lab.world.CreateActor(physics_man.GetShape(file), vec2_t{x, y}, vec2_t{10, 0}, 0, 0, 1.5f);
    }
    int Count(const char* file) { return lab.world.GetNumberOfActorsWithShape(physics_man.GetShape(file)); }
};

}  // namespace

TEST(WorldLab, ShapesWrapAtBothEndsAndAnEmptyListPlacesNothing) {
    Lab t;
    const int n = t.lab.shapes.Count();
    ASSERT_GT(n, 2);
    t.lab.SetShape(n - 1);
    EXPECT_TRUE(t.lab.Key('A'));
    EXPECT_EQ(t.lab.shape_index, 0);
    EXPECT_EQ(t.lab.current_shape, physics_man.GetShape(t.lab.shapes.File(0)));
    EXPECT_TRUE(t.lab.Key('Z'));
    EXPECT_EQ(t.lab.shape_index, n - 1);
    EXPECT_TRUE(t.lab.Key('Z'));
    EXPECT_EQ(t.lab.shape_index, n - 2);

    // No shapes: no index modulo zero, nothing current, nothing placed.
    t.lab.shapes.Clear();
    t.lab.SetShape(5);
    EXPECT_EQ(t.lab.current_shape, nullptr);
    EXPECT_TRUE(t.log.Contains("lists no actors"));
    t.lab.Place(vec2_t{0, 0});
    EXPECT_EQ(t.lab.world.actors.count, 0);
    EXPECT_TRUE(t.log.Contains("no shape to place"));
}

TEST(WorldLab, AnActorThatGoesTakesEverySelectionOfItWithIt) {
    Lab t;
    // BACKSPACE takes the last actor while it is selected, a mover and
    // the owner of the selected path point.
    t.Add("actors/peg.xml", 0, 0);
    Actor* last = t.Add("actors/bug-boss.xml", 3, 0);
    t.lab.selected_actor = t.lab.selected_mover = t.lab.path_owner = last;
    t.lab.path_index = 0;
    EXPECT_TRUE(t.lab.Key(8));
    EXPECT_EQ(t.lab.world.actors.count, 1);
    EXPECT_EQ(t.lab.selected_actor, nullptr);
    EXPECT_EQ(t.lab.selected_mover, nullptr);
    EXPECT_EQ(t.lab.path_owner, nullptr);
    t.lab.Drag(vec2_t{0, 0}, vec2_t{1, 1});  // nothing left to move

    // DELETE only in edit mode.
    t.lab.selected_actor = t.lab.world.actors[0];
    EXPECT_TRUE(t.lab.Key(46));
    EXPECT_EQ(t.lab.world.actors.count, 1);
    t.lab.SetMode(LAB_MODE_EDIT);
    EXPECT_TRUE(t.lab.Key(46));
    EXPECT_EQ(t.lab.world.actors.count, 0);
    EXPECT_EQ(t.lab.selected_actor, nullptr);
    // BACKSPACE on an empty world.
    EXPECT_TRUE(t.lab.Key(8));

    // A second head replaces the selected first one; a peg is no unique
    // shape. A new boss gets its four path points.
    t.lab.SetMode(LAB_MODE_CREATE);
    Actor* head = t.Add("actors/game-worm-head.xml", 0, 0);
    t.lab.selected_actor = head;
    t.lab.current_shape = physics_man.GetShape("actors/game-worm-head.xml");
    t.lab.Place(vec2_t{2, 2});
    EXPECT_EQ(t.Count("actors/game-worm-head.xml"), 1);
    EXPECT_EQ(t.lab.selected_actor, nullptr);
    t.lab.current_shape = physics_man.GetShape("actors/peg.xml");
    t.lab.Place(vec2_t{4, 0});
    t.lab.Place(vec2_t{5, 0});
    EXPECT_EQ(t.Count("actors/peg.xml"), 2);
    t.lab.current_shape = physics_man.GetShape("actors/bug-boss.xml");
    t.lab.Place(vec2_t{6, 1});
    Actor* boss = t.lab.world.GetActorByShape(t.lab.current_shape);
    ASSERT_NE(boss, nullptr);
    ASSERT_EQ(boss->path.count, 4);
    EXPECT_FLOAT_EQ(boss->path[1].x, boss->start_position.x + 1 + 10);
    EXPECT_FLOAT_EQ(boss->path[3].y, boss->start_position.y + 2);
}

TEST(WorldLab, KeysForSpeedAndHardOnlyActOnTheirKindsInEditModeOnly) {
    Lab t;
    Actor* mover = t.Add("actors/peg-moving.xml", 0, 0);
    ASSERT_TRUE(mover->Has(TAG_MOVE));
    t.lab.selected_actor = mover;
    t.lab.Key(107);
    EXPECT_FLOAT_EQ(mover->move_speed, 1.5f);  // create mode
    t.lab.SetMode(LAB_MODE_EDIT);
    t.lab.Key(107);
    EXPECT_NEAR(mover->move_speed, 1.6f, 1e-5);
    mover->move_speed = 0.05f;
    t.lab.Key(109);
    EXPECT_FLOAT_EQ(mover->move_speed, 0);
    mover->move_speed = 99.95f;
    t.lab.Key(107);
    EXPECT_FLOAT_EQ(mover->move_speed, 100);
    Actor* thorns = t.Add("actors/thorns.xml", 5, 0);
    ASSERT_TRUE(thorns->Has(TAG_HAZARD));
    t.lab.selected_actor = thorns;
    t.lab.Key('X');
    EXPECT_EQ(thorns->hard_only, 1);
    t.lab.Key('X');
    EXPECT_EQ(thorns->hard_only, 0);
    EXPECT_TRUE(t.lab.Key('E'));
    EXPECT_EQ(t.lab.mode, LAB_MODE_CREATE);
    EXPECT_EQ(t.lab.world.show_edit_info, 0);
    EXPECT_FALSE(t.lab.Key('Q'));
}

TEST(WorldLab, BoundsKeepOneScreenAndAnEmptyWorldKeepsItsBounds) {
    Lab t;
    float* b = t.lab.world.world_bounds;
    b[0] = -20, b[1] = -14, b[2] = 20, b[3] = 6;
    const float screen_w = sman.reference_width * t.lab.world.metres_per_pixel;
    const float screen_h = sman.reference_height * t.lab.world.metres_per_pixel;
    // The right edge dragged past the left stops one screen from it; the
    // top edge dragged below the bottom stops one screen above it.
    t.lab.selected_corner = 3;
    t.lab.DragCorner(vec2_t{-40, 30});
    EXPECT_FLOAT_EQ(b[2], -20 + screen_w);
    EXPECT_FLOAT_EQ(b[1], 6 - screen_h);
    EXPECT_FLOAT_EQ(b[0], -20);
    t.lab.selected_corner = 2;
    t.lab.DragCorner(vec2_t{-30, 8});
    EXPECT_FLOAT_EQ(b[0], -30);
    EXPECT_FLOAT_EQ(b[3], 8);

    // Nothing in the world: the bounds stay, and the popup says so.
    const float before[4] = {b[0], b[1], b[2], b[3]};
    t.lab.CalculateBounds();
    for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(b[i], before[i]);
    EXPECT_TRUE(t.log.Contains("bounds stay"));
    // One peg: the bounds are a screen around it, and the camera shows
    // them whole with a margin.
    Actor* peg = t.Add("actors/peg.xml", 3, 4);
    t.lab.CalculateBounds();
    EXPECT_NEAR(b[2] - b[0], screen_w, 1e-4f);
    EXPECT_NEAR(b[3] - b[1], screen_h, 1e-4f);
    EXPECT_NEAR((b[0] + b[2]) / 2, peg->body->GetPosition().x, 1e-4f);
    EXPECT_TRUE(t.log.Contains("World lab: bounds ("));
    const PhysicsSimulation& w = t.lab.world;
    EXPECT_LE((b[2] - b[0]) * w.pixels_per_metre * w.zoom, 0.81f * sman.virtual_width);
    EXPECT_LE((b[3] - b[1]) * w.pixels_per_metre * w.zoom, 0.81f * sman.virtual_height);
    EXPECT_NEAR(w.GetCameraTarget().y, (b[1] + b[3]) / 2, 1e-4f);
    // Bodies wider than a screen keep their own box.
    t.Add("actors/peg.xml", 80, 4);
    t.lab.CalculateBounds();
    b2AABB box = peg->body->GetFixtureList()->GetAABB(0);
    EXPECT_NEAR(b[0], box.lowerBound.x, 1e-4f);
}

// The UI editor's reload (in edit mode) leaves and enters the lab while it
// is shown in the stack: the level being built stays, even with the lab
// on its way out. The Enter of a push starts afresh after a leave that
// kept it (a pop by depth marks nothing); the way out frees it.
TEST(WorldLab, AReloadOfTheLayoutKeepsTheLevelAndLeavingFreesIt) {
    Lab t;
    t.Add("actors/peg.xml", 1, 2);
    t.lab.world.world_bounds[2] = 33;
    t.lab.world.ideal_time = 15;
    t.lab.in_stack = t.lab.shown = t.lab.leaving = true;
    sman.SetEditMode(true);
    // No "Time" box (the UI editor deleted it): the level's own time stays.
    EXPECT_EQ(t.lab.TimeFromBox(), 15);
    t.lab.Leave();
    EXPECT_STREQ(t.lab.kept_time.c_str(), "15");
    t.lab.Enter();
    EXPECT_EQ(t.lab.world.actors.count, 1);
    EXPECT_FLOAT_EQ(t.lab.world.world_bounds[2], 33);
    EXPECT_TRUE(t.log.Contains("the level being built is kept"));
    sman.SetEditMode(false);
    t.lab.leaving = false;
    t.lab.Leave();
    t.lab.shown = false;  // pushed again
    t.lab.Enter();
    EXPECT_NE(t.lab.world.world_bounds[2], 33);  // the template's
    t.lab.leaving = true;
    t.lab.Leave();
    EXPECT_EQ(t.lab.world.world, nullptr);
    t.lab.in_stack = t.lab.shown = false;
}

TEST(WorldLab, SaveNamesGetXmlOnceAndDialogAnswersBecomeEngineNames) {
    Lab t;
    nString out;
    const char* cases[][2] = {{"levels/a", "levels/a.xml"},
                              {"levels/a.xml", "levels/a.xml"},
                              {"user://worlds/Level.XML", "user://worlds/Level.XML"},
                              {"levels/a.xml.old", "levels/a.xml.old.xml"},
                              {"a.xmlb", "a.xmlb.xml"},
                              {"user://worlds/", "user://worlds/"},
                              {"user://worlds/.", "user://worlds/."},
                              {"user://.", "user://."}};
    for (auto& c : cases) {
        ScreenWorldLab::WithXmlExtension(c[0], &out);
        EXPECT_STREQ(out.text, c[1]);
    }
    // Engine names stay, with forward slashes; native paths under the
    // user tree become its names; others are refused with one line.
    EXPECT_TRUE(ScreenWorldLab::NameFromDialog("user://worlds\\a.xml", &out));
    EXPECT_STREQ(out.text, "user://worlds/a.xml");
    const std::string native = std::filesystem::absolute(t.env.engine->UserPath("worlds/b")).lexically_normal();
    EXPECT_TRUE(ScreenWorldLab::NameFromDialog(native.c_str(), &out)) << native;
    EXPECT_STREQ(out.text, "user://worlds/b");
    EXPECT_FALSE(ScreenWorldLab::NameFromDialog("/etc/passwd", &out));
    EXPECT_TRUE(t.log.Contains("'/etc/passwd' lies outside"));
    EXPECT_FALSE(ScreenWorldLab::NameFromDialog("", &out));
    EXPECT_FALSE(ScreenWorldLab::NameFromDialog(nullptr, &out));
}

TEST(WorldLabObjectSelector, ALongDragPicksNothingOnReleaseAndATapPicksAndCloses) {
    Lab t;
    ScreenWorldLabObjectSelector& s = screen_WorldLabObjectSelector;
    UICompTouchField field;
    field.position_type = UI_POS_ABSOLUTE;
    field.position.x = 32;
    field.position.y = 300;
    // The selector finds its strip by name in its set.
    free(field.name);
    field.name = nStringDuplicate("TF");
    UISet set("selector.lua", &s);
    set.Add(&field);
    s.uiset = &set;
    s.leaving = false;
    t.lab.SetShape(0);
    auto send = [&](int type, int x) {
        kd_event_t e = {};
        e.type = type;
        e.x = x;
        e.y = 300;
        s.ProcessEvent(&e);
    };
    // Cells are 64 wide around 32 + 64 i; only x counts.
    EXPECT_EQ(s.CellAt(0), 0);
    EXPECT_EQ(s.CellAt(63), 0);
    EXPECT_EQ(s.CellAt(64), 1);
    EXPECT_EQ(s.CellAt(-1), -1);
    // A drag from cell 1 to cell 3: the pointer's cell is current as it
    // moves, the release far from the press does not close.
    send(KD_EVENT_BUTTON_DOWN, 96);
    send(KD_EVENT_POINTER_MOVE, 224);
    EXPECT_EQ(t.lab.shape_index, 3);
    t.lab.SetShape(0);
    send(KD_EVENT_BUTTON_UP, 230);
    EXPECT_EQ(t.lab.shape_index, 0);
    // A tap within 4 pixels picks its cell (and closes the selector).
    t.lab.placement_angle = 1;
    send(KD_EVENT_BUTTON_DOWN, 290);
    send(KD_EVENT_BUTTON_UP, 294);
    EXPECT_EQ(t.lab.shape_index, 4);
    EXPECT_EQ(t.lab.placement_angle, 0);
    s.uiset = nullptr;
}

TEST(ObjectLab, VerticesStopAtEightNearOnesAreDraggedAndBackspaceIsSafe) {
    AppEnv env;
    FwLog log;
    ScreenObjectLab& lab = screen_ObjectLab;
    // A shape without a picture or a material: the grid is 64 x 64, and
    // the list's "REFERENCE" is not written into the shape.
    const std::string file = env.Write("actors/box.xml",
                                       "<array id=\"info\"><node id=\"hit_points\" value=\"5\"/></array>"
                                       "<array id=\"polygon\"><node x=\"0\" y=\"0\"/><node x=\"4\" y=\"0\"/>"
                                       "<node x=\"0\" y=\"4\"/></array>");
    lab.SelectShape(file.c_str());
    ASSERT_NE(lab.edited_shape, nullptr);
    EXPECT_EQ(lab.edited_shape->material, nullptr);
    EXPECT_TRUE(log.Contains("Selecting line with id REFERENCE"));
    float w, h;
    lab.GridSize(&w, &h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    lab.grid_scale = 10;

    // Within the pick radius (5 screen pixels, half a shape pixel) a
    // vertex is dragged rather than a new one added.
    lab.Press(vec2_t{4.3f, 0.2f});
    EXPECT_EQ(lab.dragged_point, &lab.edited_shape->vertices[1]);
    EXPECT_EQ(lab.edited_shape->vertex_count, 3);
    for (int i = 0; i < 5; i++) lab.Press(vec2_t{10.0f + i * 3, 10});
    EXPECT_EQ(lab.edited_shape->vertex_count, 8);
    EXPECT_EQ(lab.edited_shape->vertices[7].x, 22);
    lab.Press(vec2_t{-20, -20});  // a ninth: refused, nothing dragged
    EXPECT_EQ(lab.edited_shape->vertex_count, 8);
    EXPECT_EQ(lab.dragged_point, nullptr);

    // BACKSPACE takes the last vertex, and the drag of it.
    lab.Press(vec2_t{22, 10});
    lab.RemoveLastVertex();
    EXPECT_EQ(lab.dragged_point, nullptr);
    EXPECT_EQ(lab.edited_shape->vertex_count, 7);
    // Reset empties the polygon; BACKSPACE then does nothing, and is handled.
    lab.ResetShape();
    EXPECT_EQ(lab.edited_shape->vertex_count, 0);
    kd_event_t back = {};
    back.type = KD_EVENT_KEY_DOWN;
    back.id = 8;
    EXPECT_EQ(lab.ProcessEvent(&back), 1);
    EXPECT_EQ(lab.edited_shape->vertex_count, 0);

    // A shape that names a material: Save says the values are the
    // material's, and writes the material.
    const std::string peg = env.Write("actors/mat.xml",
                                      "<array id=\"info\"><node id=\"material\" value=\"wood\"/></array>"
                                      "<array id=\"circle\"><node id=\"radius\" value=\"8\"/></array>");
    lab.shapes.Add(peg.c_str());
    lab.SelectShape(peg.c_str());
    EXPECT_TRUE(log.Contains("Selecting line with id wood"));
    EXPECT_TRUE(lab.SaveShape());
    EXPECT_TRUE(log.Contains("takes its values from the material 'wood'"));
    EXPECT_NE(ReadNative(env.engine->UserPath("actors/mat.xml")).find("value=\"wood\""), std::string::npos);
    // A circle's centre is picked within the pick radius.
    lab.Press(vec2_t{0.2f, 0.1f});
    EXPECT_EQ(lab.dragged_point, &lab.edited_shape->offset);
    lab.edited_shape = nullptr;
    lab.dragged_point = nullptr;
}

// Save writes nothing for a shape the file holds more of than was read
// (an outline the reader refused), one that could not be read and a
// reserved name; each says so with the file's name.
TEST(ObjectLab, SaveRefusesWhatItWouldWriteWrong) {
    AppEnv env;
    FwLog log;
    ScreenObjectLab& lab = screen_ObjectLab;
    const std::string circle = env.Write("actors/minus.xml",
                                         "<array id=\"info\"><node id=\"hit_points\" value=\"5\"/></array>"
                                         "<array id=\"circle\"><node id=\"radius\" value=\"-3\"/></array>");
    const std::string text = ReadNative(env.engine->UserPath("actors/minus.xml"));
    std::string nine = "<array id=\"polygon\">";
    for (int i = 0; i < 9; i++)
        nine +=
            "<node x=\"" + std::to_string(10 * cos(i * 0.7)) + "\" y=\"" + std::to_string(10 * sin(i * 0.7)) + "\"/>";
    const std::string polygon = env.Write("actors/nine.xml", nine + "</array>");
    for (const std::string& f : {circle, polygon}) {
        lab.shapes.Add(f.c_str());
        lab.SelectShape(f.c_str());
        EXPECT_FALSE(lab.SaveShape()) << f;
        EXPECT_TRUE(log.Contains("Object lab: '" + f + "' was not saved: its outline was refused")) << f;
    }
    EXPECT_EQ(ReadNative(env.engine->UserPath("actors/minus.xml")), text);
    lab.SelectShape("actors/not-there.xml");
    EXPECT_FALSE(lab.SaveShape());
    EXPECT_TRUE(log.Contains("Object lab: 'actors/not-there.xml' was not saved: it could not be read"));
    env.Write("ui/shape.xml", "<array id=\"circle\"><node id=\"radius\" value=\"3\"/></array>");
    lab.SelectShape("user://./ui//shape.xml");
    EXPECT_FALSE(lab.SaveShape());
    EXPECT_TRUE(log.Contains("Object lab: shape 'user://./ui//shape.xml' names a data file"));
    lab.edited_shape = nullptr;
    lab.shapes.Clear();
}

// What the next load would leave out is not placed: a fifth actor on one
// square metre, placed or dragged there, with a line; a second worm head refused there keeps the
// first. What the lab placed, its saved world gives back whole.
TEST(WorldLab, APlacementTheLoaderWouldLeaveOutIsRefused) {
    Lab t;
    ActorShape* head = physics_man.GetShape("actors/game-worm-head.xml");
    t.lab.current_shape = head;
    t.lab.Place(vec2_t{5.5f, 0.5f});
    t.lab.current_shape = physics_man.GetShape("actors/peg.xml");
    for (int i = 0; i < 5; i++) t.lab.Place(vec2_t{0.1f + 0.2f * i, 0.5f});
    EXPECT_EQ(t.lab.world.actors.count, 5);
    EXPECT_TRUE(
        t.log.Contains("World lab: the square metre at (0, 0) holds 4 actors, the most one may hold; none "
                       "placed."));
    t.lab.current_shape = head;
    t.lab.Place(vec2_t{0.9f, 0.9f});
    ASSERT_EQ(t.Count("actors/game-worm-head.xml"), 1);
    EXPECT_FLOAT_EQ(t.lab.world.GetActorByShape(head)->body->GetPosition().x, 5.5f);
    t.lab.current_shape = physics_man.GetShape("actors/peg.xml");
    t.lab.Place(vec2_t{1.1f, 0.5f});
    ASSERT_EQ(t.lab.world.actors.count, 6);
    // Dragged over the full square metre, the peg waits outside it (one
    // line), then is under the pointer again past it.
    Actor* peg = t.lab.selected_actor = t.lab.world.actors[5];
    for (float x : {0.9f, 0.7f, 0.5f}) t.lab.Drag(vec2_t{x + 0.2f, 0.5f}, vec2_t{x, 0.5f});
    EXPECT_FLOAT_EQ(peg->body->GetPosition().x, 1.1f);
    t.lab.Drag(vec2_t{0.5f, 0.5f}, vec2_t{-0.5f, 0.5f});
    EXPECT_NEAR(peg->start_position.x, -0.5f, 1e-5f);
    int said = 0;
    for (const std::string& l : t.log.Lines()) said += l.find("hold; the actor is not moved onto it.") != l.npos;
    EXPECT_EQ(said, 1);
    ASSERT_TRUE(t.lab.world.SaveWorld("user://worlds/crowd.xml"));
    PhysicsSimulation back;
    back.editor_mode = 1;
    ASSERT_TRUE(back.LoadWorld("user://worlds/crowd.xml"));
    EXPECT_EQ(back.actors.count, 6);
    back.FreeWorld();
}

// Each lab writes only its own files: a world never where an actor
// definition is, an actor definition only to a listed file that is no
// world; neither lab to a folder, reserved data or a rescued copy of a
// player's file. A refusal is one line with one reason, and the lab's
// status says it while naming the last file really written.
TEST(Labs, EachLabWritesOnlyItsOwnFilesAndARefusalIsSaidOnce) {
    Lab t;
    LabShapeList listed;
    for (const char* f : {"actors/peg.xml", "worlds/e01-l01.xml", "odd/thing.xml"}) listed.Add(f);
    const char* const cases[][3] = {{"user://actors/peg.xml", "w", "an actor definition"},
                                    {"Actors/New.xml", "w", "an actor definition"},
                                    {"odd/thing.xml", "w", "an actor definition"},
                                    {"user://worlds/", "w", "a folder"},
                                    {"user://local-in-app-purchases.xml.damaged", "w", "a player file"},
                                    {"user://worlds/mine.xml", "w", nullptr},
                                    {"user://worlds/e01-l01.xml", "a", "a world"},
                                    {"actors/wall.xml", "a", "a file 'actors.xml' does not list"},
                                    {"actors/", "a", "a folder"},
                                    {"res://data/Actors/peg.xml", "a", nullptr},
                                    {"odd/thing.xml", "a", nullptr}};
    for (auto& c : cases)
        EXPECT_STREQ(LabSaveRefusal(c[0], c[1][0] == 'w' ? LAB_FILE_WORLD : LAB_FILE_ACTOR, listed), c[2]) << c[0];

    // The object lab, with level 1 listed as an actor: a good save, then
    // the refused one, which writes nothing and is said once.
    ScreenObjectLab& lab = screen_ObjectLab;
    const std::string good =
        t.env.Write("actors/good.xml", "<array id=\"circle\"><node id=\"radius\" value=\"3\"/></array>");
    lab.shapes.Add(good.c_str());
    lab.shapes.Add("worlds/e01-l01.xml");
    lab.SelectShape(good.c_str());
    ASSERT_TRUE(lab.SaveShape());
    lab.SelectShape("worlds/e01-l01.xml");
    EXPECT_FALSE(lab.SaveShape());
    EXPECT_FALSE(std::filesystem::exists(t.env.engine->UserPath("worlds/e01-l01.xml")));
    int said = 0;
    for (const std::string& l : t.log.Lines())
        said += l.find("e01-l01.xml") != std::string::npos && l.find("saved") != std::string::npos;
    EXPECT_EQ(said, 1);
    EXPECT_TRUE(t.log.Contains("Object lab: shape 'worlds/e01-l01.xml' names a world; not saved."));
    EXPECT_STREQ(lab.status.last.c_str(), good.c_str());
    EXPECT_STREQ(lab.status.refused.c_str(), "Save of 'worlds/e01-l01.xml' refused");
    lab.edited_shape = nullptr;
    lab.shapes.Clear();

    // A UTF-8 name is shown in the Latin-1 font's own characters.
    EXPECT_EQ(Latin1Text("user://worlds/gr\xc3\xbcn.xml"), "user://worlds/gr\xfcn.xml");
    EXPECT_EQ(Latin1Text("\xe2\x82\xac \xff\xc3"), "? \xff\xc3");
}
