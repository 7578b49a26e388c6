// UI component base: types, cloning and inheriting, layout of nested
// components, visibility and activity, hit tests.
#include <gtest/gtest.h>

#include <math.h>

#include "fw-support.h"
#include "recording-kd.h"
#include "ui/ui-comps.h"

namespace {

struct CompFixture : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    void SetUp() override {
        ASSERT_TRUE(e.started);
        r.Install();
        ui_screen = UIScreenValues();  // 800 x 600 virtual screen at (0, 0)
    }
};

// A widget kind with a scroll offset, as touch fields have.
struct Scroller : UIComp {
    vec2_t scroll = {0, 0};
    vec2_t GetScrollOffset() override { return scroll; }
};

#define EXPECT_VEC(v, ex, ey)          \
    do {                               \
        vec2_t _v = (v);               \
        EXPECT_NEAR(_v.x, (ex), 1e-3); \
        EXPECT_NEAR(_v.y, (ey), 1e-3); \
    } while (0)

}  // namespace

// ---------------------------------------------------------------------------
// Types, defaults, cloning and inheriting

TEST_F(CompFixture, TypeNamesBothWaysAndDefaults) {
    EXPECT_EQ(UIComp::GetCompType("button"), 1);
    EXPECT_EQ(UIComp::GetCompType("Button"), 1);
    EXPECT_EQ(UIComp::GetCompType("TOUCHGRID"), 10);
    EXPECT_EQ(UIComp::GetCompType("Model"), 18);
    EXPECT_EQ(UIComp::GetCompType("Lever"), 0);
    EXPECT_EQ(UIComp::GetCompType(nullptr), 0);
    EXPECT_STREQ(UIComp::GetCompTypeString(0), "Unknown");
    EXPECT_STREQ(UIComp::GetCompTypeString(11), "NinePatch");
    EXPECT_STREQ(UIComp::GetCompTypeString(19), "Unknown");
    EXPECT_STREQ(UIComp::GetCompTypeString(-1), "Unknown");

    UIComp c;
    EXPECT_EQ(c.width, 16);
    EXPECT_EQ(c.position_type, UI_POS_RELATIVE_TO_PARENT);
    EXPECT_FLOAT_EQ(c.position.z, 0.1f);
    EXPECT_EQ(c.scale_type, UI_SCALE_RELATIVE_TO_SCREEN_SIZE);
    EXPECT_EQ(c.cache_mode, UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE);
    EXPECT_EQ(c.pixel_filter, 1);
    EXPECT_STREQ(c.tags, "");
    EXPECT_TRUE(c.features_enabled && c.visible && c.active && c.interactive && c.inherit_scale);
}

TEST_F(CompFixture, UpdateCyclesThePhase) {
    UIComp c;
    c.Update(0.6f);
    EXPECT_NEAR(c.phase, 0.6f, 1e-6);
    c.Update(0.6f);
    EXPECT_NEAR(c.phase, 0.2f, 1e-6);
}

TEST_F(CompFixture, InheritCopiesTheDocumentedFieldsOnlyAndSharesHandlers) {
    UIComp* tmpl = new UIComp();
    tmpl->type = UI_BUTTON;
    tmpl->name = nStringDuplicate("DefaultButton");
    tmpl->width = 120, tmpl->height = 40, tmpl->alpha = 0.5f, tmpl->align = UI_ALIGN_CENTER;
    tmpl->color = {0.1f, 0.2f, 0.3f, 0.4f};
    tmpl->position = {0.25f, 0.75f, 0.9f};
    tmpl->angle = 1.0f;
    tmpl->SetHandler(1, "ui/click.lua");

    UIComp parent;
    UIComp c;
    c.type = UI_BUTTON;
    c.name = nStringDuplicate("ok");
    c.parent = &parent;
    c.angle = 0.3f;
    c.position_offset = {1, 2, 3};
    ASSERT_EQ(c.InheritFrom(tmpl), 1);
    EXPECT_EQ(c.width, 120);
    EXPECT_EQ(c.align, UI_ALIGN_CENTER);
    EXPECT_FLOAT_EQ(c.color.a, 0.4f);
    EXPECT_FLOAT_EQ(c.position.x, 0.25f);
    EXPECT_FLOAT_EQ(c.position.z, 0.1f);  // z is not inherited
    EXPECT_STREQ(c.name, "ok");
    EXPECT_EQ(c.parent, &parent);
    EXPECT_FLOAT_EQ(c.angle, 0.3f);
    EXPECT_FLOAT_EQ(c.position_offset.y, 2);
    EXPECT_EQ(c.template_comp, tmpl);
    EXPECT_STREQ(c.GetHandler(1), "ui/click.lua");
    // The handler text is shared, yet outlives the template.
    delete tmpl;
    EXPECT_STREQ(c.GetHandler(1), "ui/click.lua");

    UIComp other;
    other.type = UI_SLIDER;
    other.width = 999;
    EXPECT_EQ(c.InheritFrom(&other), 0);
    EXPECT_EQ(c.width, 120);
    c.template_comp = nullptr;
}

TEST_F(CompFixture, CloneNamesTheSourcesTemplateAndCreateUsesTheDefaultTemplate) {
    UISet templates("ui/templates.lua", nullptr);
    UIComp* def = new UIComp();
    def->type = UI_BUTTON;
    def->name = nStringDuplicate("DefaultButton");
    def->width = 80;
    templates.Add(def);

    UIComp* b = UIComp::Create("button", "play", &templates, "menu.lua");
    EXPECT_EQ(b->type, UI_BUTTON);
    EXPECT_STREQ(b->name, "play");
    EXPECT_EQ(b->width, 80);
    EXPECT_EQ(b->template_comp, def);
    EXPECT_FALSE(b->is_loaded);

    b->scale = 2;
    UIComp* copy = b->Clone(nullptr);
    EXPECT_STREQ(copy->name, "");
    EXPECT_EQ(copy->template_comp, def);
    EXPECT_EQ(copy->scale, 2);
    EXPECT_EQ(copy->type, UI_BUTTON);

    rec().Clear();
    UIComp* odd = UIComp::Create("Lever", "x", &templates, "menu.lua");
    EXPECT_EQ(odd->type, 0);
    EXPECT_TRUE(rec().PopupContains("Unknown component type 'Lever' in menu.lua/x.\n"));
    delete odd;
    delete copy;
    delete b;
    delete def;
}

// ---------------------------------------------------------------------------
// Layout

TEST_F(CompFixture, TopLevelPositionsAnchorsAndOrigins) {
    UIComp c;
    c.position = {0.5f, 0.5f, 0};
    c.align = UI_ALIGN_CENTER;
    c.width = 100, c.height = 50;
    EXPECT_VEC(c.GetStaticPos(), 400, 300);
    EXPECT_VEC(c.GetAlignedPos(), 350, 275);
    EXPECT_VEC(c.GetCenterPos(), 400, 300);

    ui_screen.virtual_x = 10, ui_screen.virtual_y = 20;
    EXPECT_VEC(c.GetStaticPos(), 410, 320);
    c.screen_origin = UI_ORIGIN_ACTUAL;
    ui_screen.actual_width = 1025, ui_screen.actual_height = 700;
    c.position = {0, 0, 0};
    c.parent_anchor = UI_ALIGN_RIGHT | UI_ALIGN_VCENTER;
    EXPECT_VEC(c.GetStaticPos(), 1025, 350);
    c.parent_anchor = UI_ALIGN_HCENTER;
    EXPECT_VEC(c.GetStaticPos(), 512, 0);  // integer halving

    c.screen_origin = UI_ORIGIN_VIRTUAL;
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {5, 6, 0};
    c.parent_anchor = UI_ALIGN_BOTTOM;
    EXPECT_VEC(c.GetStaticPos(), 15, 626);
}

TEST_F(CompFixture, NestedChildrenAnchorScaleRotateAndScroll) {
    UIComp p;
    p.position_type = UI_POS_ABSOLUTE;
    p.position = {100, 50, 0.2f};
    p.width = 200, p.height = 100;
    p.scale = 2;

    UIComp c;
    c.parent = &p;
    c.position_type = UI_POS_ABSOLUTE;
    c.parent_anchor = UI_ALIGN_RIGHT;
    EXPECT_VEC(c.GetStaticPos(), 300, 50);
    c.position_type = UI_POS_RELATIVE_TO_PARENT;
    c.parent_anchor = 0;
    c.position = {0.5f, 0.5f, 0.1f};
    EXPECT_VEC(c.GetStaticPos(), 200, 100);
    c.position_type = UI_POS_RELATIVE_TO_SCREEN;
    EXPECT_VEC(c.GetStaticPos(), 500, 350);
    EXPECT_NEAR(c.GetStaticPosZ(), (0.2f + 0.1f) * 600, 1e-3);

    c.scale = 1.5f;
    EXPECT_FLOAT_EQ(c.GetStaticScale(), 3);
    c.inherit_scale = false;
    EXPECT_FLOAT_EQ(c.GetStaticScale(), 1.5f);

    p.alpha = 0.5f;
    c.alpha = 0.5f;
    c.fading_akey = 0.5f;
    EXPECT_FLOAT_EQ(c.GetStaticAlpha(), 0.125f);

    // A quarter turn of the parent carries the child round its position.
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {10, 0, 0};
    p.angle = (float)M_PI / 2;
    c.angle = 0.25f;
    EXPECT_VEC(c.GetStaticPos(), 100, 60);
    EXPECT_NEAR(c.GetStaticAngle(), M_PI / 2 + 0.25, 1e-5);
    c.inherit_angle = false;
    EXPECT_VEC(c.GetStaticPos(), 110, 50);
    EXPECT_NEAR(c.GetStaticAngle(), 0.25, 1e-6);
    p.angle = 0;

    // Children of a scrolling container move against its scroll.
    Scroller s;
    s.position_type = UI_POS_ABSOLUTE;
    s.scroll = {30.7f, 10};
    s.dynamic_scale = 2;
    UIComp k;
    k.parent = &s;
    k.position_type = UI_POS_ABSOLUTE;
    EXPECT_VEC(k.GetStaticPos(), -60, -20);
}

TEST_F(CompFixture, SnappingRoundsRelativePositions) {
    ui_screen.virtual_width = 1024;  // keeps 10.5 pixels exact in binary
    UIComp c;
    c.snap_position_to_pixels = true;
    c.position = {10.5f / 1024, 10.4f / 600, 0};
    EXPECT_VEC(c.GetStaticPos(), 11, 10);
    UIComp p;
    p.position_type = UI_POS_ABSOLUTE;
    p.width = 128, p.height = 100;
    UIComp k;
    k.parent = &p;
    k.snap_position_to_pixels = true;
    k.position = {10.5f / 128, 0.104f, 0};
    EXPECT_VEC(k.GetStaticPos(), 11, 10);
}

TEST_F(CompFixture, ScaleTypesGiveTheirFactors) {
    UIComp c;
    c.width = 400, c.height = 100;
    c.scale = 0.5f;
    c.scale_type = UI_SCALE_FIT_INSIDE_SCREEN;
    c.CalculateDynamicScale();
    EXPECT_FLOAT_EQ(c.scale_type_factor, 2);
    EXPECT_FLOAT_EQ(c.GetDynamicScale(), 1);
    c.scale_type = UI_SCALE_FIT_TO_COVER_SCREEN;
    c.CalculateDynamicScale();
    EXPECT_FLOAT_EQ(c.scale_type_factor, 6);
    ui_screen.scale_width = 1.25f, ui_screen.scale_height = 1.5f, ui_screen.scale_ref = 1.75f;
    c.scale_type = UI_SCALE_RELATIVE_TO_SCREEN_WIDTH;
    c.CalculateDynamicScale();
    EXPECT_FLOAT_EQ(c.scale_type_factor, 1.25f);
    c.scale_type = UI_SCALE_RELATIVE_TO_PARENT;
    c.CalculateDynamicScale();
    EXPECT_FLOAT_EQ(c.scale_type_factor, 1.75f);
    UIComp p;
    p.scale_type_factor = 3;
    c.parent = &p;
    c.CalculateDynamicScale();
    EXPECT_FLOAT_EQ(c.scale_type_factor, 3);
    // A component without size keeps factor 1 instead of an infinite one.
    c.width = 0;
    c.scale_type = UI_SCALE_FIT_INSIDE_SCREEN;
    c.CalculateDynamicScale();
    EXPECT_FLOAT_EQ(c.scale_type_factor, 1);
}

TEST_F(CompFixture, ConvertPositionTypeKeepsTheComponentInPlace) {
    UIComp c;
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {400, 300, 0};
    vec2_t before = c.GetStaticPos();
    c.ConvertPositionType(UI_POS_RELATIVE_TO_PARENT);
    EXPECT_FLOAT_EQ(c.position.x, 0.5f);
    EXPECT_FLOAT_EQ(c.position.y, 0.5f);
    EXPECT_VEC(c.GetStaticPos(), before.x, before.y);

    UIComp p;
    p.position_type = UI_POS_ABSOLUTE;
    p.width = 200, p.height = 0;  // no usable size: the screen is the unit
    UIComp k;
    k.parent = &p;
    k.position_type = UI_POS_ABSOLUTE;
    k.position = {80, 60, 0};
    k.ConvertPositionType(UI_POS_RELATIVE_TO_PARENT);
    EXPECT_FLOAT_EQ(k.position.x, 0.1f);
    EXPECT_FLOAT_EQ(k.position.y, 0.1f);
}

// ---------------------------------------------------------------------------
// Visibility, activity and hit tests

TEST_F(CompFixture, FadingHiddenAndInactiveParentsReachDescendants) {
    UIComp p, c, g;
    c.parent = &p;
    g.parent = &c;
    EXPECT_TRUE(g.IsInteractive());
    c.fading = true;
    c.fading_akey = 0;
    EXPECT_FALSE(c.IsVisible());
    EXPECT_FALSE(c.IsActive());
    c.fading_akey = 0.5f;
    EXPECT_TRUE(c.IsVisible());
    EXPECT_FALSE(c.IsActive());
    EXPECT_FALSE(g.IsInteractive());
    c.fading = false;
    p.visible = false;
    EXPECT_FALSE(g.IsVisible());
    p.visible = true;
    p.active = false;
    EXPECT_TRUE(g.IsVisible());
    EXPECT_FALSE(g.IsActive());
    EXPECT_FALSE(g.IsInteractive());
    p.active = true;
    g.features_enabled = false;
    EXPECT_FALSE(g.IsVisible());
    g.features_enabled = true;
    g.interactive = false;
    EXPECT_FALSE(g.IsInteractive());
}

TEST_F(CompFixture, HitTestsIncludeEdgesRotationAndMargins) {
    UIComp c;
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {100, 100, 0};
    c.width = 50, c.height = 20;
    EXPECT_TRUE(c.IsPointOver({150, 120}));  // bottom-right corner
    EXPECT_TRUE(c.IsPointOver({100, 100}));
    EXPECT_FALSE(c.IsPointOver({150.01f, 110}));
    EXPECT_FALSE(c.IsPointOver({99.9f, 110}));

    // Margins count in scaled pixels, corners included.
    c.dynamic_scale = 2;
    EXPECT_TRUE(c.IsPointOverExpandedArea({159, 129}, 5));
    EXPECT_FALSE(c.IsPointOverExpandedArea({161, 110}, 5));

    // A quarter turn about the static position, centred.
    c.align = UI_ALIGN_CENTER;
    c.angle = (float)M_PI / 2;
    EXPECT_TRUE(c.IsPointOver({100, 124}));   // along the long side, now vertical
    EXPECT_FALSE(c.IsPointOver({124, 100}));  // along the short side
    EXPECT_VEC(c.GetCenterPos(), 100, 100);
    EXPECT_VEC(c.GetBoundingRectangleSize(), 20, 50);

    // Rotated through a parent.
    UIComp p;
    p.position_type = UI_POS_ABSOLUTE;
    p.position = {0, 0, 0};
    p.angle = (float)M_PI;
    UIComp k;
    k.parent = &p;
    k.position_type = UI_POS_ABSOLUTE;
    k.position = {10, 10, 0};
    k.width = k.height = 10;
    EXPECT_TRUE(k.IsPointOver({-15, -15}));
    EXPECT_FALSE(k.IsPointOver({15, 15}));
    EXPECT_VEC(k.MapObjectSpacePointToScreenSpace({10, 0}), -10, 0);
    EXPECT_VEC(k.MapScreenSpacePointToObjectSpace({-10, 0}), 10, 0);
}

TEST_F(CompFixture, InViewWhenTouchingTheScreen) {
    UIComp c;
    c.position_type = UI_POS_ABSOLUTE;
    c.width = c.height = 10;
    c.position = {-10, -10, 0};
    EXPECT_TRUE(c.IsInView());
    c.position = {-10.5f, 0, 0};
    EXPECT_FALSE(c.IsInView());
    c.position = {800, 600, 0};
    EXPECT_TRUE(c.IsInView());
    c.position = {800.5f, 0, 0};
    EXPECT_FALSE(c.IsInView());
    // Rotated: the bounding box of the turned component counts.
    c.position = {-12, 300, 0};
    c.width = 30, c.height = 2;
    c.angle = (float)M_PI / 2;
    EXPECT_FALSE(c.IsInView());
    c.angle = 0;
    EXPECT_TRUE(c.IsInView());
}

TEST_F(CompFixture, AlignWordsBothWays) {
    EXPECT_EQ(ParseAlignFlags("CENTER"), 12);
    EXPECT_EQ(ParseAlignFlags("HCENTER"), 8);
    EXPECT_EQ(ParseAlignFlags("BOTTOMRIGHT"), 3);
    EXPECT_EQ(ParseAlignFlags("BOTTOMHCENTER"), 10);
    EXPECT_EQ(ParseAlignFlags("LEFT"), 0);
    EXPECT_EQ(ParseAlignFlags(""), 0);
    EXPECT_EQ(ParseAlignFlags(nullptr), 0);
    EXPECT_STREQ(GetAlignFlagsAsString(12), "CENTER");
    EXPECT_STREQ(GetAlignFlagsAsString(3), "BOTTOMRIGHT");
    EXPECT_STREQ(GetAlignFlagsAsString(10), "BOTTOMHCENTER");
    EXPECT_STREQ(GetAlignFlagsAsString(0), "");
    for (int f = 0; f < 16; f++) EXPECT_EQ(ParseAlignFlags(GetAlignFlagsAsString(f)), f) << f;
}
