// The layout that holds every one of the 18 component kinds
// (tests/framework/data/all-kinds.lua): drawn through the OpenGL ES
// renderer under Xvfb, each visible kind must change the pixels of its own
// box (the frame is compared with one drawn without that component), and
// the containers' children must show scrolled; written out and read back,
// the layout gives the same text and the same properties.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fw-x-support.h"
#include "kodo.h"
#include "luaman.h"
#include "particle-effects.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

namespace {

std::string ReadSource(const char* name) {
    const char* data = getenv("KODO_TEST_DATA");
    std::ifstream in(std::string(data ? data : ".") + "/../tests/framework/data/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Writes a file through the engine (so "user://" means what it means to it).
bool WriteEngineFile(const char* path, const std::string& text) {
    kd_file_t* f = kd->OpenFile(path, "wb");
    if (!f) return false;
    bool ok = kd->fwrite(text.data(), 1, (unsigned int)text.size(), f) == text.size();
    kd->CloseFile(f);
    return ok;
}

// Keeps a picture for a person to look at: KINDS_SHOT names a PPM file.
void KeepPicture(const FwImage& img) {
    const char* path = getenv("KINDS_SHOT");
    if (!path) return;
    FILE* f = fopen(path, "wb");
    if (!f) return;
    fprintf(f, "P6 %d %d 255\n", img.w, img.h);
    fwrite(img.rgb.data(), 1, img.rgb.size(), f);
    fclose(f);
}

// Pixels of the box (x, y, w, h) that differ between two pictures by more
// than a few levels.
int Changed(const FwImage& a, const FwImage& b, int x, int y, int w, int h) {
    int n = 0;
    for (int j = y; j < y + h; j++)
        for (int i = x; i < x + w; i++) {
            int r1, g1, b1, r2, g2, b2;
            a.At(i, j, &r1, &g1, &b1);
            b.At(i, j, &r2, &g2, &b2);
            if (r1 < 0 || r2 < 0) continue;
            if (abs(r1 - r2) + abs(g1 - g2) + abs(b1 - b2) > 24) n++;
        }
    return n;
}

::testing::AssertionResult Near(const FwImage& img, int x, int y, int r, int g, int b, int tol = 12) {
    int pr, pg, pb;
    img.At(x, y, &pr, &pg, &pb);
    if (abs(pr - r) <= tol && abs(pg - g) <= tol && abs(pb - b) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << pr << ", " << pg << ", " << pb
                                         << "), expected (" << r << ", " << g << ", " << b << ")";
}

class AllKinds : public ::testing::Test {
protected:
    void SetUp() override {
        engine.reset(new FwWindowEngine);
        ASSERT_TRUE(engine->started);
        ASSERT_TRUE(lua_man.Initialize());
        ScreenMan::RegisterLuaFunctions();
        pbman.Clear();
        pbman.Init();
        UIRegisterWidgetKinds();
        ui_screen = UIScreenValues();
        ui_template_set = nullptr;
        ASSERT_TRUE(WriteEngineFile("user://kinds-scriptable.lua", ReadSource("kinds-scriptable.lua")));
        layout = ReadSource("all-kinds.lua");
        ASSERT_FALSE(layout.empty());
    }
    void TearDown() override {
        for (UISet* s : sets) {
            UILayoutDeleteComps(s);
            delete s;
        }
        pbman.Clear();
        lua_man.Shutdown();
        engine.reset();
    }
    UISet* Load(const std::string& text) {
        UISet* set = new UISet("tests/all-kinds.lua", &screen);
        sets.push_back(set);
        screen.uiset = set;
        EXPECT_TRUE(UILayoutRunString(set, text.c_str(), text.size(), "tests/all-kinds.lua"));
        for (int i = 0; i < set->comps.count; i++) set->comps[i]->owner = &screen;
        return set;
    }
    FwImage Draw() {
        return engine->Frame([this] {
            kd->ClearScreen(0, 0, 0);
            screen.DrawUI();
        });
    }
    std::unique_ptr<FwWindowEngine> engine;
    Screen screen;
    std::string layout;
    std::vector<UISet*> sets;
};

}  // namespace

TEST_F(AllKinds, EveryVisibleKindDrawsInItsOwnBox) {
    UISet* set = Load(layout);
    // One of every kind.
    std::vector<bool> seen(UI_NUM_TYPES, false);
    for (int i = 0; i < set->comps.count; i++) seen[set->comps[i]->type] = true;
    for (int t = 1; t < UI_NUM_TYPES; t++) EXPECT_TRUE(seen[t]) << UIComp::GetCompTypeString(t);
    set->ApplyCacheModeOnEnter();
    for (int i = 0; i < set->comps.count; i++) set->comps[i]->OnScreenEnter(&screen);
    for (int f = 0; f < 3; f++)
        for (int i = 0; i < set->comps.count; i++) set->comps[i]->Update(1.0f / 60);
    FwImage all = Draw();
    ASSERT_GT(all.w, 0);
    KeepPicture(all);

    // Each visible kind: hidden, its box loses pixels it had drawn.
    const char* visible[] = {"Button", "Checkbox", "Slider", "Editbox", "Textbox", "Image",    "NinePatch",
                             "Scriptable", "Rectangle", "Ruler", "Model", "Emitter", "Scrolled", "Page"};
    for (const char* name : visible) {
        UIComp* c = set->GetComp(name);
        ASSERT_TRUE(c) << name;
        vec2_t p = c->GetAlignedPos();
        int x = (int)p.x, y = (int)p.y, w = (int)c->width, h = (int)c->height;
        if (c->type == UI_EMITTER || c->type == UI_MODEL || c->type == UI_SCRIPTABLE) {
            // Drawn about (or from) the static position, beyond the box.
            vec2_t s = c->GetStaticPos();
            x = (int)s.x - 40, y = (int)s.y - 40, w = h = 80;
        }
        c->visible = false;
        FwImage without = Draw();
        c->visible = true;
        EXPECT_GT(Changed(all, without, x, y, w, h), 20) << name << " at " << x << ", " << y << " (" << w << " x " << h
                                                         << ")";
    }
    // The rectangle in its red, the scriptable's square in green.
    EXPECT_TRUE(Near(all, 40 + 50, 330 + 20, 255, 0, 0));
    EXPECT_TRUE(Near(all, 640 + 30, 180 + 30, 0, 255, 0));
    // Children scroll with their containers: the field's by its value, the
    // grid's by its step.
    EXPECT_FLOAT_EQ(set->GetComp("Scrolled")->GetAlignedPos().x, 40 + 60 - 30);
    EXPECT_FLOAT_EQ(set->GetComp("Page")->GetAlignedPos().x, 320 + 240 - 200);
    // The invisible kinds leave the backdrop as it was.
    EXPECT_TRUE(Near(all, 760, 560, 25, 25, 76));
    for (int i = 0; i < set->comps.count; i++) set->comps[i]->OnScreenLeave(&screen);
    set->ApplyCacheModeOnLeave();
}

TEST_F(AllKinds, WrittenOutAndReadBackGivesTheSameLayout) {
    UISet* a = Load(layout);
    std::string first = UILayoutExportText(a).c_str();
    UISet* b = Load(first);
    EXPECT_EQ(UILayoutExportText(b).c_str(), first);
    ASSERT_EQ(a->comps.count, b->comps.count);
    // Every property that the layout writes and scripts can read answers
    // the same (the scroll state, the selection and what follows from them
    // are not written).
    lua_State* L = luaL_newstate();
    int compared = 0;
    for (int i = 0; i < a->comps.count; i++) {
        UIComp *x = a->comps[i], *y = b->comps[i];
        ASSERT_EQ(x->type, y->type);
        for (const UIKind* kind : {&UIComp::BaseKind(), &x->Kind()}) {
            for (int r = 0; r < kind->num_rows; r++) {
                const UIPropRow& row = kind->rows[r];
                if (!row.name || !(row.flags & UI_READ) || !(row.flags & UI_EXPORT)) continue;
                auto values = [&](UIComp* c) {
                    lua_settop(L, 0);
                    int n = c->GetProperty(row.name, L);
                    std::string s;
                    for (int k = 1; k <= n; k++) s += std::string(lua_tostring(L, k) ? lua_tostring(L, k) : "?") + " ";
                    return s;
                };
                EXPECT_EQ(values(x), values(y)) << x->name << " " << row.name;
                compared++;
            }
            if (&x->Kind() == &UIComp::BaseKind()) break;
        }
    }
    lua_close(L);
    EXPECT_GT(compared, 300);
}

// The game's level selection (data/ui/level-select.lua): a tile for each
// level of the bundled timeline, on a page of a touch grid for each
// episode; stepping the grid brings the next episode's tiles where the
// first one's were.
TEST_F(AllKinds, LevelSelectionPagesByEpisode) {
    ui_screen.virtual_width = ui_screen.actual_width = 1024;
    static bool registered = (timeline.Init(), true);
    ASSERT_TRUE(registered);
    ASSERT_TRUE(timeline.LoadTimeline("timeline.xml"));
    UISet* set = new UISet("ui/level-select.lua", &screen);
    sets.push_back(set);
    screen.uiset = set;
    ASSERT_TRUE(UILayoutRun(set, "ui/level-select.lua"));
    for (int i = 0; i < set->comps.count; i++) set->comps[i]->owner = &screen;
    UIComp* grid = set->GetComp("Episodes");
    ASSERT_TRUE(grid);
    int tiles = 0;
    for (int e = 1; e <= 3; e++)
        for (int l = 1; l <= 10; l++) {
            std::string name = "Episode" + std::to_string(e) + "_Level" + std::to_string(l);
            char id[16];
            snprintf(id, sizeof id, "E%02d_L%02d", e, l);
            UIComp* b = set->GetComp(name.c_str());
            ASSERT_EQ(b != nullptr, timeline.EventExists(id)) << name;
            if (!b) continue;
            EXPECT_EQ(b->parent, grid) << name;
            tiles++;
        }
    EXPECT_EQ(tiles, 20);
    set->ApplyCacheModeOnEnter();
    FwImage first = Draw();
    KeepPicture(first);
    UIComp* a = set->GetComp("Episode1_Level1");
    UIComp* b = set->GetComp("Episode2_Level1");
    float ax = a->GetCenterPos().x;
    EXPECT_GT(ax, 0);
    EXPECT_GT(b->GetCenterPos().x, 1024);  // the next page waits off the screen
    lua_State* L = set->L;
    lua_settop(L, 0);
    lua_pushstring(L, "touchgrid.selected_step_axis_x_instant");
    lua_pushinteger(L, 1);
    grid->SetProperty("touchgrid.selected_step_axis_x_instant", L);
    lua_settop(L, 0);
    for (int i = 0; i < set->comps.count; i++) set->comps[i]->UpdateDimensions();
    EXPECT_FLOAT_EQ(b->GetCenterPos().x, ax);
    EXPECT_LT(a->GetCenterPos().x, 0);
    set->ApplyCacheModeOnLeave();
    timeline.FreeTimeline();
}
