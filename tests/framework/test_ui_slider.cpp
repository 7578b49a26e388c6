// Slider: orientation, key steps with clamping and one click per change,
// the value from a drag position with paddings, clamping and rotation,
// the fill drawn to the value, and the layout lines.
#include <math.h>

#include "ui/ui-slider.h"
#include "widget-fixture.h"

namespace {
struct SliderTest : WidgetFixture {
    wf::FakeBitmap hpanel{"s/h.png", 200, 20}, vpanel{"s/v.png", 20, 200}, square{"s/sq.png", 20, 20},
        full{"s/full.png", 100, 20}, vfull{"s/vfull.png", 20, 100}, mark{"s/mark.png", 10, 30};
    UICursor pressed_cursor, free_cursor;
    void SetUp() override {
        WidgetFixture::SetUp();
        pressed_cursor.pressed = true;
    }
    // A horizontal slider with a 100-pixel fill whose left edge is at 0.
    void MakeHorizontal(UICompSlider& s) {
        Set(&s, "'slider.bm_panel', 's/full.png'");
        Set(&s, "'slider.bm_full', 's/full.png'");
        Set(&s, "'slider.padding', 10, 10");
        Set(&s, "'position', 0, 0");
    }
};
}  // namespace

TEST_F(SliderTest, OrientationFromThePanel) {
    UICompSlider s;
    Set(&s, "'slider.bm_panel', 's/h.png'");
    EXPECT_TRUE(s.IsHorizontal());
    Set(&s, "'slider.bm_panel', 's/v.png'");
    EXPECT_FALSE(s.IsHorizontal());
    Set(&s, "'slider.bm_panel', 's/sq.png'");
    EXPECT_FALSE(s.IsHorizontal());
    Set(&s, "'slider.bm_marker', 's/mark.png'");
    s.UpdateDimensions();
    EXPECT_FLOAT_EQ(s.height, 30);  // grown to the marker
}

TEST_F(SliderTest, KeyStepsClampAndClickOncePerChange) {
    UICompSlider s;
    EXPECT_EQ(s.ProcessCursorMove(&free_cursor, 39, 0.f), 0);  // no panel
    Set(&s, "'slider.bm_panel', 's/h.png'");
    s.value = 0.95f;
    EXPECT_EQ(s.ProcessCursorMove(&free_cursor, 39, 0.f), 1);
    EXPECT_FLOAT_EQ(s.value, 1);
    EXPECT_EQ(wf::Clicks().size(), 1u);
    EXPECT_EQ(s.ProcessCursorMove(&free_cursor, 39, 0.f), 1);
    EXPECT_EQ(wf::Clicks().size(), 1u);
    EXPECT_EQ(s.ProcessCursorMove(&free_cursor, 38, 0.f), 0);  // vertical key
    EXPECT_EQ(s.ProcessCursorMove(&free_cursor, 37, 0.f), 1);
    EXPECT_NEAR(s.value, 0.9f, 1e-6);
    Set(&s, "'slider.bm_panel', 's/v.png'");
    EXPECT_EQ(s.ProcessCursorMove(&free_cursor, 37, 0.f), 0);
    EXPECT_EQ(s.ProcessCursorMove(&free_cursor, 40, 0.f), 1);
    EXPECT_FLOAT_EQ(s.value, 1);
}

TEST_F(SliderTest, DragPositionGivesTheValueWithPaddingAndClamping) {
    UICompSlider s;
    MakeHorizontal(s);
    s.ProcessCursorMove(&pressed_cursor, vec2_t{50, 5}, 0.f);
    EXPECT_FLOAT_EQ(s.value, 0.5f);
    EXPECT_EQ(wf::Clicks().size(), 0u);  // 0.5 was the value already
    s.ProcessCursorMove(&pressed_cursor, vec2_t{10, 5}, 0.f);
    EXPECT_FLOAT_EQ(s.value, 0);
    EXPECT_EQ(wf::Clicks().size(), 1u);
    s.ProcessCursorMove(&pressed_cursor, vec2_t{70, 5}, 0.f);
    EXPECT_NEAR(s.value, 0.75f, 1e-6);
    s.ProcessCursorMove(&pressed_cursor, vec2_t{500, 5}, 0.f);
    EXPECT_EQ(s.value, 1.0f);
    s.ProcessCursorMove(&pressed_cursor, vec2_t{-500, 5}, 0.f);
    EXPECT_EQ(s.value, 0.0f);
    // A pointer that is not pressed changes nothing.
    EXPECT_EQ(s.ProcessCursorMove(&free_cursor, vec2_t{50, 5}, 0.f), 1);
    EXPECT_EQ(s.value, 0.0f);
}

TEST_F(SliderTest, VerticalDragGrowsUpwardsAndRotatedDragFollowsTheAngle) {
    UICompSlider v;
    Set(&v, "'slider.bm_panel', 's/vfull.png'");
    Set(&v, "'slider.bm_full', 's/vfull.png'");
    Set(&v, "'slider.padding', 10, 10");
    Set(&v, "'position', 0, 0");
    v.ProcessCursorMove(&pressed_cursor, vec2_t{5, 10}, 0.f);  // top padding edge
    EXPECT_FLOAT_EQ(v.value, 1);
    v.ProcessCursorMove(&pressed_cursor, vec2_t{5, 90}, 0.f);
    EXPECT_FLOAT_EQ(v.value, 0);

    UICompSlider turned;
    MakeHorizontal(turned);
    Set(&turned, "'angle', 1.5707963");  // turned a quarter: the track runs down
    turned.ProcessCursorMove(&pressed_cursor, vec2_t{50, 10 + 20}, 0.f);
    EXPECT_NEAR(turned.value, 0.75f, 1e-3);
}

TEST_F(SliderTest, TrackWithoutLengthKeepsTheValue) {
    UICompSlider s;
    MakeHorizontal(s);
    Set(&s, "'slider.padding', 50, 50");
    s.value = 0.3f;
    s.ProcessCursorMove(&pressed_cursor, vec2_t{70, 5}, 0.f);
    EXPECT_FLOAT_EQ(s.value, 0.3f);
}

TEST_F(SliderTest, FillDrawnToTheValueWithTheMarkerAtItsEnd) {
    UICompSlider s;
    MakeHorizontal(s);
    Set(&s, "'slider.bm_marker', 's/mark.png'");
    s.inherit_scale = false;
    s.value = 0.5f;
    s.UpdateDimensions();  // 100 x 30: the marker is taller
    wf::Calls().clear();
    s.Draw();
    auto quads = wf::CallsStarting("4V ");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[0], "4V s/full.png 0 5 100 25 uv 0 0 1 1 a 255");
    EXPECT_EQ(quads[1], "4V s/full.png 0 5 50 25 uv 0 0 0.5 1 a 255");
    EXPECT_EQ(wf::CallsStarting("RS ")[0], "RS s/mark.png 50 15 1");

    UICompSlider v;
    Set(&v, "'slider.bm_panel', 's/vfull.png'");
    Set(&v, "'slider.bm_full', 's/vfull.png'");
    v.inherit_scale = false;
    v.value = 1;
    wf::Calls().clear();
    v.Draw();
    EXPECT_EQ(wf::CallsStarting("4V ")[1], "4V s/vfull.png 0 0 20 100 uv 0 0 1 1 a 255");
}

TEST_F(SliderTest, BadValuesAreRefusedAndUnknownNamesReported) {
    UICompSlider s;
    Set(&s, "'slider.value', 0.25");
    Set(&s, "'slider.value', 'half'");  // not a number: 0
    EXPECT_FLOAT_EQ(s.value, 0);
    EXPECT_EQ(Set(&s, "'slider.step', 1"), 0);  // reported by the kind itself, answered as handled
    EXPECT_TRUE(rec().PopupContains("UICompSlider::SetProperty: Unknown Property 'slider.step'"));
}
