// Text and the overlays on the OpenGL ES renderer under Xvfb: a line
// drawn with a bundled font lights the pixels where its glyphs are and no
// others; the open console covers the top of the screen with its panel
// and its text; the frame-rate counter and the frame-time graph.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <host/host.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "font-fixture.h"
#include "kd-console.h"
#include "kd-font.h"
#include "qnx-kodo.h"
#include "rendimp-gles.h"
#include "test-support.h"
#include "window-shot.h"

namespace fs = std::filesystem;

namespace {

struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    int Bright(int x, int y) const {
        const unsigned char* p = &rgb[((size_t)y * w + x) * 3];
        return (p[0] + p[1] + p[2]) / 3;
    }
    const unsigned char* At(int x, int y) const { return &rgb[((size_t)y * w + x) * 3]; }
};

std::function<void()> draw_fn;
void DrawHook(float) {
    if (draw_fn) draw_fn();
}

class XText : public ::testing::Test {
protected:
    TempWorkDir dir;
    bool window = false, started = false;
    int shots = 0;

    void SetUp() override {
        ResetTestProg();
        test_prog.on_draw = DrawHook;
        const char* data = getenv("KODO_TEST_DATA");
        ASSERT_NE(data, nullptr);
        fs::create_directories("app/native/fonts");
        fs::create_directories("app/native/core");
        fs::copy_file(std::string(data) + "/fonts/medium.sft", "app/native/fonts/medium.sft");
        fs::copy_file(std::string(data) + "/core/console.sft", "app/native/core/console.sft");
        KDID_OGLES_ResetCaps();
        KDID_OGLES_SetTestSwitches(false, false);
        ASSERT_TRUE(KDQ_CreateWindow());
        window = true;
        KDID_SetRendImpFactory(nullptr);
        ASSERT_TRUE(KDI_PreInit(nullptr));
        ASSERT_TRUE(KDI_Init());
        kd_state.active = true;
        started = true;
    }
    void TearDown() override {
        draw_fn = nullptr;
        if (started) KODO_Shutdown();
        if (window) KDQ_DestroyWindow();
        KDID_SetRendImpFactory(GetRendImpNull);
    }
    Image Frame(std::function<void()> fn) {
        draw_fn = std::move(fn);
        KDI_Frame(16);
        KDI_Frame(16);
        draw_fn = nullptr;
        return ReadUntilStable<Image>([this] { return Read(); });
    }
    Image Read() {
        std::string path = dir.path + "/shot" + std::to_string(shots++) + ".png";
        Image img;
        if (!ReadWindowShot(path, &img.w, &img.h, &img.rgb)) ADD_FAILURE() << "screenshot failed: " << path;
        return img;
    }
};

}  // namespace

TEST_F(XText, ALineOfTextLightsItsGlyphsAndNothingElse) {
    kd_font_t* font = kd->GetFont("fonts/medium.sft");
    ASSERT_NE(font, nullptr);
    ASSERT_GT(font->size, 10);
    const kd_glyph_t& H = Glyph(*font, 'H');
    ASSERT_TRUE(H.bitmap.hw.loaded);
    const float x = 100, y = 100;
    float width = 0;
    Image img = Frame([&] {
        kd->ClearScreen(0, 0, 0);
        kd->SetColor(1, 1, 1);
        kd->SetAlpha(1);
        width = kd->DrawTextf(font, x, y, "HH HH");
    });
    ASSERT_EQ(img.w, 1024);
    EXPECT_FLOAT_EQ(width, kd->GetTextWidthf(font, "HH HH"));
    int top = (int)(y + font->base - font->size) + H.y_offset;
    // Every fully covered pixel of the first 'H' is lit on the screen.
    int lit = 0, checked = 0;
    for (int gy = 0; gy < H.bitmap.height; gy++)
        for (int gx = 0; gx < H.bitmap.width; gx++) {
            if (H.bitmap.pixels[((size_t)gy * H.bitmap.width + gx) * 4 + 3] != 255) continue;
            checked++;
            if (img.Bright((int)x + H.x_offset + gx, top + gy) > 200) lit++;
        }
    ASSERT_GT(checked, 10);
    EXPECT_EQ(lit, checked);
    // The gap between the stems of the 'H' (above the bar), the space
    // between the words, and everything around the line stay black.
    int mid_x = (int)x + H.bitmap.width / 2, first_row = top + 1;
    EXPECT_LT(img.Bright(mid_x, first_row), 30);
    // The second 'H' stands one advance and the pair's kerning after the
    // first; the space follows it unkerned.
    const int kern_hh = H.kerning ? Kerning(H, 'H') : 0;
    int space_x = (int)x + 2 * H.advance + kern_hh + Glyph(*font, ' ').advance / 2;
    for (int yy = top; yy < top + H.bitmap.height; yy++) EXPECT_LT(img.Bright(space_x, yy), 30) << yy;
    for (int xx = 0; xx < 1024; xx += 3) {
        EXPECT_LT(img.Bright(xx, top - 4), 10) << xx;
        EXPECT_LT(img.Bright(xx, top + H.bitmap.height + 4), 10) << xx;
    }
    for (int yy = top; yy < top + H.bitmap.height; yy++) {
        EXPECT_LT(img.Bright((int)(x + width) + 4, yy), 10);
        EXPECT_LT(img.Bright((int)x - 3, yy), 10);
    }
    // Coloured by a tag: the glyph pixels are red.
    Image red = Frame([&] {
        kd->ClearScreen(0, 0, 0);
        kd->SetColor(1, 1, 1);
        kd->DrawTextf(font, x, y, "|#ff0000|HH");
    });
    // A fully covered pixel of the left stem (the glyph may have a ring).
    const int mid_row = H.bitmap.height / 2;
    int stem = 0;
    while (stem < H.bitmap.width && H.bitmap.pixels[((size_t)mid_row * H.bitmap.width + stem) * 4 + 3] != 255) stem++;
    const unsigned char* p = red.At((int)x + H.x_offset + stem, top + mid_row);
    EXPECT_GT(p[0], 200);
    EXPECT_LT(p[1], 30);
    EXPECT_LT(p[2], 30);
}

TEST_F(XText, TheOpenConsoleDrawsItsPanelAndText) {
    kd_con.enabled = true;
    kd_con.open = true;
    kd_con.openness = 1;
    snprintf(kd_con.input, sizeof kd_con.input, "%s", "WWWWWWWW");
    kd_con.cursor = 0;
    Image img = Frame([] { kd->ClearScreen(0, 0, 0); });
    kd_font_t* font = kd_con.font;
    ASSERT_NE(font, nullptr);
    ASSERT_GT(font->size, 0);
    int full = (int)(600 * 0.8f);
    int list_h = full - 2 - font->size;
    // The panel: (0.2, 0.3, 0.5) at 0.6 over black, nothing below it.
    const unsigned char* p = img.At(700, 10);
    EXPECT_NEAR(p[0], 31, 3);
    EXPECT_NEAR(p[1], 46, 3);
    EXPECT_NEAR(p[2], 77, 3);
    EXPECT_LT(img.Bright(700, list_h + font->size + 20), 5);
    // The input text: bright pixels in its row, none far right of it.
    int bright = 0;
    for (int yy = list_h; yy < list_h + font->size + 2; yy++)
        for (int xx = 10; xx < 120; xx++)
            if (img.Bright(xx, yy) > 180) bright++;
    EXPECT_GT(bright, 20);
    int beyond = 0;
    for (int yy = list_h + 2; yy < list_h + font->size; yy++)
        if (img.Bright(600, yy) > 180) beyond++;
    EXPECT_EQ(beyond, 0);
    kd_con.open = false;
    kd_con.openness = 0;
    kd_con.input[0] = 0;
}

// The frame-rate counter (product feature SHOW_FPS) and, in developer mode
// with F3 held, the frame-time graph, drawn over a blue frame.
TEST_F(XText, FrameRateCounterAndFrameTimeGraph) {
    kd_font_t* font = kd->GetFont("fonts/medium.sft");
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(&kd_fonts.fonts[0], font);  // the counters draw with the table's first font
    kd_state.show_fps = true;
    KD_SetKeyStatei(114, 2);  // F3 held (bit 0, "pressed since read", already read)
    kd_state.developer_mode = false;
    Image plain = Frame([] { kd->ClearScreen(0, 0, 1); });
    kd_state.developer_mode = true;
    Image dev = Frame([] { kd->ClearScreen(0, 0, 1); });
    kd_state.developer_mode = false;
    kd_state.show_fps = false;
    KD_SetKeyStatei(114, 0);
    kd->ReleaseFont(font);

    auto near = [](const Image& img, int x, int y, int r, int g, int b) {
        const unsigned char* p = img.At(x, y);
        return abs(p[0] - r) <= 4 && abs(p[1] - g) <= 4 && abs(p[2] - b) <= 4;
    };
    for (const Image* img : {&plain, &dev}) {
        // The counter: black at 0.8 behind "0" (nothing measured yet), the
        // digit in white, blue beyond.
        EXPECT_TRUE(near(*img, 1, 1, 0, 0, 51));
        int white = 0;
        for (int y = 2; y < 2 + font->size; y++)
            for (int x = 2; x < 2 + font->size; x++) white += img->Bright(x, y) > 200;
        EXPECT_GT(white, 5);
        EXPECT_TRUE(near(*img, 3 * font->size, 4, 0, 0, 255));
    }
    // Only in developer mode does F3 draw the graph: black at 0.8 from
    // (10, 10), 1004 wide and 100 high, the 33 ms line in red at 0.5
    // (y 77), and the newest frame times (16 ms: y 94) in green at its
    // right end.
    EXPECT_TRUE(near(plain, 500, 50, 0, 0, 255));
    EXPECT_TRUE(near(dev, 500, 50, 0, 0, 51));
    EXPECT_TRUE(near(dev, 1012, 30, 0, 0, 51));
    EXPECT_TRUE(near(dev, 500, 77, 128, 0, 25));
    EXPECT_TRUE(near(dev, 1016, 50, 0, 0, 255));
    EXPECT_TRUE(near(dev, 500, 112, 0, 0, 255));
    int green = 0;
    for (int y = 90; y <= 98; y++) green += near(dev, 1011, y, 0, 255, 0) || near(dev, 1012, y, 0, 255, 0);
    EXPECT_GT(green, 0);
}
