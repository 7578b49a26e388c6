// Image: properties by name, frame choice of the animation modes, placement,
// scale, rotation centre, mirroring and the cover-screen quad, and the
// layout lines.
#include <math.h>

#include "ui/ui-image.h"
#include "widget-fixture.h"

namespace {
void SetFrame(kd_bitmap_t*, int f) { wf::Calls().push_back("Frame " + std::to_string(f)); }
float Depth() { return 0.5f; }
float& MouseX() {
    static float v;
    return v;
}
float& MouseY() {
    static float v;
    return v;
}
int& Shift() {
    static int v;
    return v;
}
float KeyF(int k) { return k == KD_KEY_POINTER_X ? MouseX() : k == KD_KEY_POINTER_Y ? MouseY() : 0; }
int KeyI(int k) { return k == 16 ? Shift() : 0; }
// Notes the rotation too, and the texture coordinates at the time of the draw.
void RS(kd_bitmap_t* bm, float x, float y, float r, float s) {
    wf::Calls().push_back("RS " + std::string(bm->name) + " " + wf::F(x) + " " + wf::F(y) + " r " + wf::F(r) +
                          " s " + wf::F(s) + " uv " + wf::F(bm->hw.left_u) + " " + wf::F(bm->hw.top_v) + " " +
                          wf::F(bm->hw.right_u) + " " + wf::F(bm->hw.bottom_v));
}

struct ImageTest : WidgetFixture {
    wf::FakeBitmap pic{"i/pic.png", 40, 20}, other{"i/other.png", 8, 8};
    void SetUp() override {
        WidgetFixture::SetUp();
        r.table.SetBitmapFrame = SetFrame;
        r.table.GetDepthDefault = Depth;
        r.table.GetKeyStatef = KeyF;
        r.table.GetKeyStatei = KeyI;
        r.table.DrawBitmapRS = RS;
        pic.bm.hw.left_u = 0, pic.bm.hw.top_v = 0, pic.bm.hw.right_u = 1, pic.bm.hw.bottom_v = 1;
        Shift() = 0;
    }
    // Frames chosen over `steps` updates of `dt` seconds.
    static std::vector<int> Run(UICompImage& c, float dt, int steps) {
        std::vector<int> f;
        for (int i = 0; i < steps; i++) {
            c.Update(dt);
            f.push_back(c.current_frame);
        }
        return f;
    }
};
}  // namespace

TEST_F(ImageTest, PropertiesByNameAndRefusals) {
    UICompImage c;
    c.name = nStringDuplicate("logo");
    EXPECT_FALSE(c.interactive);
    EXPECT_EQ(Set(&c, "'image.bitmap', 'i/pic.png'"), 0);
    EXPECT_EQ(c.bitmap, &pic.bm);
    EXPECT_EQ(Get(&c, "image.bitmap"), "i/pic.png");
    EXPECT_FLOAT_EQ(c.width, 40);
    EXPECT_FLOAT_EQ(c.height, 20);
    Set(&c, "'image.bitmap_switch', 'i/other.png'");
    EXPECT_EQ(c.bitmap, &other.bm);
    EXPECT_FLOAT_EQ(c.width, 8);
    Set(&c, "'image.anim_loop_time', 2.5");
    Set(&c, "'image.anim_pause_time', 0.5");
    Set(&c, "'image.anim_key', 0.25");
    EXPECT_EQ(Get(&c, "image.anim_loop_time"), "2.5");
    EXPECT_EQ(Get(&c, "image.anim_pause_time"), "0.5");
    EXPECT_EQ(Get(&c, "image.anim_key"), "0.25");
    Set(&c, "'image.anim_loop_time', 'long'");  // not a number: 0
    EXPECT_FLOAT_EQ(c.anim_loop_time, 0);
    EXPECT_TRUE(rec().PopupContains("'image.anim_loop_time' of 'logo' expects"));
    Set(&c, "'image.bitmap', {}");
    EXPECT_EQ(c.bitmap, &other.bm);
    Set(&c, "'image.anim_mode', 'PINGPONG'");
    EXPECT_EQ(Get(&c, "image.anim_mode"), "PINGPONG");
    Set(&c, "'image.anim_mode', 'LOOP_FOREVER_NONLINEAR'");
    EXPECT_EQ(c.anim_mode, 3);
    Set(&c, "'image.anim_mode', 'LOOP_ONCE'");
    EXPECT_EQ(c.anim_mode, 2);
    Set(&c, "'image.anim_mode', 'LOOP'");
    EXPECT_EQ(c.anim_mode, 0);
    Set(&c, "'image.anim_mode', 'PINGPONG'");
    Set(&c, "'image.anim_mode', 'pingpong'");
    EXPECT_EQ(c.anim_mode, 0);
    EXPECT_TRUE(rec().PopupContains("Value 'pingpong' is not valid, using 'LOOP_FOREVER'."));
    Set(&c, "'image.anim_mode', 1");
    EXPECT_EQ(c.anim_mode, 0);
    EXPECT_EQ(Set(&c, "'image.frame', 1"), 0);  // reported by the kind itself, answered as handled
    EXPECT_TRUE(rec().PopupContains("UICompImage::SetProperty: Unknown Property 'frame' for UIComp 'logo'"));
    EXPECT_EQ(Get(&c, "image.bitmap_switch"), "<none>");
    EXPECT_TRUE(rec().PopupContains("UICompImage::GetProperty: Unknown Property 'image.bitmap_switch'"));
}

TEST_F(ImageTest, SizeWithoutBitmapIsSixteenTimesScale) {
    UICompImage c;
    ui_screen.scale_ref = 2;
    c.UpdateDimensions();
    EXPECT_FLOAT_EQ(c.width, 32);
    EXPECT_FLOAT_EQ(c.height, 32);
    c.scale_type = UI_SCALE_STRETCH_TO_COVER_SCREEN;
    ui_screen.actual_width = 1024, ui_screen.actual_height = 768;
    c.SetBitmap(&pic.bm);
    EXPECT_FLOAT_EQ(c.width, 1024);
    EXPECT_FLOAT_EQ(c.height, 768);
    c.scale_type = UI_SCALE_ACTUAL_SIZE;
    c.SetBitmap(nullptr);
    EXPECT_EQ(c.bitmap, nullptr);
    EXPECT_FLOAT_EQ(c.width, 16);
}

TEST_F(ImageTest, LoopForeverHoldsTheLastFrameDuringThePause) {
    UICompImage c;
    c.bitmap = &pic.bm;
    pic.bm.frame_count = 4;
    c.anim_pause_time = 0.5f;
    // 0.125 s steps: two updates a frame; the key wraps once it passes
    // 1.5 s, so the last frame shows from 0.75 s up to and including 1.5 s.
    std::vector<int> want = {0, 1, 1, 2, 2, 3, 3, 3, 3, 3, 3, 3, 0, 1};
    EXPECT_EQ(Run(c, 0.125f, 14), want);
}

TEST_F(ImageTest, ALongStepWrapsOneCycleAndHoldsTheLastFrame) {
    UICompImage c;
    c.bitmap = &pic.bm;
    pic.bm.frame_count = 4;
    c.anim_pause_time = 0.5f;
    c.Update(3.2f);  // one cycle of 1.5 s comes off: the key is still past the pass
    EXPECT_NEAR(c.anim_key, 1.7f, 1e-5);
    EXPECT_EQ(c.current_frame, 3);
    c.Update(0.1f);  // 1.8 is past 1.5: the next cycle starts
    EXPECT_NEAR(c.anim_key, 0.3f, 1e-5);
    EXPECT_EQ(c.current_frame, 1);
}

TEST_F(ImageTest, PingPongRunsForwardThenBackAndTurnsOnTheFirstFrame) {
    UICompImage c;
    c.bitmap = &pic.bm;
    pic.bm.frame_count = 4;
    c.anim_mode = UI_ANIM_PINGPONG;
    // Sampled in the middle of each eighth of the loop.
    std::vector<int> want = {0, 1, 2, 3, 3, 2, 1, 0};
    std::vector<int> got;
    for (int i = 1; i <= 8; i++) {
        c.anim_key = 0.0625f * (2 * i - 1) - 0.0625f;  // seek, then a small step
        c.Update(0.0625f);
        got.push_back(c.current_frame);
    }
    EXPECT_EQ(got, want);
    c.anim_key = 0.25f;
    c.Update(0.25f);  // exactly the turn: index 4, which the engine shows as frame 0
    EXPECT_EQ(c.current_frame, 0);
}

TEST_F(ImageTest, LoopOncePlaysOnePassAndStaysOnTheLastFrame) {
    UICompImage c;
    c.bitmap = &pic.bm;
    pic.bm.frame_count = 4;
    Set(&c, "'image.anim_mode', 'LOOP_ONCE'");
    std::vector<int> want = {1, 2, 3, 3, 3, 3};
    EXPECT_EQ(Run(c, 0.3f, 6), want);
    EXPECT_FLOAT_EQ(c.anim_key, 1.0f);
}

TEST_F(ImageTest, NonlinearFollowsTheFrameKeys) {
    kd_bitmap_t frames[3] = {};
    frames[0].frame_number = 0, frames[1].frame_number = 2, frames[2].frame_number = 7;
    UICompImage c;
    c.bitmap = &pic.bm;
    pic.bm.frames = frames;
    pic.bm.frame_count = 3;
    pic.bm.frame_rate = 10;
    c.anim_mode = UI_ANIM_LOOP_FOREVER_NONLINEAR;
    c.Update(0.15f);  // K 1: 0 < 1 <= 2
    EXPECT_FLOAT_EQ(c.anim_loop_time, 0.8f);
    EXPECT_EQ(c.current_frame, 0);
    c.Update(0.2f);  // K 3: 2 < 3 <= 7
    EXPECT_EQ(c.current_frame, 1);
    c.anim_key = 0;
    c.Update(0);  // K 0: no gap holds it
    EXPECT_EQ(c.current_frame, 2);
    pic.bm.frame_rate = 0;  // no timeline: stops instead of dividing by 0
    c.Update(0.1f);
    EXPECT_FLOAT_EQ(c.anim_loop_time, 0);
    EXPECT_EQ(c.current_frame, 0);
    pic.bm.frames = nullptr;
    pic.bm.frame_count = 0;
}

TEST_F(ImageTest, DrawsCentredOnItsBoxAtTheDynamicScale) {
    UICompImage c;
    c.SetBitmap(&pic.bm);
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {100, 50, 0};
    ui_screen.scale_ref = 2;
    wf::Calls().clear();
    c.Draw();
    auto rs = wf::CallsStarting("RS ");
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0], "RS i/pic.png 140 70 r 0 s 2 uv 0 0 1 1");
    EXPECT_EQ(wf::CallsStarting("Frame ")[0], "Frame 0");
    c.alpha = 0;
    wf::Calls().clear();
    c.Draw();
    EXPECT_TRUE(wf::Calls().empty());
}

TEST_F(ImageTest, RotationAboutOwnCentreOrStaticPosition) {
    UICompImage c;
    c.SetBitmap(&pic.bm);
    c.align = UI_ALIGN_CENTER;
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {100, 50, 0};
    c.angle = 0.5f;
    wf::Calls().clear();
    c.Draw();
    EXPECT_EQ(wf::CallsStarting("PushTransform").size(), 1u);
    EXPECT_EQ(wf::CallsStarting("RS ")[0], "RS i/pic.png 100 50 r 0 s 1 uv 0 0 1 1");
    c.inherit_angle = false;
    wf::Calls().clear();
    c.Draw();
    EXPECT_TRUE(wf::CallsStarting("PushTransform").empty());
    EXPECT_EQ(wf::CallsStarting("RS ")[0], "RS i/pic.png 100 50 r 0.5 s 1 uv 0 0 1 1");
}

TEST_F(ImageTest, MirroringSwapsTextureCoordinatesForOneDrawOnly) {
    UICompImage c;
    c.SetBitmap(&pic.bm);
    c.draw_mode = 1;
    wf::Calls().clear();
    c.Draw();
    EXPECT_EQ(wf::CallsStarting("RS ")[0], "RS i/pic.png 20 10 r 0 s 1 uv 0 1 1 0");
    c.draw_mode = 2;
    wf::Calls().clear();
    c.Draw();
    EXPECT_EQ(wf::CallsStarting("RS ")[0], "RS i/pic.png 20 10 r 0 s 1 uv 1 0 0 1");
    EXPECT_FLOAT_EQ(pic.bm.hw.left_u, 0);
    EXPECT_FLOAT_EQ(pic.bm.hw.right_u, 1);
    EXPECT_FLOAT_EQ(pic.bm.hw.top_v, 0);
    EXPECT_FLOAT_EQ(pic.bm.hw.bottom_v, 1);
}

TEST_F(ImageTest, StretchToCoverScreenDrawsOneWholeBitmapQuad) {
    UICompImage c;
    c.scale_type = UI_SCALE_STRETCH_TO_COVER_SCREEN;
    c.position_type = UI_POS_ABSOLUTE;
    c.SetBitmap(&pic.bm);
    c.alpha = 0.5f;
    wf::Calls().clear();
    c.Draw();
    auto q = wf::CallsStarting("4V ");
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0], "4V i/pic.png 0 0 800 600 uv 0 0 1 1 a 127");
}

TEST_F(ImageTest, EditorDragSetsScaleAndAngleAndSnapsWithShift) {
    UICompImage c;
    c.position_type = UI_POS_ABSOLUTE;
    c.SetBitmap(&pic.bm);
    MouseX() = 30, MouseY() = 0;
    c.EditUpdate(0);
    EXPECT_FLOAT_EQ(c.scale, 1.5f);  // 30 / 20
    EXPECT_FLOAT_EQ(c.angle, 0);
    MouseX() = 11, MouseY() = 10.5f;
    Shift() = 1;
    c.EditUpdate(0);
    EXPECT_NEAR(c.angle, M_PI / 4, 1e-5);
    EXPECT_NEAR(c.scale, 1.0f, 1e-5);  // 10.5 / 10 snapped down
    UICompImage none;
    none.EditUpdate(0);
    EXPECT_FLOAT_EQ(none.scale, 1);
}
