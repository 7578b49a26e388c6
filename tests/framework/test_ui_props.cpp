// Component properties by name: value kinds and conversion, keywords and
// their fallbacks, refused values, parents and templates, reading back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw-support.h"
#include "recording-kd.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-props.h"

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

TEST_F(PropFixture, NumbersPairsAndComponents) {
    EXPECT_EQ(Set("'position', 0.25, '0.75'"), 0);  // numeric text converts
    EXPECT_FLOAT_EQ(c->position.x, 0.25f);
    EXPECT_FLOAT_EQ(c->position.y, 0.75f);
    EXPECT_EQ(Get("position"), (V{"0.25", "0.75"}));
    EXPECT_EQ(Set("'position.z', 0.5"), 0);
    EXPECT_FLOAT_EQ(c->position.z, 0.5f);
    EXPECT_EQ(Get("position.z"), V{});  // not readable
    EXPECT_EQ(Set("'position_offset', 3, 4"), 0);
    EXPECT_EQ(Get("position_offset.y"), V{"4"});
    EXPECT_EQ(Set("'angle', 1.5"), 0);
    EXPECT_EQ(Get("angle"), V{"1.5"});
    EXPECT_EQ(Set("'width', 10.7"), 0);
    EXPECT_EQ(c->width, 10);
    EXPECT_EQ(Set("'height', -3.9"), 0);
    EXPECT_EQ(Get("height"), V{"-3"});
    EXPECT_EQ(Set("'fading_akey', 0.5"), 0);
    EXPECT_EQ(Get("fading_akey"), V{"0.5"});
    EXPECT_EQ(Set("'scale', 2"), 0);
    EXPECT_FLOAT_EQ(c->dynamic_scale, 2);  // recomputed at once
    EXPECT_EQ(Get("dynamic_scale"), V{"2"});
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
    EXPECT_EQ(Set("'visible', 0"), 0);
    EXPECT_FALSE(c->visible);
    EXPECT_EQ(Set("'visible', true"), 0);
    EXPECT_EQ(Set("'visible', false"), 0);
    EXPECT_EQ(Get("visible"), V{"false"});
    // Truth values: the number 0 is true.
    c->inherit_scale = false;
    EXPECT_EQ(Set("'inherit_scale', 0"), 0);
    EXPECT_TRUE(c->inherit_scale);
    EXPECT_EQ(Set("'inherit_scale', nil"), 0);
    EXPECT_FALSE(c->inherit_scale);
    c->custom_draw = true;
    EXPECT_EQ(Set("'custom_draw', 0"), 0);
    EXPECT_FALSE(c->custom_draw);
    EXPECT_EQ(Set("'localize', 0"), 0);
    EXPECT_FALSE(c->localize);
    EXPECT_EQ(Set("'interactive', 0"), 0);
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

TEST_F(PropFixture, BadValuesAreRefusedAndNamed) {
    c->position = {0.25f, 0.5f, 0.1f};
    rec().Clear();
    EXPECT_EQ(Set("'position', 'left', 3"), 0);
    EXPECT_FLOAT_EQ(c->position.x, 0.25f);
    EXPECT_TRUE(rec().PopupContains("SetProperty: 'position' of 'box' expects two numbers, got string"));
    EXPECT_EQ(Set("'position', 1"), 0);  // the second value is missing
    EXPECT_FLOAT_EQ(c->position.y, 0.5f);
    EXPECT_EQ(Set("'alpha', 0/0"), 0);
    EXPECT_FLOAT_EQ(c->alpha, 1);
    EXPECT_EQ(Set("'scale', 1/0"), 0);
    EXPECT_FLOAT_EQ(c->scale, 1);
    EXPECT_EQ(Set("'width', 1e30"), 0);
    EXPECT_EQ(c->width, 16);
    EXPECT_EQ(Set("'visible', 'no'"), 0);
    EXPECT_TRUE(c->visible);
    EXPECT_EQ(Set("'tags', {}"), 0);
    EXPECT_STREQ(c->tags, "");
    EXPECT_EQ(Set("'color', 1, 'x', 1"), 0);
    EXPECT_FLOAT_EQ(c->color.g, 1);
    EXPECT_EQ(Set("'name', nil"), 0);
    EXPECT_STREQ(c->name, "box");
    EXPECT_EQ(Set("'cache_mode', 3"), 0);  // a keyword is a text; numbers convert to "3"
    EXPECT_EQ(c->cache_mode, 2);
    EXPECT_EQ(Set("'no_such_thing', 1"), -1);
}

TEST_F(PropFixture, TextsHandlersAndFeatures) {
    EXPECT_EQ(Set("'tags', 'menu,top'"), 0);
    EXPECT_EQ(Get("tags"), V{"menu,top"});
    EXPECT_EQ(Set("'name', 'box2'"), 0);
    EXPECT_EQ(Get("name"), V{"box2"});
    EXPECT_EQ(Set("'OnClick', 'ui/go.lua'"), 0);
    EXPECT_STREQ(c->GetHandler(1), "ui/go.lua");
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
    EXPECT_TRUE(rec().PopupContains("would make a loop"));
    EXPECT_EQ(Set("'parent', 'frame'", p), 0);  // itself
    EXPECT_EQ(p->parent, nullptr);
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
