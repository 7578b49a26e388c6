// Component properties by name: value kinds and conversion, keywords and
// their fallbacks, refused values, parents and templates, reading back;
// and every property of every kind through its layout line.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fw-support.h"
#include "recording-kd.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"
#include "widget-fixture.h"

namespace {

struct PropFixture : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    UISet* set = nullptr;
    lua_State* L = nullptr;
    UIComp* c = nullptr;
    void SetUp() override {
        ASSERT_TRUE(e.started);
        r.Install();
        ui_screen = UIScreenValues();
        set = new UISet("ui/menu.lua", nullptr);
        L = set->L;
        ASSERT_TRUE(L);
        c = new UIComp();
        c->name = nStringDuplicate("box");
        set->Add(c);
    }
    void TearDown() override {
        UILayoutDeleteComps(set);
        delete set;
    }
    // Sets a property from the values of a Lua expression list, the
    // property name first; answers SetProperty's result.
    int Set(const std::string& values, UIComp* target = nullptr) {
        lua_settop(L, 0);
        if (luaL_loadstring(L, ("return " + values).c_str()) != 0 || lua_pcall(L, 0, LUA_MULTRET, 0) != 0) {
            ADD_FAILURE() << lua_tostring(L, -1);
            return -99;
        }
        int rc = (target ? target : c)->SetProperty(lua_tostring(L, 1), L);
        lua_settop(L, 0);
        return rc;
    }
    // The values GetProperty pushes, as text.
    std::vector<std::string> Get(const char* prop, UIComp* target = nullptr) {
        lua_settop(L, 0);
        lua_pushstring(L, prop);
        int n = (target ? target : c)->GetProperty(prop, L);
        std::vector<std::string> out;
        EXPECT_EQ(lua_gettop(L), n + 1);
        for (int i = 2; i <= lua_gettop(L); i++) {
            if (lua_type(L, i) == LUA_TBOOLEAN)
                out.push_back(lua_toboolean(L, i) ? "true" : "false");
            else
                out.push_back(lua_tostring(L, i) ? lua_tostring(L, i) : "?");
        }
        lua_settop(L, 0);
        return out;
    }
    using V = std::vector<std::string>;
};

}  // namespace

TEST_F(PropFixture, NumbersConvertTruncateAndRescale) {
    EXPECT_EQ(Set("'position', 0.25, '0.75'"), 0);  // numeric text converts
    EXPECT_FLOAT_EQ(c->position.y, 0.75f);
    EXPECT_EQ(Set("'height', -3.9"), 0);
    EXPECT_EQ(Get("height"), V{"-3"});  // toward zero
    EXPECT_EQ(Set("'scale', 2"), 0);
    EXPECT_FLOAT_EQ(c->dynamic_scale, 2);  // recomputed at once
}

TEST_F(PropFixture, ColourKeepsAlphaUnlessGiven) {
    c->color.a = 0.5f;
    EXPECT_EQ(Set("'color', 0.1, 0.2, 0.3"), 0);
    EXPECT_FLOAT_EQ(c->color.b, 0.3f);
    EXPECT_FLOAT_EQ(c->color.a, 0.5f);
    EXPECT_EQ(Set("'color', 1, 1, 1, 0.25"), 0);
    EXPECT_FLOAT_EQ(c->color.a, 0.25f);
    EXPECT_EQ(Set("'color.g', 0"), 0);
    EXPECT_EQ(Get("color.g"), V{"0"});
    EXPECT_EQ(Get("color"), V{});
}

TEST_F(PropFixture, FlagsAndTruthValues) {
    EXPECT_EQ(Set("'visible', true"), 0);
    EXPECT_EQ(Set("'visible', 0"), 0);
    EXPECT_FALSE(c->visible);
    // Truth values: the number 0 is true.
    c->inherit_scale = false;
    EXPECT_EQ(Set("'inherit_scale', 0"), 0);
    EXPECT_TRUE(c->inherit_scale);
    EXPECT_EQ(Set("'inherit_scale', nil"), 0);
    EXPECT_FALSE(c->inherit_scale);
    c->custom_draw = true;
    EXPECT_EQ(Set("'custom_draw', 0"), 0);
    EXPECT_FALSE(c->custom_draw);
    EXPECT_EQ(Get("interactive"), V{});  // not readable through the base
}

TEST_F(PropFixture, KeywordsAndTheirFallbacks) {
    EXPECT_EQ(Set("'cache_mode', 'PRELOAD'"), 0);
    EXPECT_EQ(c->cache_mode, 0);
    rec().Clear();
    EXPECT_EQ(Set("'cache_mode', 'DEFAULT'"), 0);
    EXPECT_EQ(c->cache_mode, 2);
    EXPECT_TRUE(rec().popups.empty());
    EXPECT_EQ(Set("'cache_mode', 'preload'"), 0);  // case matters
    EXPECT_EQ(c->cache_mode, 2);
    EXPECT_TRUE(rec().PopupContains("Cache mode 'preload' is not supported."));
    EXPECT_EQ(Get("cache_mode"), V{"LOAD_ON_ENTER_RELEASE_ON_LEAVE"});

    EXPECT_EQ(Get("scale_type"), V{"RELATIVE_TO_SCREEN_SIZE"});
    rec().Clear();
    EXPECT_EQ(Set("'scale_type', 'HUGE'"), 0);
    EXPECT_EQ(c->scale_type, 7);
    EXPECT_TRUE(rec().PopupContains("In 'ui/menu.lua' unknown scale type 'HUGE' for 'box'.\nPossible values are: "
                                    "FIT_INSIDE_SCREEN,"));
    EXPECT_EQ(Get("scale_type"), V{"RELATIVE_TO_PARENT"});
    c->scale_type = 42;
    EXPECT_EQ(Get("scale_type"), V{"RELATIVE_TO_SCREEN_SIZE"});

    rec().Clear();
    EXPECT_EQ(Set("'draw_mode', 'MIRRORED_BOTH'"), 0);
    EXPECT_EQ(c->draw_mode, 0);
    EXPECT_TRUE(rec().PopupContains("Draw mode 'MIRRORED_BOTH' is not supported."));
    EXPECT_EQ(Set("'draw_mode', 'MIRRORED_HORIZONTAL'"), 0);
    EXPECT_EQ(c->draw_mode, 2);
    EXPECT_EQ(Set("'blend_mode', 'ADDITIVE'"), 0);
    EXPECT_EQ(c->blend_mode, 1);
    EXPECT_EQ(Set("'blend_mode', 'ODD'"), 0);
    EXPECT_EQ(c->blend_mode, 0);
    EXPECT_EQ(Set("'pixel_filter', 'POINT'"), 0);
    EXPECT_EQ(c->pixel_filter, 0);
    EXPECT_EQ(Set("'pixel_filter', 'ODD'"), 0);
    EXPECT_EQ(c->pixel_filter, 1);
    EXPECT_EQ(Set("'screen_origin', 'VIRTUAL'"), 0);
    EXPECT_EQ(c->screen_origin, 0);
    EXPECT_EQ(Set("'screen_origin', 'ODD'"), 0);
    EXPECT_EQ(c->screen_origin, 1);
    EXPECT_EQ(Set("'position_type', 'RELATIVE'"), 0);
    EXPECT_EQ(c->position_type, 1);
    EXPECT_EQ(Set("'position_type', 'RELATIVE_TO_SCREEN'"), 0);
    EXPECT_EQ(Get("position_type"), V{"RELATIVE_TO_SCREEN"});
    EXPECT_EQ(Set("'position_type', 'ODD'"), 0);
    EXPECT_EQ(Get("position_type"), V{"ABSOLUTE"});
    EXPECT_EQ(Set("'align', 'BOTTOMHCENTER'"), 0);
    EXPECT_EQ(c->align, 10);
    EXPECT_EQ(Get("align"), V{"BOTTOMHCENTER"});
    EXPECT_EQ(Set("'parent_anchor', 'CENTER'"), 0);
    EXPECT_EQ(c->parent_anchor, 12);
}

TEST_F(PropFixture, NonNumbersReadAsZeroAndBadTextsAreRefused) {
    c->position = {0.25f, 0.5f, 0.1f};
    rec().Clear();
    // Where a number belongs, anything else reads as 0, with a warning.
    EXPECT_EQ(Set("'position', 'left', 3"), 0);
    EXPECT_FLOAT_EQ(c->position.x, 0);
    EXPECT_FLOAT_EQ(c->position.y, 3);
    EXPECT_TRUE(rec().PopupContains("SetProperty: 'position' of 'box' expects two numbers, got string; read as 0"));
    EXPECT_EQ(Set("'position', 0.5"), 0);  // the second value is missing
    EXPECT_FLOAT_EQ(c->position.x, 0.5f);
    EXPECT_FLOAT_EQ(c->position.y, 0);
    EXPECT_EQ(Set("'alpha', 'half'"), 0);
    EXPECT_FLOAT_EQ(c->alpha, 0);
    EXPECT_EQ(Set("'scale', 1/0"), 0);  // not finite
    EXPECT_FLOAT_EQ(c->scale, 0);
    EXPECT_EQ(Set("'width', 1e30"), 0);  // does not fit an int
    EXPECT_EQ(c->width, 0);
    EXPECT_EQ(Set("'visible', 'no'"), 0);
    EXPECT_FALSE(c->visible);
    EXPECT_EQ(Set("'color', 1, 'x', 1"), 0);
    EXPECT_FLOAT_EQ(c->color.g, 0);
    // A text property given something else keeps its text.
    EXPECT_EQ(Set("'tags', {}"), 0);
    EXPECT_STREQ(c->tags, "");
    EXPECT_EQ(Set("'name', nil"), 0);
    EXPECT_STREQ(c->name, "box");
    EXPECT_EQ(Set("'cache_mode', 3"), 0);  // a keyword is a text; numbers convert to "3"
    EXPECT_EQ(c->cache_mode, 2);
    EXPECT_EQ(Set("'no_such_thing', 1"), -1);
}

TEST_F(PropFixture, RequiredFeaturesHideAndShow) {
    EXPECT_EQ(Set("'required_features', 'SOME_FEATURE_NOT_ON'"), 0);
    EXPECT_STREQ(c->required_features, "SOME_FEATURE_NOT_ON");
    EXPECT_FALSE(c->features_enabled);
    EXPECT_FALSE(c->IsVisible());
    EXPECT_EQ(Set("'required_features', ''"), 0);
    EXPECT_TRUE(c->features_enabled);
}

TEST_F(PropFixture, ParentsAreFoundInTheScriptsSetAndLoopsRefused) {
    EXPECT_EQ(Get("parent"), V{""});
    UIComp* p = new UIComp();
    p->name = nStringDuplicate("frame");
    set->Add(p);
    EXPECT_EQ(Set("'parent', 'frame'"), 0);
    EXPECT_EQ(c->parent, p);
    EXPECT_EQ(Get("parent"), V{"frame"});
    rec().Clear();
    EXPECT_EQ(Set("'parent', 'box'", p), 0);  // box is frame's child already
    EXPECT_EQ(p->parent, nullptr);
    EXPECT_TRUE(rec().DebugContains("Parent 'box' of 'frame' would make a loop; parent left as it was."));
    EXPECT_EQ(Set("'parent', 'frame'", p), 0);  // itself
    EXPECT_EQ(p->parent, nullptr);

    // A chain of parents is at most 64 deep, whichever end it grows from:
    // below a chain of 64 (frame and 63 more) one child fits, not two.
    UIComp* top = p;
    for (int i = 0; i < 63; i++) {
        UIComp* k = new UIComp();
        k->name = nStringDuplicate(("k" + std::to_string(i)).c_str());
        set->Add(k);
        ASSERT_TRUE(UISetCompParent(k, top, set, nullptr));
        k->inherit_angle = true;
        top = k;
    }
    EXPECT_TRUE(UISetCompParent(c, top, set, nullptr));
    // Every query walks the chain once per level, not twice.
    c->inherit_angle = true;
    EXPECT_TRUE(isfinite(c->GetStaticPos().x));
    UIComp* leaf = new UIComp();
    leaf->name = nStringDuplicate("leaf");
    set->Add(leaf);
    rec().Clear();
    EXPECT_FALSE(UISetCompParent(leaf, c, set, "menu.lua:9"));
    EXPECT_TRUE(rec().DebugContains("menu.lua:9: Parent 'box' of 'leaf' would make a chain of parents deeper than 64"));
    EXPECT_TRUE(UISetCompParent(c, nullptr, set, nullptr));
    EXPECT_TRUE(UISetCompParent(leaf, c, set, nullptr));
    EXPECT_FALSE(UISetCompParent(c, top, set, nullptr));  // the child below counts
    EXPECT_EQ(c->parent, nullptr);
    c->GetStaticPos();
    rec().Clear();
    EXPECT_EQ(Set("'parent', 'ghost'"), 0);
    EXPECT_EQ(c->parent, nullptr);
    EXPECT_TRUE(rec().PopupContains("Missing parent 'ghost' for ui/menu.lua/box.\n"));
}

TEST_F(PropFixture, InheritReBasesOnATemplate) {
    UISet templates("ui/templates.lua", nullptr);
    UIComp* big = new UIComp();
    big->name = nStringDuplicate("BigBox");
    big->width = 300;
    big->color.r = 0.5f;
    templates.Add(big);
    ui_template_set = &templates;
    c->angle = 0.5f;
    EXPECT_EQ(Set("'inherit', 'BigBox'"), 0);
    EXPECT_EQ(c->width, 300);
    EXPECT_EQ(c->template_comp, big);
    EXPECT_FLOAT_EQ(c->angle, 0.5f);
    rec().Clear();
    EXPECT_EQ(Set("'inherit', 'Nope'"), 0);
    EXPECT_TRUE(rec().PopupContains("Component template 'Nope' for 'box' not found in 'templates.lua'.\n"));
    EXPECT_EQ(c->template_comp, big);
    ui_template_set = nullptr;
    c->template_comp = nullptr;
    UILayoutDeleteComps(&templates);
}

TEST_F(PropFixture, ReadOnlyGeometryAndStatistics) {
    c->position = {0.5f, 0.25f, 0};
    c->width = 100;
    c->align = UI_ALIGN_HCENTER;
    EXPECT_EQ(Get("static_position"), (V{"400", "150"}));
    EXPECT_EQ(Get("aligned_position.x"), V{"350"});
    EXPECT_EQ(Get("is_in_view"), V{"true"});
    EXPECT_EQ(Get("time_cursor_over"), V{"0"});
    int before = GetPropertyAccessCount("static_position.y");
    Get("static_position.y");
    Get("static_position.y");
    EXPECT_EQ(GetPropertyAccessCount("static_position.y"), before + 2);
    EXPECT_EQ(Set("'static_position', 1, 2"), -1);  // read-only
}

// ---------------------------------------------------------------------------
// Every property of every kind: set from a layout line, read back, written
// as the layout format gives it, read again from the written text, and
// taken (or not) by clones and by components re-based on it. The samples
// below are the expectations; every row of every kind's table must have
// one, so a new property or kind fails here until it is described.

namespace {

struct Sample {
    const char* prop;
    const char* args;   // the Lua values after the name; null: a read-only name
    const char* get;    // GetProperty's values joined by ", "; "-": none; "*": any
    const char* lines;  // the layout lines the value adds, '\n' between; "" none
    // 'I' inherited from templates (and so cloned), 'C' taken by clones only,
    // 'P' taken by clones of plain components only, '-' neither, '?' not seen
    // from outside.
    char taken;
    const char* setup;  // statements run first, in the baseline too
};

// %T stands for the kind's type string.
const Sample kSamples[] = {
    // The base.
    {"inherit", "'Big%T'", "-", R"(SetProperty ("inherit", "Big%T");)", '?', ""},
    {"inherit_scale", "false", "-", R"(SetProperty ("inherit_scale", false);)", 'I', ""},
    {"required_features", "'NO_SUCH_FEATURE'", "-", R"(SetProperty ("required_features", "NO_SUCH_FEATURE");)",
     'P', ""},
    {"localize", "0", "-", R"(SetProperty ("localize", 0);)", 'I', ""},
    {"cache_mode", "'IGNORE_LOADING'", "IGNORE_LOADING", R"(SetProperty ("cache_mode", "IGNORE_LOADING");)", 'I', ""},
    {"visible", "0", "false", R"(SetProperty ("visible", 0);)", 'I', ""},
    {"active", "false", "false", R"(SetProperty ("active", 0);)", 'I', ""},
    {"interactive", "0", "-", R"(SetProperty ("interactive", 0);)", 'I', ""},
    {"expanded_hit_area", "12", "-", R"(SetProperty ("expanded_hit_area", 12);)", 'I', ""},
    {"scale_type", "'FIT_INSIDE_SCREEN'", "FIT_INSIDE_SCREEN", R"(SetProperty ("scale_type", "FIT_INSIDE_SCREEN");)",
     'I', ""},
    {"blend_mode", "'ADDITIVE'", "-", R"(SetProperty ("blend_mode", "ADDITIVE");)", 'I', ""},
    {"pixel_filter", "'POINT'", "-", R"(SetProperty ("pixel_filter", "POINT");)", 'I', ""},
    {"draw_mode", "'MIRRORED_VERTICAL'", "-", R"(SetProperty ("draw_mode", "MIRRORED_VERTICAL");)", 'I', ""},
    {"fading", "1", "true", R"(SetProperty ("fading", 1);)", 'I', ""},
    {"fading_akey", "0.5", "0.5", R"(SetProperty ("fading_akey", 0.5);)", 'I', ""},
    {"custom_draw", "true", "-", R"(SetProperty ("custom_draw", 1);)", 'I', ""},
    {"tags", R"([[say "hi" \ ok]])", R"(say "hi" \ ok)", R"(SetProperty ("tags", "say \"hi\" \\ ok");)", 'P', ""},
    {"parent", "'frame'", "frame", R"(SetProperty ("parent", "frame");)", 'C', ""},
    {"screen_origin", "'ACTUAL'", "-", R"(SetProperty ("screen_origin", "ACTUAL");)", 'I', ""},
    {"parent_anchor", "'BOTTOMRIGHT'", "-", R"(SetProperty ("parent_anchor", "BOTTOMRIGHT");)", '-', ""},
    {"position_type", "'RELATIVE_TO_SCREEN'", "RELATIVE_TO_SCREEN",
     R"(SetProperty ("position_type", "RELATIVE_TO_SCREEN");)", 'I', "SetProperty ('parent', 'frame');\n"},
    {"position", "0.25, -0.5", "0.25, -0.5", R"(SetProperty ("position", 0.25, -0.5);)", 'I', ""},
    {"color.r", "0.5", "0.5", R"(SetProperty ("color.r", 0.5);)", 'I', ""},
    {"color.g", "0.5", "0.5", R"(SetProperty ("color.g", 0.5);)", 'I', ""},
    {"color.b", "0.5", "0.5", R"(SetProperty ("color.b", 0.5);)", 'I', ""},
    {"color.a", "0.5", "0.5", R"(SetProperty ("color.a", 0.5);)", 'I', ""},
    {"angle", "0.5", "0.5", R"(SetProperty ("angle", 0.5);)", '-', ""},
    {"scale", "2", "2", R"(SetProperty ("scale", 2);)", 'I', ""},
    {"OnLoad", "'ui/load.lua'", "-", R"(SetProperty ("OnLoad", "ui/load.lua");)", 'I', ""},
    {"OnClick", "'ui/click.lua'", "-", R"(SetProperty ("OnClick", "ui/click.lua");)", 'I', ""},
    {"OnEnter", "'ui/enter.lua'", "-", R"(SetProperty ("OnEnter", "ui/enter.lua");)", 'I', ""},
    {"OnLeave", "'ui/leave.lua'", "-", R"(SetProperty ("OnLeave", "ui/leave.lua");)", 'I', ""},
    {"OnDraw", "'ui/draw.lua'", "-", R"(SetProperty ("OnDraw", "ui/draw.lua");)", 'I', ""},
    {"OnUpdate", "'ui/update.lua'", "-", R"(SetProperty ("OnUpdate", "ui/update.lua");)", 'I', ""},
    {"align", "'CENTER'", "CENTER", R"(SetProperty ("align", "CENTER");)", 'I', ""},
    {"alpha", "0.5", "0.5", "", 'I', ""},
    {"position_offset", "3, 4", "3, 4", R"(SetProperty ("position_offset", 3, 4);)", '-', ""},
    {"position_offset.x", "3", "3", R"(SetProperty ("position_offset", 3, 0);)", '-', ""},
    {"position_offset.y", "4", "4", R"(SetProperty ("position_offset", 0, 4);)", '-', ""},
    {"position_offset.z", "0.5", "-", R"(SetProperty ("position_offset.z", 0.5);)", '?', ""},
    {"position.x", "0.25", "0.25", R"(SetProperty ("position", 0.25, 0);)", 'I', ""},
    {"position.y", "0.75", "0.75", R"(SetProperty ("position", 0, 0.75);)", 'I', ""},
    {"position.z", "0.5", "-", R"(SetProperty ("position.z", 0.5);)", '?', ""},
    {"color", "0.25, 0.5, 0.75, 0.125", "-",
     "SetProperty (\"color.r\", 0.25);\nSetProperty (\"color.g\", 0.5);\nSetProperty (\"color.b\", 0.75);\n"
     "SetProperty (\"color.a\", 0.125);",
     'I', ""},
    {"width", "10.7", "10", "", '?', ""},
    {"height", "-3.9", "-3", "", '?', ""},
    {"inherit_angle", "false", "-", R"(SetProperty ("inherit_angle", false);)", '?', ""},
    {"snap_position_to_pixels", "true", "-", R"(SetProperty ("snap_position_to_pixels", true);)", '?', ""},
    {"name", "'renamed'", "renamed", R"(CreateComp ("%T", "renamed");)", '-', ""},
    {"snd_over", "'sfx/click.wav'", "-", R"(SetProperty ("snd_over", "sfx/click.wav");)", '?', ""},
    {"snd_press", "'sfx/click.wav'", "-", R"(SetProperty ("snd_press", "sfx/click.wav");)", '?', ""},
    {"snd_release", "'sfx/click.wav'", "-", R"(SetProperty ("snd_release", "sfx/click.wav");)", '?', ""},
    {"time_cursor_over", nullptr, "0", "", '?', ""},
    {"time_cursor_locked", nullptr, "0", "", '?', ""},
    {"dynamic_scale", nullptr, "*", "", '?', ""},
    {"static_position", nullptr, "*", "", '?', ""},
    {"static_position.x", nullptr, "*", "", '?', ""},
    {"static_position.y", nullptr, "*", "", '?', ""},
    {"aligned_position.x", nullptr, "*", "", '?', ""},
    {"aligned_position.y", nullptr, "*", "", '?', ""},
    {"is_in_view", nullptr, "*", "", '?', ""},

    // Button.
    {"button.bm_idle", "'t/pic.png'", "t/pic.png", R"(SetProperty ("button.bm_idle", "t/pic.png");)", 'I', ""},
    {"button.bm_over", "'t/pic.png'", "-", R"(SetProperty ("button.bm_over", "t/pic.png");)", 'I', ""},
    {"button.bm_pressed", "'t/pic.png'", "-", R"(SetProperty ("button.bm_pressed", "t/pic.png");)", 'I', ""},
    {"button.bm_disabled", "'t/pic.png'", "-", R"(SetProperty ("button.bm_disabled", "t/pic.png");)", 'I', ""},
    {"button.bm_icon", "'t/pic.png'", "-", R"(SetProperty ("button.bm_icon", "t/pic.png");)", 'I', ""},
    {"button.icon_offset", "3, -4", "-", R"(SetProperty ("button.icon_offset", 3, -4);)", 'I', ""},
    {"button.text_offset", "1.5, 2", "-", R"(SetProperty ("button.text_offset", 1.5, 2);)", 'I', ""},
    {"button.text_align", "'BOTTOMRIGHT'", "-", R"(SetProperty ("button.text_align", "BOTTOMRIGHT");)", 'I', ""},
    {"button.textbox_size", "120.7, 30", "-", R"(SetProperty ("button.textbox_size", "120", "30");)", 'I', ""},
    {"button.max_text_width_percentage", "80", "-", R"(SetProperty ("button.max_text_width_percentage", "80");)",
     'I', ""},
    {"button.text_scale_disabled", "0.5", "-", R"(SetProperty ("button.text_scale_disabled", 0.500000);)", 'I', ""},
    {"button.text_scale_idle", "1.25", "-", R"(SetProperty ("button.text_scale_idle", 1.250000);)", 'I', ""},
    {"button.text_scale_over", "1.5", "-", R"(SetProperty ("button.text_scale_over", 1.500000);)", 'I', ""},
    {"button.text_scale_pressed", "0.75", "-", R"(SetProperty ("button.text_scale_pressed", 0.750000);)", 'I', ""},
    {"button.font", "'t/font.sft'", "t/font.sft", R"(SetProperty ("button.font", "t/font.sft");)", 'I', ""},
    {"button.text", R"([[Say "hi"\nC:\\dir]])", "Say \"hi\"\nC:\\dir",
     R"(SetProperty ("button.text", "Say \"hi\"\nC:\\\\dir");)", 'I', ""},
    {"button.dynamic_text_scale_limits", "0.5, 1.5", "-", "", '?', ""},
    {"button.scale_idle", "2", "-", "", '?', ""},
    {"button.scale_over", "2", "-", "", '?', ""},
    {"button.scale_pressed", "2", "-", "", '?', ""},
    {"button.scale_disabled", "2", "-", "", '?', ""},
    {"button.text_color_idle", "1, 0, 0, 0.5", "-", "", '?', ""},
    {"button.text_color_over", "1, 0, 0, 0.5", "-", "", '?', ""},
    {"button.text_color_pressed", "1, 0, 0, 0.5", "-", "", '?', ""},
    {"button.text_color_disabled", "1, 0, 0, 0.5", "-", "", '?', ""},

    // Check box.
    {"checkbox.bm_idle", "'t/pic.png'", "t/pic.png", R"(SetProperty ("checkbox.bm_idle", "t/pic.png");)", 'I', ""},
    {"checkbox.bm_over", "'t/pic.png'", "-", R"(SetProperty ("checkbox.bm_over", "t/pic.png");)", 'I', ""},
    {"checkbox.bm_pressed", "'t/pic.png'", "-", R"(SetProperty ("checkbox.bm_pressed", "t/pic.png");)", 'I', ""},
    {"checkbox.bm_disabled", "'t/pic.png'", "-", R"(SetProperty ("checkbox.bm_disabled", "t/pic.png");)", 'I', ""},
    {"checkbox.bm_marker", "'t/pic.png'", "-", R"(SetProperty ("checkbox.bm_marker", "t/pic.png");)", 'I', ""},
    {"checkbox.font", "'t/font.sft'", "t/font.sft", R"(SetProperty ("checkbox.font", "t/font.sft");)", 'I', ""},
    {"checkbox.text", R"([[Say "on" \ off]])", R"(Say "on" \ off)",
     R"(SetProperty ("checkbox.text", "Say \"on\" \\ off");)", 'I', ""},
    {"checkbox.value", "3", "3", R"(SetProperty ("checkbox.value", "3");)", 'I', ""},

    // Slider.
    {"slider.bm_panel", "'t/pic.png'", "t/pic.png", R"(SetProperty ("slider.bm_panel", "t/pic.png");)", 'I', ""},
    {"slider.bm_panel_over", "'t/pic.png'", "t/pic.png", R"(SetProperty ("slider.bm_panel_over", "t/pic.png");)",
     'I', ""},
    {"slider.bm_full", "'t/pic.png'", "t/pic.png", R"(SetProperty ("slider.bm_full", "t/pic.png");)", 'I', ""},
    {"slider.bm_marker", "'t/pic.png'", "t/pic.png", R"(SetProperty ("slider.bm_marker", "t/pic.png");)", 'I', ""},
    {"slider.padding", "4, 6", "-", R"(SetProperty ("slider.padding", "4", "6");)", 'I', ""},
    {"slider.value", "0.25", "0.25", "", 'I', ""},

    // Edit box.
    {"editbox.bm_panel", "'t/pic.png'", "t/pic.png", R"(SetProperty ("editbox.bm_panel", "t/pic.png");)", 'I', ""},
    {"editbox.bm_panel_over", "'t/pic.png'", "t/pic.png", R"(SetProperty ("editbox.bm_panel_over", "t/pic.png");)",
     'I', ""},
    {"editbox.bm_cursor", "'t/pic.png'", "t/pic.png", R"(SetProperty ("editbox.bm_cursor", "t/pic.png");)", 'I', ""},
    {"editbox.font", "'t/font.sft'", "t/font.sft", R"(SetProperty ("editbox.font", "t/font.sft");)", 'I', ""},
    {"editbox.padding", "6", "6", R"(SetProperty ("editbox.padding", 6);)", 'I', ""},
    {"editbox.max_chars", "12.9", "12", R"(SetProperty ("editbox.max_chars", 12);)", 'I', ""},
    {"editbox.text_offset", "2, -1", "-", R"(SetProperty ("editbox.text_offset", 2, -1);)", 'I', ""},
    {"editbox.text_color", "1, 0.5, 0", "-", R"(SetProperty ("editbox.text_color", 1, 0.5, 0);)", 'I', ""},
    {"editbox.text_scale", "0.75", "-", R"(SetProperty ("editbox.text_scale", 0.75);)", 'I', ""},
    {"editbox.caps_only", "1", "-", R"(SetProperty ("editbox.caps_only", 1);)", 'I', ""},
    {"editbox.text_offset.x", "2", "-", R"(SetProperty ("editbox.text_offset", 2, 0);)", 'I', ""},
    {"editbox.text_offset.y", "-1", "-", R"(SetProperty ("editbox.text_offset", 0, -1);)", 'I', ""},
    {"editbox.text", "'hello'", "hello", "", 'I', ""},

    // Text box.
    {"textbox.font", "'t/font.sft'", "t/font.sft", R"(SetProperty ("textbox.font", "t/font.sft");)", 'I', ""},
    {"textbox.textbox_width", "200", "-", R"(SetProperty ("textbox.textbox_width", "200");)", 'I', ""},
    {"textbox.textbox_align", "'HCENTER'", "-", R"(SetProperty ("textbox.textbox_align", "HCENTER");)", 'I', ""},
    {"textbox.text", R"([[Say "hi"\nC:\\dir\]])", "Say \"hi\"\nC:\\dir\\",
     R"(SetProperty ("textbox.text", "Say \"hi\"\nC:\\\\dir\\\\");)", 'I', ""},
    {"textbox.text_align", "'BOTTOM'", "-", R"(SetProperty ("textbox.textbox_align", "BOTTOM");)", 'I', ""},

    // Image.
    {"image.bitmap", "'t/pic.png'", "t/pic.png", R"(SetProperty ("image.bitmap", "t/pic.png");)", 'I', ""},
    {"image.anim_loop_time", "2", "2", R"(SetProperty ("image.anim_loop_time", 2);)", 'C', ""},
    {"image.anim_pause_time", "0.25", "0.25", R"(SetProperty ("image.anim_pause_time", 0.25);)", 'C', ""},
    {"image.anim_mode", "'PINGPONG'", "PINGPONG", R"(SetProperty ("image.anim_mode", "PINGPONG");)", 'C', ""},
    {"image.bitmap_switch", "'t/pic.png'", "-", R"(SetProperty ("image.bitmap", "t/pic.png");)", 'I', ""},
    {"image.anim_key", "0.25", "0.25", "", '-', ""},

    // List box.
    {"listbox.text", "'ignored'", "-", "", '?', ""},
    {"listbox.selected", "3.9", "3", "", '-', ""},
    {"listbox.bm_frame", "'t/pic.png'", "t/pic.png", R"(SetProperty ("listbox.bm_frame", "t/pic.png");)", 'I', ""},
    {"listbox.bm_frame_top", "'t/pic.png'", "t/pic.png", R"(SetProperty ("listbox.bm_frame_top", "t/pic.png");)",
     'I', ""},
    {"listbox.bm_selection", "'t/pic.png'", "-", R"(SetProperty ("listbox.bm_selection", "t/pic.png");)", 'I', ""},
    {"listbox.content_size", "120.7, 30", "-", R"(SetProperty ("listbox.content_size", 120, 30);)", 'I', ""},
    {"listbox.font", "'t/font.sft'", "t/font.sft", R"(SetProperty ("listbox.font", "t/font.sft");)", 'I', ""},
    {"listbox.padding_left", "7", "-", R"(SetProperty ("listbox.padding_left", "7");)", 'I', ""},
    {"listbox.padding_right", "7", "-", R"(SetProperty ("listbox.padding_right", "7");)", 'I', ""},
    {"listbox.padding_top", "7", "-", R"(SetProperty ("listbox.padding_top", "7");)", 'I', ""},
    {"listbox.padding_bottom", "7", "-", R"(SetProperty ("listbox.padding_bottom", "7");)", 'I', ""},

    // Nine-patch.
    {"ninepatch.bitmap", "'t/pic.png'", "t/pic.png", R"(SetProperty ("ninepatch.bitmap", "t/pic.png");)", 'I', ""},
    {"ninepatch.bitmap_client_rect", "12, 8.5, 88, 90", "-",
     R"(SetProperty ("ninepatch.bitmap_client_rect", 12, 8.5, 88, 90);)", 'I', ""},
    {"ninepatch.client_size", "200.7, 40", "-", R"(SetProperty ("ninepatch.client_size", 200, 40);)", 'I', ""},
    {"ninepatch.client_width", nullptr, "50", "", '?', ""},
    {"ninepatch.client_height", nullptr, "50", "", '?', ""},

    // Ruler: sizes kept as numbers, read back truncated.
    {"ruler.endpoint_bitmap", "'t/pic.png'", "t/pic.png", R"(SetProperty ("ruler.endpoint_bitmap", "t/pic.png");)",
     'I', ""},
    {"ruler.repeat_bitmap", "'t/pic.png'", "t/pic.png", R"(SetProperty ("ruler.repeat_bitmap", "t/pic.png");)", 'I',
     ""},
    {"ruler.client_width", "300.5", "300", R"(SetProperty ("ruler.client_width", 300.500000);)", 'I', ""},
    {"ruler.client_height", "10.5", "10", R"(SetProperty ("ruler.client_height", 10.500000);)", 'I', ""},
    {"ruler.endpoint_offset", "-2.5", "-2", R"(SetProperty ("ruler.endpoint_offset", -2.500000);)", 'I', ""},

    // Rectangle and marker: the rectangle's numbers are written in quotes.
    {"rectangle.rect_width", "120.5", "120.5", R"(SetProperty ("rectangle.rect_width", "120.5");)", 'I', ""},
    {"rectangle.rect_height", "40", "40", R"(SetProperty ("rectangle.rect_height", "40");)", 'I', ""},
    {"marker.area_width", "80.5", "80.5", R"(SetProperty ("marker.area_width", 80.5);)", 'C', ""},
    {"marker.area_height", "30", "30", R"(SetProperty ("marker.area_height", 30);)", 'C', ""},

    // Model.
    {"model.model", "'user://square.xml'", "user://square.xml", R"(SetProperty ("model.model", "user://square.xml");)",
     'I', ""},

    // Touch field: sizes and switches are written; the scroll state is not.
    {"touchfield.allow_dragging_only_inside_view_area", "1", "-",
     R"(SetProperty ("touchfield.allow_dragging_only_inside_view_area", true);)", 'I', ""},
    {"touchfield.area_width", "200", "200", R"(SetProperty ("touchfield.area_width", 200);)", 'I', ""},
    {"touchfield.area_height", "50.5", "50.5", R"(SetProperty ("touchfield.area_height", 50.5);)", 'I', ""},
    {"touchfield.content_width", "400", "400", R"(SetProperty ("touchfield.content_width", 400);)", 'I', ""},
    {"touchfield.content_height", "900", "900", R"(SetProperty ("touchfield.content_height", 900);)", 'I', ""},
    {"touchfield.axis_x_enabled", "0", "-", R"(SetProperty ("touchfield.axis_x_enabled", 0);)", 'I', ""},
    {"touchfield.axis_y_enabled", "0", "-", R"(SetProperty ("touchfield.axis_y_enabled", 0);)", 'I', ""},
    {"touchfield.limit_type", "'SMOOTH_DRAG'", "-", R"(SetProperty ("touchfield.limit_type", "SMOOTH_DRAG");)", 'I',
     ""},
    {"touchfield.value_x", "12.5", "12.5", "", 'I', ""},
    {"touchfield.value_y", "-3", "-3", "", 'I', ""},
    {"touchfield.values", nullptr, "0, 0", "", '?', ""},
    {"touchfield.target_value_x", "30", "-", "", '?', ""},
    {"touchfield.target_value_y", "30", "-", "", '?', ""},
    {"touchfield.limits_x", "5, 2", "5, 5", "", '-', ""},
    {"touchfield.limits_y", "1, 7", "1, 7", "", '-', ""},

    // Touch grid: step sizes are written whole; the selection is not written.
    {"touchgrid.axis_x_enabled", "0", "-", R"(SetProperty ("touchgrid.axis_x_enabled", 0);)", 'I', ""},
    {"touchgrid.axis_y_enabled", "0", "-", R"(SetProperty ("touchgrid.axis_y_enabled", 0);)", 'I', ""},
    {"touchgrid.num_steps_axis_x", "4.7", "4", R"(SetProperty ("touchgrid.num_steps_axis_x", 4);)", 'I', ""},
    {"touchgrid.num_steps_axis_y", "3", "3", R"(SetProperty ("touchgrid.num_steps_axis_y", 3);)", 'I', ""},
    {"touchgrid.step_size_axis_x", "100", "100", R"(SetProperty ("touchgrid.step_size_axis_x", 100);)", 'I', ""},
    {"touchgrid.step_size_axis_y", "32", "32", R"(SetProperty ("touchgrid.step_size_axis_y", 32);)", 'I', ""},
    {"touchgrid.selected_step_axis_x", "2", "2", "", 'I', "SetProperty ('touchgrid.num_steps_axis_x', 4);\n"},
    {"touchgrid.selected_step_axis_y", "9", "2", "", 'I', "SetProperty ('touchgrid.num_steps_axis_y', 3);\n"},
    {"touchgrid.offset_selected_step_axis_x", "1", "-", "", '?', ""},
    {"touchgrid.offset_selected_step_axis_y", "1", "-", "", '?', ""},
    {"touchgrid.selected_step_axis_x_instant", "1", "-", "", '?', ""},
    {"touchgrid.selected_step_axis_y_instant", "1", "-", "", '?', ""},
    {"touchgrid.current_offset_x", nullptr, "0", "", '?', ""},
    {"touchgrid.current_offset_y", nullptr, "0", "", '?', ""},

    // Path: every point is a line of its own.
    {"path.point", "3, 4.5", "-", R"(SetProperty ("path.point", 3, 4.5);)", 'I', ""},
    {"path.num_points", "5", "0", "", '?', ""},

    // Emitter: its numbers are written in quotes.
    {"emitter.fx", "'fxs/none.lua'", "fxs/none.lua", R"(SetProperty ("emitter.fx", "fxs/none.lua");)", 'I', ""},
    {"emitter.time_interval", "0.5", "0.5", R"(SetProperty ("emitter.time_interval", "0.5");)", 'I', ""},
    {"emitter.initial_simulation_time", "0.25", "0.25", R"(SetProperty ("emitter.initial_simulation_time", "0.25");)",
     'I', ""},
    {"emitter.cam", "3, 4", "-", "", '?', ""},
    {"emitter.cam_x", "3", "3", "", '-', ""},
    {"emitter.cam_y", "4", "4", "", '-', ""},

    // Scriptable: a script that is missing is reported in the log only.
    {"scriptable.script", "'ui/no-such-script.lua'", "ui/no-such-script.lua",
     R"(SetProperty ("scriptable.script", "ui/no-such-script.lua");)", 'I', ""},

    // Advert: numbers written in quotes.
    {"ad.rect_width", "300", "300", R"(SetProperty ("ad.rect_width", "300");)", 'I', ""},
    {"ad.rect_height", "250", "250", R"(SetProperty ("ad.rect_height", "250");)", 'I', ""},
};

const Sample* FindSample(const char* prop) {
    for (const Sample& s : kSamples)
        if (!strcmp(s.prop, prop)) return &s;
    return nullptr;
}

std::string WithType(std::string s, const char* type) {
    for (size_t at; (at = s.find("%T")) != std::string::npos;) s.replace(at, 2, type);
    return s;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
        if (nl > from) out.push_back(text.substr(from, nl - from));
    if (from < text.size()) out.push_back(text.substr(from));
    return out;
}

// The lines of `a` that `b` lacks (as many times as they are missing).
std::vector<std::string> Minus(std::vector<std::string> a, const std::vector<std::string>& b) {
    for (const std::string& line : b) {
        auto it = std::find(a.begin(), a.end(), line);
        if (it != a.end()) a.erase(it);
    }
    return a;
}

// One type per kind: every widget kind and one plain type.
std::vector<int> OneTypePerKind() {
    UIRegisterWidgetKinds();
    std::vector<int> types;
    std::vector<const UIKind*> seen;
    for (int t = 1; t < UI_NUM_TYPES; t++) {
        UIComp* c = UIComp::Create(UIComp::GetCompTypeString(t), "probe", nullptr, "");
        const UIKind* k = &c->Kind();
        delete c;
        if (std::find(seen.begin(), seen.end(), k) != seen.end()) continue;
        seen.push_back(k);
        types.push_back(t);
    }
    return types;
}

struct EveryProperty : WidgetFixture, ::testing::WithParamInterface<int> {
    wf::FakeBitmap pic{"t/pic.png", 40, 20};
    wf::FakeFont font{"t/font.sft", false, {}};
    UISet* templates = nullptr;
    const char* type = nullptr;

    void SetUp() override {
        WidgetFixture::SetUp();
        type = UIComp::GetCompTypeString(GetParam());
        // A default template of every type, and a second one to re-base on.
        // Both are interactive, so that switching that off is a change for
        // every kind.
        std::string t;
        for (int i = 1; i < UI_NUM_TYPES; i++)
            for (const char* prefix : {"Default", "Big"})
                t += WithType("CreateComp ('%T', '" + std::string(prefix) + "%T');\nSetProperty ('interactive', 1);\n",
                              UIComp::GetCompTypeString(i));
        templates = Load(t, "ui/templates.lua");
        ui_template_set = templates;
        // A flat square for the model kind, without a texture.
        WriteNative(e.UserPath("square.xml"),
                    "<?xml version=\"1.0\"?>\n<root>\n<array id=\"SURFACE_0_VERTICES\">\n"
                    "<node x=\"-8\" y=\"-8\" z=\"0\" />\n<node x=\"8\" y=\"-8\" z=\"0\" />\n"
                    "<node x=\"8\" y=\"8\" z=\"0\" />\n</array>\n<array id=\"SURFACE_0_INDICES\">\n"
                    "<node i=\"0\" />\n<node i=\"1\" />\n<node i=\"2\" />\n</array>\n</root>\n");
    }
    void TearDown() override {
        WidgetFixture::TearDown();
        ui_template_set = nullptr;
    }
    // The values GetProperty pushes, joined by ", "; "-" for none.
    static std::string Values(UIComp* c, const char* prop) {
        lua_State* L = luaL_newstate();
        lua_pushstring(L, prop);
        int n = c->GetProperty(prop, L);
        std::string s;
        for (int i = 2; i <= 1 + n; i++) {
            if (i > 2) s += ", ";
            if (lua_type(L, i) == LUA_TBOOLEAN) s += lua_toboolean(L, i) ? "true" : "false";
            else s += lua_tostring(L, i) ? lua_tostring(L, i) : "?";
        }
        lua_close(L);
        return n ? s : "-";
    }
    static std::string Block(UIComp* c) {
        nString out("");
        c->ExportLua(out);
        return out.c_str();
    }
    // What shows of the sample's value on `c`: its values when readable,
    // else whether its lines are written.
    static std::string Seen(UIComp* c, const Sample& s) {
        if (strcmp(s.get, "-")) return Values(c, s.prop);
        std::string block = Block(c);
        for (const std::string& line : Lines(s.lines))
            if (block.find(line) == std::string::npos) return "not written";
        return "written";
    }
    void Check(const UIPropRow& row);
};

void EveryProperty::Check(const UIPropRow& row) {
    SCOPED_TRACE(std::string(type) + " " + row.name);
    const Sample* s = FindSample(row.name);
    if (!s) {
        ADD_FAILURE() << "no sample for the property '" << row.name << "'";
        return;
    }
    std::string head = WithType("CreateComp ('%T', 'frame');\nCreateComp ('%T', 'c');\n", type) + s->setup;
    UISet* base = Load(head);
    if (!s->args) {
        // Computed values: read, never set.
        UIComp* c = base->GetCompByIndex(1);
        // A kind reports the name itself, once, and answers as handled; a
        // plain component leaves the report to its caller.
        rec().Clear();
        bool plain = &c->Kind() == &UIComp::BaseKind();
        EXPECT_EQ(Set(c, std::string("'") + row.name + "', 1"), plain ? -1 : 0);
        EXPECT_EQ(rec().popups.size(), plain ? 0u : 1u);
        if (strcmp(s->get, "*")) {
            EXPECT_EQ(Values(c, row.name), s->get);
        } else {
            EXPECT_NE(Values(c, row.name), "-");
        }
        return;
    }
    std::string before = Text(base);

    rec().Clear();
    UISet* a = Load(head + "SetProperty ('" + row.name + "', " + WithType(s->args, type) + ");\n");
    EXPECT_TRUE(rec().popups.empty()) << rec().popups[0];
    UIComp* c = a->GetCompByIndex(1);
    EXPECT_EQ(Values(c, row.name), s->get);
    rec().Clear();
    std::string written = Text(a);
    EXPECT_TRUE(rec().popups.empty()) << rec().popups[0];

    // The value adds exactly its own lines.
    std::vector<std::string> want = Lines(WithType(s->lines, type));
    EXPECT_EQ(Minus(Lines(written), Lines(before)), want) << written;
    for (const std::string& gone : Minus(Lines(before), Lines(written)))
        EXPECT_EQ(gone.rfind("CreateComp", 0), 0u) << gone;

    // Read again, the text gives the same component and the same text.
    UISet* b = Load(written);
    EXPECT_EQ(Text(b), written);
    if (!want.empty() && strcmp(s->get, "-")) {
        EXPECT_EQ(Values(b->GetCompByIndex(1), row.name), s->get);
    }

    if (s->taken == '?') return;
    // Clones take what templates give and what the kind marks for copies;
    // a component re-based on `c` takes only what templates give.
    bool plain = &c->Kind() == &UIComp::BaseKind();
    std::string mine = Seen(c, *s);
    std::unique_ptr<UIComp> clone(c->Clone("d"));
    bool cloned = s->taken == 'I' || s->taken == 'C' || (s->taken == 'P' && plain);
    EXPECT_EQ(Seen(clone.get(), *s) == mine, cloned) << "clone";
    std::unique_ptr<UIComp> fresh(UIComp::Create(type, "e", templates, a->file.c_str()));
    EXPECT_EQ(fresh->InheritFrom(c), 1);
    fresh->template_comp = c->template_comp;
    EXPECT_EQ(Seen(fresh.get(), *s) == mine, s->taken == 'I') << "inherit";
}

}  // namespace

TEST_P(EveryProperty, SetGetWriteReadBackAndCopy) {
    UIComp* probe = UIComp::Create(type, "probe", nullptr, "");
    const UIKind& own = probe->Kind();
    delete probe;
    const UIKind& base = UIComp::BaseKind();
    for (int i = 0; i < base.num_rows; i++) Check(base.rows[i]);
    if (&own != &base)
        for (int i = 0; i < own.num_rows; i++)
            if (own.rows[i].name) Check(own.rows[i]);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, EveryProperty, ::testing::ValuesIn(OneTypePerKind()),
                         [](const ::testing::TestParamInfo<int>& param_info) {
                             return std::string(UIComp::GetCompTypeString(param_info.param));
                         });
