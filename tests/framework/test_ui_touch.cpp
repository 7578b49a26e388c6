// Touch field and touch grid driven by pointer events: the rubber band,
// the fling threshold, presses outside the content, the wheel, second
// fingers, the thresholds of the grid's first and later steps, selections
// kept in range (also for step counts and sizes of 0 or less), the easing
// speed, and presses on children cancelled while the container moves.
// The end-to-end run (tests/e2e/test_touch.sh) drives both through the
// real input.
#include <math.h>

#include "ui/screen-manager.h"
#include "ui/ui-touchfield.h"
#include "ui/ui-touchgrid.h"
#include "widget-fixture.h"

namespace {

kd_event_t Ev(int type, float x, float y, int id = 0, float px = 0, float py = 0) {
    kd_event_t e = {};
    e.type = type;
    e.id = id;
    e.x = (intptr_t)x, e.y = (intptr_t)y;
    e.prev_x = (intptr_t)px, e.prev_y = (intptr_t)py;
    return e;
}

struct TouchTest : WidgetFixture {
    void SetUp() override {
        WidgetFixture::SetUp();
        sman.UnlockCursors();
    }
    void TearDown() override {
        sman.UnlockCursors();
        WidgetFixture::TearDown();
    }
    template <class C> static void Place(C& c) {
        c.scale_type = UI_SCALE_ACTUAL_SIZE;
        c.position_type = UI_POS_ABSOLUTE;
        c.position = {100, 100, 0};
        c.UpdateDimensions();
    }
    // Press at (x, y), move by (dx, dy) in `steps` moves, no release.
    template <class C> static void Drag(C& c, float x, float y, float dx, float dy, int steps = 1) {
        kd_event_t d = Ev(KD_EVENT_BUTTON_DOWN, x, y);
        c.ProcessEvent(&d);
        float px = x, py = y;
        for (int i = 1; i <= steps; i++) {
            float nx = x + dx * (float)i / (float)steps, ny = y + dy * (float)i / (float)steps;
            kd_event_t m = Ev(KD_EVENT_POINTER_MOVE, nx, ny, 0, px, py);
            c.ProcessEvent(&m);
            px = nx, py = ny;
        }
    }
};

}  // namespace

TEST_F(TouchTest, FieldRubberBandsPastItsLimitsAndSpringsBack) {
    UICompTouchField f;
    Place(f);
    Set(&f, "'touchfield.content_height', 500");
    EXPECT_FLOAT_EQ(f.y.maximum, 400);
    // 40 units past the top: the content shows 20 past it.
    Drag(f, 150, 150, 0, 40);
    EXPECT_FLOAT_EQ(f.y.value, -20);
    kd_event_t up = Ev(KD_EVENT_BUTTON_UP, 150, 190);
    EXPECT_EQ(f.ProcessEvent(&up), 1);
    for (int i = 0; i < 120; i++) f.Update(1.0f / 60);
    EXPECT_FLOAT_EQ(f.y.value, 0);
    // Content smaller than the area: both limits 0, any drag springs back.
    Set(&f, "'touchfield.content_width', 50");
    EXPECT_FLOAT_EQ(f.x.maximum, 0);
    // STOP holds the value at the limit while the finger goes on.
    Set(&f, "'touchfield.limit_type', 'STOP'");
    Drag(f, 120, 150, 0, -600);
    EXPECT_FLOAT_EQ(f.y.value, 400);
    EXPECT_FLOAT_EQ(f.y.drag_position, 600);  // the drag itself is not clamped
    Set(&f, "'touchfield.limit_type', 'ANYTHING'");  // falls back to SPRING
    EXPECT_EQ(f.y.limit_type, UI_LIMIT_SPRING);
}

TEST_F(TouchTest, FieldFlingsOnlyFasterThanThree) {
    UICompTouchField::SlidingValue a;
    a.maximum = 1000;
    a.dragging = true, a.speed = 3;
    a.Release();
    EXPECT_FLOAT_EQ(a.velocity, 0);
    a.dragging = true, a.speed = 3.5f;
    a.Release();
    EXPECT_FLOAT_EQ(a.velocity, 175);
    a.dragging = true, a.speed = 4;
    a.Release();
    EXPECT_FLOAT_EQ(a.velocity, 575);
    // The free motion slows and stops on a whole number.
    for (int i = 0; i < 600 && a.velocity != 0; i++) a.Update(1.0f / 60);
    EXPECT_FLOAT_EQ(a.velocity, 0);
    EXPECT_FLOAT_EQ(a.value, truncf(a.value));
    EXPECT_GT(a.value, 100);
    // Resting past the bottom limit: the spring brings it all the way back
    // (rounding each frame must not hold it a unit or two beyond).
    a.value = 702.4f;
    a.Update(1.0f / 60);
    EXPECT_FLOAT_EQ(a.value, 702);  // inside the limits: a whole number
    a.maximum = 700;
    for (int i = 0; i < 120; i++) a.Update(1.0f / 60);
    EXPECT_FLOAT_EQ(a.value, 700);
}

TEST_F(TouchTest, FieldIgnoresPressesOutsideSecondFingersAndTakesTheWheel) {
    UICompTouchField f;
    Place(f);
    Set(&f, "'touchfield.content_height', 150");
    f.SetValueY(100);  // the content ends 50 into the area
    kd_event_t d = Ev(KD_EVENT_BUTTON_DOWN, 150, 180);  // in the area, below the content
    EXPECT_EQ(f.ProcessEvent(&d), 0);
    EXPECT_FALSE(f.pressed);
    Set(&f, "'touchfield.allow_dragging_only_inside_view_area', true");
    EXPECT_EQ(f.ProcessEvent(&d), 1);
    EXPECT_TRUE(f.pressed);
    kd_event_t up = Ev(KD_EVENT_BUTTON_UP, 150, 180);
    f.ProcessEvent(&up);
    // A second finger: answered, and nothing moves.
    kd_event_t d2 = Ev(KD_EVENT_BUTTON_DOWN, 150, 150, 1), m2 = Ev(KD_EVENT_POINTER_MOVE, 150, 50, 1);
    EXPECT_EQ(f.ProcessEvent(&d2), 1);
    EXPECT_EQ(f.ProcessEvent(&m2), 1);
    EXPECT_FALSE(f.pressed);
    EXPECT_FLOAT_EQ(f.y.value, 100);
    // A wheel notch drags by one unit and lets go.
    Set(&f, "'touchfield.content_height', 300");
    kd_event_t w = Ev(KD_EVENT_WHEEL, 150, 150);
    w.wheel = 120;
    EXPECT_EQ(f.ProcessEvent(&w), 0);
    EXPECT_FLOAT_EQ(f.y.value, 101);
    EXPECT_FALSE(f.y.dragging);
}

TEST_F(TouchTest, AFieldDraggedFarCancelsThePressUnderTheFinger) {
    UICompTouchField f;
    Place(f);
    Set(&f, "'touchfield.content_height', 500");
    UIComp button;
    sman.cursor[0].locked = &button;
    sman.cursor[0].pressed = true;
    Drag(f, 150, 150, 0, -8);  // not far yet
    f.Update(0.01f);
    EXPECT_EQ(sman.cursor[0].locked, &button);
    Drag(f, 150, 150, 0, -30);
    f.Update(0.01f);
    EXPECT_EQ(sman.cursor[0].locked, &comp_null);
    // Entering or leaving the screen lets go.
    f.OnScreenLeave(nullptr);
    EXPECT_FALSE(f.pressed);
    EXPECT_FALSE(f.y.dragging);
}

TEST_F(TouchTest, GridStepsByThresholdsAndNeverLeavesItsCells) {
    UICompTouchGrid g;
    Place(g);
    Set(&g, "'touchgrid.num_steps_axis_x', 5");
    // The first step needs more than a quarter step (16 units)...
    Drag(g, 120, 120, -16, 0);
    EXPECT_EQ(g.x.selected, 0);
    Drag(g, 120, 120, -17, 0);
    EXPECT_EQ(g.x.selected, 1);
    // ...and moves one step at most, however far one event goes...
    Drag(g, 120, 120, -300, 0);
    EXPECT_EQ(g.x.selected, 2);
    // ...later ones a whole step each, several in one event.
    kd_event_t m = Ev(KD_EVENT_POINTER_MOVE, -50, 120, 0, 80, 120);
    g.ProcessEvent(&m);
    EXPECT_EQ(g.x.selected, 4);
    EXPECT_FLOAT_EQ(g.x.target_offset, 4 * 64);
    Set(&g, "'touchgrid.offset_selected_step_axis_x', 5");
    EXPECT_EQ(g.x.selected, 4);
    Set(&g, "'touchgrid.selected_step_axis_x', -3");
    EXPECT_EQ(g.x.selected, 0);
    // A large step: the first threshold is 50.
    Set(&g, "'touchgrid.step_size_axis_x', 400");
    Drag(g, 120, 120, -50, 0);
    EXPECT_EQ(g.x.selected, 0);
    Drag(g, 120, 120, -51, 0);
    EXPECT_EQ(g.x.selected, 1);
    // The wheel pages the vertical axis.
    Set(&g, "'touchgrid.num_steps_axis_y', 3");
    kd_event_t w = Ev(KD_EVENT_WHEEL, 0, 0);
    w.wheel = -240;
    EXPECT_EQ(g.ProcessEvent(&w), 1);
    EXPECT_EQ(g.y.selected, 2);
}

TEST_F(TouchTest, GridClampsStepCountsAndSizesOfZeroOrLess) {
    UICompTouchGrid g;
    Place(g);
    for (const char* bad : {"0", "-4", "0/0"}) {
        Set(&g, std::string("'touchgrid.num_steps_axis_x', ") + bad);
        Set(&g, std::string("'touchgrid.step_size_axis_x', ") + bad);
        EXPECT_EQ(g.x.num_steps, 1) << bad;
        EXPECT_GT(g.x.step_size, 0) << bad;
        Set(&g, "'touchgrid.selected_step_axis_x', 3");
        EXPECT_EQ(Get(&g, "touchgrid.selected_step_axis_x"), "0") << bad;
        Drag(g, 100, 100, -1000, 0, 5);
        EXPECT_EQ(g.x.selected, 0) << bad;
        g.Update(0.1f);
        EXPECT_TRUE(isfinite(g.x.offset)) << bad;
    }
    // Step sizes are written whole.
    Set(&g, "'touchgrid.step_size_axis_x', 100.7");
    EXPECT_NE(WidgetFixture::Get(&g, "touchgrid.step_size_axis_x"), "100");
    nString out("");
    g.ExportLua(out);
    EXPECT_NE(std::string(out.c_str()).find("SetProperty (\"touchgrid.step_size_axis_x\", 100);"), std::string::npos);
}

TEST_F(TouchTest, GridEasesProportionallyAndCancelsPressesOnItsPages) {
    UICompTouchGrid g;
    Place(g);
    Set(&g, "'touchgrid.num_steps_axis_x', 20");
    // Far away: at most 600 hundredths of a step a second.
    Set(&g, "'touchgrid.selected_step_axis_x', 19");
    g.Update(0.1f);
    EXPECT_NEAR(g.x.offset, 0.1f * 600 * 0.01f * 64, 1e-3);
    // Close by: at least 2 hundredths of a step a second.
    Set(&g, "'touchgrid.selected_step_axis_x_instant', 0");
    EXPECT_FLOAT_EQ(g.x.offset, 0);
    g.x.target_offset = 1;
    g.Update(0.5f);
    EXPECT_NEAR(g.x.offset, 0.5f * 2 * 0.01f * 64, 1e-4);
    // A button on a page: its press is cancelled while the page moves, a
    // press elsewhere is not.
    UIComp page, button, elsewhere;
    page.parent = &g;
    button.parent = &page;
    sman.cursor[0].locked = &elsewhere;
    Set(&g, "'touchgrid.selected_step_axis_x', 5");
    g.Update(0.01f);
    EXPECT_EQ(sman.cursor[0].locked, &elsewhere);
    sman.cursor[0].locked = &button;
    g.Update(0.01f);
    EXPECT_EQ(sman.cursor[0].locked, &comp_null);
    EXPECT_EQ(sman.cursor[1].locked, nullptr);  // only the cursors that held something
    // Settled: nothing is cancelled.
    Set(&g, "'touchgrid.selected_step_axis_x_instant', 5");
    sman.cursor[0].locked = &button;
    g.Update(0.01f);
    EXPECT_EQ(sman.cursor[0].locked, &button);
    // An inactive grid takes every event and does nothing.
    g.active = false;
    kd_event_t d = Ev(KD_EVENT_BUTTON_DOWN, 120, 120);
    EXPECT_EQ(g.ProcessEvent(&d), 1);
    EXPECT_FALSE(g.pressed);
}
