// Ruler, rectangle, marker and model: where the ruler's caps and tiles
// land, tile counts that would divide by zero or run away, the sizes of
// rectangles and markers, and models held by copies of a component.
#include <math.h>

#include "models.h"
#include "ui/ui-model.h"
#include "ui/ui-rectangle.h"
#include "ui/ui-ruler.h"
#include "widget-fixture.h"

namespace {

std::vector<std::string>& Rects() {
    static std::vector<std::string> v;
    return v;
}
void Rect(float x, float y, float w, float h) {
    Rects().push_back(wf::F(x) + " " + wf::F(y) + " " + wf::F(w) + " " + wf::F(h));
}

struct ShapesTest : WidgetFixture {
    wf::FakeBitmap cap{"r/cap.png", 20, 12}, tile{"r/tile.png", 16, 8}, thin{"r/thin.png", 0, 8};
    void SetUp() override {
        WidgetFixture::SetUp();
        r.table.DrawRect = Rect;
        Rects().clear();
        cap.bm.hw.left_u = 0, cap.bm.hw.right_u = 1;
    }
    UICompRuler* Ruler(float w, float h, kd_bitmap_t* repeat) {
        UICompRuler* c = new UICompRuler();
        c->scale_type = UI_SCALE_ACTUAL_SIZE;
        c->position_type = UI_POS_ABSOLUTE;
        c->position = {100, 200, 0};
        c->client_width = w, c->client_height = h;
        c->bm_endpoint = &cap.bm;
        c->bm_repeat = repeat;
        c->UpdateDimensions();
        return c;
    }
};

// Mirrors of the cap seen by the fake while it draws: the far cap is drawn
// with its texture coordinates swapped.
std::vector<float>& CapLeftU() {
    static std::vector<float> v;
    return v;
}
void NoteCap(kd_bitmap_t* bm, float x, float y, float rot, float s) {
    if (bm && !strcmp(bm->name, "r/cap.png")) CapLeftU().push_back(bm->hw.left_u);
    wf::DrawBitmapRS(bm, x, y, rot, s);
}

}  // namespace

TEST_F(ShapesTest, RulerTilesTheSpanBetweenItsMirroredCaps) {
    r.table.DrawBitmapRS = NoteCap;
    CapLeftU().clear();
    std::unique_ptr<UICompRuler> c(Ruler(300, 10, &tile.bm));
    EXPECT_TRUE(c->IsHorizontal());
    EXPECT_FLOAT_EQ(c->width, 300);
    EXPECT_FLOAT_EQ(c->height, 12);  // the thicker bitmap, across the bar
    c->endpoint_offset = 3;
    c->Draw();
    // From left + 10 to right - 10: 280 / 16 = 17 whole tiles, centred 8 in.
    std::vector<std::string> tiles = wf::CallsStarting("RS r/tile.png");
    ASSERT_EQ(tiles.size(), 17u);
    EXPECT_EQ(tiles[0], "RS r/tile.png 118 206 1");
    EXPECT_EQ(tiles[16], "RS r/tile.png 374 206 1");
    // The caps pushed outwards by the offset; the far one mirrored for its
    // draw only.
    EXPECT_EQ(wf::CallsStarting("RS r/cap.png"),
              (std::vector<std::string>{"RS r/cap.png 107 206 1", "RS r/cap.png 393 206 1"}));
    EXPECT_EQ(CapLeftU(), (std::vector<float>{0, 1}));
    EXPECT_FLOAT_EQ(cap.bm.hw.left_u, 0);
    EXPECT_FLOAT_EQ(cap.bm.hw.right_u, 1);
}

TEST_F(ShapesTest, RulerOfEqualSidesIsVerticalAndCentredWithHcenter) {
    std::unique_ptr<UICompRuler> c(Ruler(40, 40, &tile.bm));
    EXPECT_FALSE(c->IsHorizontal());
    EXPECT_FLOAT_EQ(c->width, 40);  // equal sides keep their thickness
    c->client_height = 100;
    c->align = UI_ALIGN_HCENTER;
    c->UpdateDimensions();
    EXPECT_FLOAT_EQ(c->height, 200);  // HCENTER doubles both
    EXPECT_FLOAT_EQ(c->width, 12);
    c->Draw();
    // Along y from 200 + 10: tiles centred on x = 100 (the bar is centred
    // on the static position).
    std::vector<std::string> tiles = wf::CallsStarting("RS r/tile.png");
    ASSERT_EQ(tiles.size(), 11u);
    EXPECT_EQ(tiles[0], "RS r/tile.png 100 218 1");
}

TEST_F(ShapesTest, RulerTileCountNeverDividesByZeroOrRunsAway) {
    // A tile without width, or a scale of 0: the caps only.
    std::unique_ptr<UICompRuler> c(Ruler(300, 10, &thin.bm));
    c->Draw();
    EXPECT_TRUE(wf::CallsStarting("RS r/thin.png").empty());
    EXPECT_EQ(wf::CallsStarting("RS r/cap.png").size(), 2u);
    EXPECT_EQ(UICompRuler::TileCount(280, 16, 0), 0);
    EXPECT_EQ(UICompRuler::TileCount(280, 16, NAN), 0);
    EXPECT_EQ(UICompRuler::TileCount(1e30f, 16, 1), UI_RULER_MAX_TILES);
    // A bar shorter than a tile: its two caps.
    wf::Calls().clear();
    std::unique_ptr<UICompRuler> s(Ruler(30, 10, &tile.bm));
    s->Draw();
    EXPECT_TRUE(wf::CallsStarting("RS r/tile.png").empty());
    EXPECT_EQ(wf::CallsStarting("RS r/cap.png").size(), 2u);
    // Either bitmap missing: nothing at all.
    wf::Calls().clear();
    s->bm_repeat = nullptr;
    s->Draw();
    EXPECT_TRUE(wf::CallsStarting("RS").empty());
}

TEST_F(ShapesTest, RectangleAndMarkerSizes) {
    UICompRectangle rc;
    rc.position_type = UI_POS_ABSOLUTE;
    rc.UpdateDimensions();
    EXPECT_FLOAT_EQ(rc.width, 16);  // a box to hit and lay out...
    rc.Draw();
    EXPECT_TRUE(Rects().empty());  // ...that draws nothing
    ui_screen.scale_ref = 2;
    Set(&rc, "'rectangle.rect_width', 50");
    Set(&rc, "'rectangle.rect_height', 10");
    Set(&rc, "'scale', 1.5");
    EXPECT_FLOAT_EQ(rc.width, 50 * 1.5f * 1.5f * 2);  // "scale" twice: the size and the dynamic scale
    rc.Draw();
    EXPECT_EQ(Rects(), std::vector<std::string>{"0 0 225 45"});

    UICompMarker m;
    Set(&m, "'scale', 1.5");
    EXPECT_FLOAT_EQ(m.width, 64 * 1.5f * 2);  // the dynamic scale only
    Set(&m, "'marker.area_width', 10");
    EXPECT_FLOAT_EQ(m.width, 64 * 1.5f * 2);  // not until the next measuring
    m.UpdateDimensions();
    EXPECT_FLOAT_EQ(m.width, 30);
    m.scale_type = UI_SCALE_STRETCH_TO_COVER_SCREEN;
    ui_screen.actual_width = 1024;
    m.UpdateDimensions();
    EXPECT_FLOAT_EQ(m.width, 1024);
}

TEST_F(ShapesTest, EveryCopyOfAModelComponentHoldsItsOwnReference) {
    WriteNative(e.UserPath("m.xml"),
                "<?xml version=\"1.0\"?>\n<root>\n<array id=\"SURFACE_0_VERTICES\">\n"
                "<node x=\"-30\" y=\"-10\" z=\"0\" />\n<node x=\"30\" y=\"-10\" z=\"0\" />\n"
                "<node x=\"30\" y=\"10\" z=\"0\" />\n</array>\n<array id=\"SURFACE_0_INDICES\">\n"
                "<node i=\"0\" />\n<node i=\"1\" />\n<node i=\"2\" />\n</array>\n</root>\n");
    int before = model_man.GetNumberOfModels();
    UICompModel* a = new UICompModel();
    a->scale_type = UI_SCALE_ACTUAL_SIZE;
    a->SetModel("user://m.xml");
    ASSERT_TRUE(a->model);
    Model* m = a->model;
    EXPECT_FLOAT_EQ(a->width, 60);
    EXPECT_FLOAT_EQ(a->height, 20);
    UIComp* clone = a->Clone("b");
    UICompModel c2;
    EXPECT_EQ(c2.InheritFrom(a), 1);
    EXPECT_EQ(m->ref_count, 3);
    // The original goes, and so does what a re-based copy held: the clone
    // still draws a live model (a freed one would be caught by the sanitizer).
    delete a;
    c2.SetModel(nullptr);
    EXPECT_EQ(m->ref_count, 1);
    EXPECT_EQ(static_cast<UICompModel*>(clone)->model, m);
    EXPECT_EQ(Get(clone, "model.model"), "user://m.xml");
    clone->Draw();
    EXPECT_EQ(clone->align, UI_ALIGN_CENTER);  // set at every draw
    EXPECT_TRUE(clone->IsInView());
    // Setting a model gives the old one back before taking the new: set
    // again, the last holder's model is made anew.
    static_cast<UICompModel*>(clone)->SetModel("user://m.xml");
    ASSERT_TRUE(static_cast<UICompModel*>(clone)->model);
    EXPECT_EQ(static_cast<UICompModel*>(clone)->model->ref_count, 1);
    delete clone;
    EXPECT_EQ(model_man.GetNumberOfModels(), before);
}
