// Nine-patch: properties by name, the panel size from the client size, the
// nine quads' corners and texture coordinates at scale 1 and 2, collapsed
// centres, the editor's resize drag and the layout lines.
#include "ui/ui-ninepatch.h"
#include "widget-fixture.h"

namespace {
float Depth() { return 0.5f; }
float& MouseX() {
    static float v;
    return v;
}
float& MouseY() {
    static float v;
    return v;
}
float KeyF(int k) { return k == KD_KEY_POINTER_X ? MouseX() : k == KD_KEY_POINTER_Y ? MouseY() : 0; }
uint32_t& LastColor() {
    static uint32_t c;
    return c;
}
// Notes the colour of the first vertex besides the fake's corner record.
void Quad(kd_bitmap_t* bm, kd_vertex_t* v) {
    LastColor() = v[0].color;
    wf::DrawBitmap4V(bm, v);
}

struct NinePatchTest : WidgetFixture {
    wf::FakeBitmap frame{"n/frame.png", 100, 100}, small{"n/small.png", 40, 30};
    void SetUp() override {
        WidgetFixture::SetUp();
        r.table.GetDepthDefault = Depth;
        r.table.GetKeyStatef = KeyF;
        r.table.DrawBitmap4V = Quad;
    }
};
}  // namespace

TEST_F(NinePatchTest, PropertiesByNameAndRefusals) {
    UICompNinePatch c;
    c.name = nStringDuplicate("panel");
    EXPECT_FALSE(c.interactive);
    EXPECT_EQ(Set(&c, "'ninepatch.bitmap', 'n/frame.png'"), 0);
    EXPECT_EQ(Get(&c, "ninepatch.bitmap"), "n/frame.png");
    EXPECT_FLOAT_EQ(c.width, 70);
    EXPECT_FLOAT_EQ(c.height, 70);
    Set(&c, "'ninepatch.client_size', 120.7, 30");
    EXPECT_EQ(Get(&c, "ninepatch.client_width"), "120");
    EXPECT_EQ(Get(&c, "ninepatch.client_height"), "30");
    EXPECT_FLOAT_EQ(c.width, 140);
    EXPECT_FLOAT_EQ(c.height, 50);
    Set(&c, "'ninepatch.bitmap_client_rect', 5, 6, 95, 94");
    EXPECT_FLOAT_EQ(c.client_x0, 5);
    EXPECT_FLOAT_EQ(c.client_y1, 94);
    EXPECT_FLOAT_EQ(c.width, 140);  // not re-measured until the next change
    Set(&c, "'ninepatch.bitmap_client_rect', 1, 2, 3");  // the missing one is 0
    EXPECT_FLOAT_EQ(c.client_x0, 1);
    EXPECT_FLOAT_EQ(c.client_y1, 0);
    EXPECT_TRUE(rec().PopupContains("'ninepatch.bitmap_client_rect' of 'panel' expects"));
    Set(&c, "'ninepatch.client_size', 'wide', 3");
    EXPECT_EQ(c.client_width, 0);
    EXPECT_EQ(c.client_height, 3);
    Set(&c, "'ninepatch.bitmap', false");
    EXPECT_EQ(c.bitmap, &frame.bm);
    EXPECT_EQ(Set(&c, "'ninepatch.client_width', 3"), 0);  // reported by the kind itself, answered as handled
    EXPECT_TRUE(rec().PopupContains("UICompNinePatch::SetProperty: Unknown Property 'ninepatch.client_width'"));
    EXPECT_EQ(Get(&c, "ninepatch.client_size"), "<none>");
    EXPECT_TRUE(rec().PopupContains("UICompNinePatch::GetProperty: Unknown Property 'ninepatch.client_size'"));
}

TEST_F(NinePatchTest, SizeScalesAndTruncates) {
    UICompNinePatch c;
    c.UpdateDimensions();
    EXPECT_FLOAT_EQ(c.width, 1);
    ui_screen.scale_ref = 1.5f;
    c.SetBitmap(&small.bm);  // 50 + 10 + (40 - 90) = 10 wide, 50 + 10 + (30 - 90) = 0 high
    EXPECT_FLOAT_EQ(c.width, 15);
    EXPECT_FLOAT_EQ(c.height, 0);
    c.client_width = 51;
    c.client_height = 55;
    c.UpdateDimensions();
    EXPECT_FLOAT_EQ(c.width, 16);  // 16.5 truncated
    EXPECT_FLOAT_EQ(c.height, 7);  // 7.5 truncated
    c.scale_type = UI_SCALE_FIT_INSIDE_SCREEN;
    ui_screen.actual_width = 1000, ui_screen.actual_height = 500;
    c.SetBitmap(&frame.bm);  // 71 x 75
    EXPECT_FLOAT_EQ(c.dynamic_scale, 500.0f / 75);
    UICompNinePatch child;
    child.scale_type = UI_SCALE_RELATIVE_TO_PARENT;
    child.inherit_scale = false;
    ui_screen.scale_height = 3;
    child.UpdateDimensions();
    EXPECT_FLOAT_EQ(child.dynamic_scale, 3);
    child.parent = &c;
    child.UpdateDimensions();
    EXPECT_FLOAT_EQ(child.dynamic_scale, 500.0f / 75);
}

TEST_F(NinePatchTest, NineQuadsRowByRowWithCornersAndTextureCoordinates) {
    UICompNinePatch c;
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {100, 200, 0};
    c.SetBitmap(&frame.bm);
    c.color = {1, 0.5f, 0, 1};
    c.alpha = 0.5f;
    wf::Calls().clear();
    c.Draw();
    auto q = wf::CallsStarting("4V ");
    ASSERT_EQ(q.size(), 9u);
    EXPECT_EQ(q[0], "4V n/frame.png 100 200 110 210 uv 0 0 0.1 0.1 a 127");
    EXPECT_EQ(q[1], "4V n/frame.png 110 200 160 210 uv 0.1 0 0.9 0.1 a 127");
    EXPECT_EQ(q[2], "4V n/frame.png 160 200 170 210 uv 0.9 0 1 0.1 a 127");
    EXPECT_EQ(q[3], "4V n/frame.png 100 210 110 260 uv 0 0.1 0.1 0.9 a 127");
    EXPECT_EQ(q[4], "4V n/frame.png 110 210 160 260 uv 0.1 0.1 0.9 0.9 a 127");
    EXPECT_EQ(q[5], "4V n/frame.png 160 210 170 260 uv 0.9 0.1 1 0.9 a 127");
    EXPECT_EQ(q[6], "4V n/frame.png 100 260 110 270 uv 0 0.9 0.1 1 a 127");
    EXPECT_EQ(q[7], "4V n/frame.png 110 260 160 270 uv 0.1 0.9 0.9 1 a 127");
    EXPECT_EQ(q[8], "4V n/frame.png 160 260 170 270 uv 0.9 0.9 1 1 a 127");
    EXPECT_EQ(LastColor(), 0x7FFF7F00u);  // alpha, red, green, blue
}

TEST_F(NinePatchTest, DynamicScaleScalesCornersAboutTheAlignedPosition) {
    UICompNinePatch c;
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {100, 200, 0};
    c.scale = 2;
    c.SetBitmap(&frame.bm);
    EXPECT_FLOAT_EQ(c.width, 140);
    wf::Calls().clear();
    c.Draw();
    auto q = wf::CallsStarting("4V ");
    ASSERT_EQ(q.size(), 9u);
    EXPECT_EQ(q[0], "4V n/frame.png 100 200 120 220 uv 0 0 0.1 0.1 a 255");
    EXPECT_EQ(q[4], "4V n/frame.png 120 220 220 320 uv 0.1 0.1 0.9 0.9 a 255");
    EXPECT_EQ(q[8], "4V n/frame.png 220 320 240 340 uv 0.9 0.9 1 1 a 255");
}

TEST_F(NinePatchTest, ZeroClientSizeCollapsesTheCentre) {
    UICompNinePatch c;
    c.position_type = UI_POS_ABSOLUTE;
    c.SetBitmap(&frame.bm);
    Set(&c, "'ninepatch.client_size', 0, 0");
    EXPECT_FLOAT_EQ(c.width, 20);
    wf::Calls().clear();
    c.Draw();
    auto q = wf::CallsStarting("4V ");
    ASSERT_EQ(q.size(), 9u);
    EXPECT_EQ(q[4], "4V n/frame.png 10 10 10 10 uv 0.1 0.1 0.9 0.9 a 255");
    EXPECT_EQ(q[8], "4V n/frame.png 10 10 20 20 uv 0.9 0.9 1 1 a 255");
}

TEST_F(NinePatchTest, NothingDrawnWithoutBitmapOrAlpha) {
    UICompNinePatch c;
    wf::Calls().clear();
    c.Draw();
    EXPECT_TRUE(wf::CallsStarting("4V ").empty());
    c.SetBitmap(&frame.bm);
    c.alpha = 0;
    c.angle = 1;
    wf::Calls().clear();
    c.Draw();
    EXPECT_TRUE(wf::Calls().empty());
}

TEST_F(NinePatchTest, EditorDragSetsTheClientSize) {
    UICompNinePatch c;
    c.position_type = UI_POS_ABSOLUTE;
    c.position = {100, 100, 0};
    c.SetBitmap(&frame.bm);
    MouseX() = 250.7f, MouseY() = 90;
    c.EditUpdate(0);
    EXPECT_EQ(c.client_width, 130);  // 150 - 20
    EXPECT_EQ(c.client_height, -10);
    c.align = UI_ALIGN_CENTER;
    c.EditUpdate(0);
    EXPECT_EQ(c.client_width, 280);
    EXPECT_EQ(c.client_height, 0);
    EXPECT_FLOAT_EQ(c.width, 300);
}
