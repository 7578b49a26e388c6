// Check box: value from booleans and integers, toggling, the marker and
// disabled bitmaps, odd sizes on whole pixels, and the layout lines.
#include "ui/ui-checkbox.h"
#include "widget-fixture.h"

namespace {
struct CheckboxTest : WidgetFixture {
    wf::FakeBitmap idle{"c/idle.png", 16, 16}, odd{"c/odd.png", 15, 16}, disabled{"c/disabled.png", 16, 16},
        marker{"c/tick.png", 16, 16};
    wf::FakeFont font{"fonts/f.sft", false, {}};
};
}  // namespace

TEST_F(CheckboxTest, ValueFromBooleansAndIntegersAndToggling) {
    UICompCheckbox c;
    EXPECT_EQ(Set(&c, "'checkbox.value', true"), 0);
    EXPECT_EQ(Get(&c, "checkbox.value"), "1");
    Set(&c, "'checkbox.value', 5");
    EXPECT_EQ(c.value, 5);
    Set(&c, "'checkbox.value', false");
    EXPECT_EQ(c.value, 0);
    c.Toggle();
    EXPECT_EQ(c.value, 1);
    c.Toggle();
    EXPECT_EQ(c.value, 0);
    c.name = nStringDuplicate("music");
    Set(&c, "'checkbox.value', 'yes'");
    EXPECT_EQ(c.value, 0);
    EXPECT_TRUE(rec().PopupContains("'checkbox.value' of 'music' expects"));
    EXPECT_EQ(Set(&c, "'checkbox.tick', 1"), 0);  // reported by the kind itself, answered as handled
    EXPECT_TRUE(rec().PopupContains("UICompCheckbox::SetProperty: Unknown Property 'checkbox.tick'"));
}

TEST_F(CheckboxTest, SizeWithoutIdleBitmapIsOnePixelTimesScale) {
    UICompCheckbox c;
    ui_screen.scale_ref = 3;
    c.UpdateDimensions();
    EXPECT_FLOAT_EQ(c.width, 3);
    Set(&c, "'checkbox.bm_idle', 'c/idle.png'");
    EXPECT_FLOAT_EQ(c.width, 48);
}

TEST_F(CheckboxTest, MarkerWhenCheckedAndDisabledBitmapWhenInactive) {
    UICompCheckbox c;
    Set(&c, "'checkbox.bm_idle', 'c/idle.png'");
    Set(&c, "'checkbox.bm_disabled', 'c/disabled.png'");
    Set(&c, "'checkbox.bm_marker', 'c/tick.png'");
    c.inherit_scale = false;
    wf::Calls().clear();
    c.Draw();
    ASSERT_EQ(wf::CallsStarting("RS ").size(), 1u);
    Set(&c, "'checkbox.value', 5");
    c.active = false;
    wf::Calls().clear();
    c.Draw();
    auto rs = wf::CallsStarting("RS ");
    ASSERT_EQ(rs.size(), 2u);
    EXPECT_EQ(rs[0], "RS c/disabled.png 8 8 1");
    EXPECT_EQ(rs[1], "RS c/tick.png 8 8 1");
}

TEST_F(CheckboxTest, OddWidthLandsHalfAPixelRight) {
    UICompCheckbox c;
    c.inherit_scale = false;
    Set(&c, "'checkbox.bm_idle', 'c/odd.png'");
    wf::Calls().clear();
    c.Draw();
    EXPECT_EQ(wf::CallsStarting("RS ")[0], "RS c/odd.png 8 8 1");  // 0.5 + 15 / 2
}

TEST_F(CheckboxTest, LabelDrawnRightOfTheBox) {
    UICompCheckbox c;
    c.inherit_scale = false;
    Set(&c, "'checkbox.bm_idle', 'c/idle.png'");
    Set(&c, "'checkbox.font', 'fonts/f.sft'");
    Set(&c, "'checkbox.text', 'Music'");
    wf::Calls().clear();
    c.Draw();
    ASSERT_EQ(wf::CallsStarting("Text ").size(), 1u);
    EXPECT_EQ(wf::CallsStarting("Text ")[0], "Text 16 -2 scale 1 'Music'");  // 8 - 20 / 2
}
