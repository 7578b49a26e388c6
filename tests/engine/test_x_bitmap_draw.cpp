// Bitmaps loaded by name from the data tree and drawn through the drawing
// API on the OpenGL ES renderer under Xvfb; the window is read back and
// checked pixel by pixel. Also a sequence built from frame files, drawn
// from its atlas texture.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <host/host.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kd-bitmap-seq.h"
#include "kd-image.h"
#include "qnx-kodo.h"
#include "rendimp-gles.h"
#include "test-support.h"
#include "window-shot.h"

namespace {

struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
};

std::function<void()> draw_fn;
void DrawHook(float) {
    if (draw_fn) draw_fn();
}

::testing::AssertionResult IsColour(const Image& img, int x, int y, int r, int g, int b) {
    if (x < 0 || y < 0 || x >= img.w || y >= img.h) return ::testing::AssertionFailure() << "outside the image";
    const unsigned char* p = &img.rgb[((size_t)y * img.w + x) * 3];
    if (p[0] == r && p[1] == g && p[2] == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << (int)p[0] << ", " << (int)p[1]
                                         << ", " << (int)p[2] << "), expected (" << r << ", " << g << ", " << b << ")";
}

class BitmapDraw : public ::testing::Test {
protected:
    TempWorkDir dir;
    bool window = false, started = false;
    int shots = 0;

    void SetUp() override {
        ResetTestProg();
        draw_fn = nullptr;
        test_prog.on_draw = DrawHook;
        KDID_OGLES_ResetCaps();
        KDID_OGLES_SetTestSwitches(false, false);
        // The data tree's test image as res://images/test-pattern.png.
        std::filesystem::create_directories("app/native/images");
        std::filesystem::copy_file(std::string(getenv("KODO_TEST_DATA")) + "/images/test-pattern.png",
                                   "app/native/images/test-pattern.png");
    }
    void Start() {
        ASSERT_TRUE(KDQ_CreateWindow());
        window = true;
        KDID_SetRendImpFactory(nullptr);
        ASSERT_TRUE(KDI_PreInit(nullptr));
        ASSERT_TRUE(KDI_Init());
        ASSERT_STREQ(ri->GetName(), "OpenGL ES 1");
        kd_state.active = true;
        started = true;
    }
    void TearDown() override {
        draw_fn = nullptr;
        if (started) KODO_Shutdown();
        if (window) KDQ_DestroyWindow();
        KDID_SetRendImpFactory(GetRendImpNull);
        KDID_OGLES_ResetCaps();
    }
    Image Frame(std::function<void()> fn) {
        draw_fn = std::move(fn);
        KDI_Frame(16);
        KDI_Frame(16);
        draw_fn = nullptr;
        return ReadUntilStable<Image>([this] { return ReadWindow(); });
    }
    Image ReadWindow() {
        std::string path = dir.path + "/shot" + std::to_string(shots++) + ".png";
        Image img;
        if (!ReadWindowShot(path, &img.w, &img.h, &img.rgb)) ADD_FAILURE() << "screenshot failed: " << path;
        return img;
    }
};

// test-pattern.png: 8 x 8, quadrants red (top left), green (top right),
// blue (bottom left), white (bottom right), with a yellow top-left pixel.
TEST_F(BitmapDraw, APngFromTheDataTreeLandsOnExactPixels) {
    Start();
    kd_bitmap_t* bm = kd->GetBitmap("res://images/test-pattern.png");
    ASSERT_NE(bm, nullptr);
    ASSERT_EQ(bm->width, 8);
    ASSERT_TRUE(bm->hw.loaded);
    EXPECT_EQ(bm->pixels, nullptr);  // texture only
    Image img = Frame([bm] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        kd->DrawBitmap(bm, 100, 50);
        kd->DrawBitmapRS(bm, 300, 200, 0, 4);  // 32 x 32 around (300, 200)
    });
    ASSERT_EQ(img.w, 1024);
    EXPECT_TRUE(IsColour(img, 100, 50, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 101, 50, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 103, 53, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 104, 50, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 100, 54, 0, 0, 255));
    EXPECT_TRUE(IsColour(img, 107, 57, 255, 255, 255));
    EXPECT_TRUE(IsColour(img, 99, 50, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 108, 57, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 107, 58, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 284, 184, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 288, 184, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 300, 199, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 299, 200, 0, 0, 255));
    EXPECT_TRUE(IsColour(img, 315, 215, 255, 255, 255));

    // Hibernated and got again: drawn the same from a fresh texture.
    kd->ReleaseBitmap(bm);
    EXPECT_FALSE(bm->hw.loaded);
    ASSERT_EQ(kd->GetBitmap("res://images/test-pattern.png"), bm);
    Image again = Frame([bm] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        kd->DrawBitmap(bm, 10, 10);
    });
    EXPECT_TRUE(IsColour(again, 10, 10, 255, 255, 0));
    EXPECT_TRUE(IsColour(again, 17, 17, 255, 255, 255));
}

TEST_F(BitmapDraw, ASequenceDrawsEachFrameFromItsAtlas) {
    // Three 4 x 4 frames: red, green, red again (shares the first's place).
    uint32_t colours[3] = {0xFF0000FF, 0x00FF00FF, 0xFF0000FF};
    std::filesystem::create_directories("app/native/seq");
    for (int i = 0; i < 3; i++) {
        std::vector<uint8_t> px(4 * 4 * 4);
        for (int k = 0; k < 16; k++) {
            uint8_t* p = &px[(size_t)k * 4];
            p[0] = (uint8_t)(colours[i] >> 24), p[1] = (uint8_t)(colours[i] >> 16), p[2] = (uint8_t)(colours[i] >> 8);
            p[3] = 0xFF;
        }
        kd_image_t img{"frame", 4, 4, px.data(), KD_IMAGE_HAS_ALPHA};
        std::string path = "app/native/seq/s-000" + std::to_string(i) + ".png";
        ASSERT_EQ(KDI_WritePNG(&img, path.c_str(), false), 1);
    }
    Start();
    kd_bitmap_t* seq = kd->GetBitmap("res://seq/s.bms");
    ASSERT_NE(seq, nullptr);
    ASSERT_EQ(seq->frame_count, 3);
    ASSERT_NE(seq->atlas, nullptr);
    ASSERT_TRUE(seq->hw.loaded);
    // Frame i at (20 + 20 i, 20).
    auto draw_frames = [seq] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        for (int i = 0; i < 3; i++) {
            kd->SetBitmapFrame(seq, i);
            kd->DrawBitmap(seq, 20 + 20 * (float)i, 20);
        }
    };
    Image img = Frame(draw_frames);
    EXPECT_TRUE(IsColour(img, 20, 20, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 23, 23, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 24, 23, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 40, 20, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 43, 23, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 60, 20, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 63, 23, 255, 0, 0));

    // Pixels kept (cache mode 6), then the renderer starts again: the
    // atlas texture went with the old device, and the sequence is uploaded
    // again, not drawn through a name that now belongs to another bitmap.
    kd->SetBitmapCacheMode(seq, KD_CACHE_BOTH);
    ASSERT_TRUE(KDI_InitRendImp());
    kd_bitmap_t* test_pattern = kd->GetBitmap("res://images/test-pattern.png");  // takes the first free name
    ASSERT_NE(test_pattern, nullptr);
    ASSERT_TRUE(seq->hw.loaded);
    Image after = Frame(draw_frames);
    EXPECT_TRUE(IsColour(after, 21, 21, 255, 0, 0));
    EXPECT_TRUE(IsColour(after, 23, 23, 255, 0, 0));
    EXPECT_TRUE(IsColour(after, 41, 21, 0, 255, 0));
    EXPECT_TRUE(IsColour(after, 63, 23, 255, 0, 0));
    kd->ReleaseBitmap(test_pattern);
}

}  // namespace
