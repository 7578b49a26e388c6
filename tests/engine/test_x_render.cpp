// The OpenGL ES renderer on a real window under Xvfb: each test runs engine frames with the program drawing
// through the interface table, then reads the window back (the host's
// screenshot, as a person would see it) and checks exact pixels.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <GLES/gl.h>
#include <host/host.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "qnx-kodo.h"
#include "rendimp-gles.h"
#include "test-support.h"
#include "window-shot.h"

namespace {

struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    struct Px {
        int r, g, b;
    };
    Px At(int x, int y) const {
        const unsigned char* p = &rgb[((size_t)y * (size_t)w + (size_t)x) * 3];
        return {p[0], p[1], p[2]};
    }
};

std::function<void()> draw_fn;
void DrawHook(float) {
    if (draw_fn) draw_fn();
}

::testing::AssertionResult IsColour(const Image& img, int x, int y, int r, int g, int b, int tolerance = 2) {
    if (x < 0 || y < 0 || x >= img.w || y >= img.h) return ::testing::AssertionFailure() << "outside the image";
    Image::Px p = img.At(x, y);
    if (abs(p.r - r) <= tolerance && abs(p.g - g) <= tolerance && abs(p.b - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << p.r << ", " << p.g << ", "
                                         << p.b << "), expected (" << r << ", " << g << ", " << b << ")";
}

class Render : public ::testing::Test {
protected:
    TempWorkDir dir;

    void SetUp() override {
        ResetTestProg();
        draw_fn = nullptr;
        test_prog.on_draw = DrawHook;
        KDID_OGLES_ResetCaps();
        KDID_OGLES_SetTestSwitches(false, false);
    }
    void Start() {
        ASSERT_TRUE(KDQ_CreateWindow());
        window = true;
        KDID_SetRendImpFactory(nullptr);  // the platform's renderer: OpenGL ES
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
        KDID_OGLES_SetTestSwitches(false, false);
        KDID_OGLES_ResetCaps();
    }

    // Engine frames with `fn` as the program's Draw, then the window. The
    // picture is presented by EGL on a connection of its own, so the same
    // frame is drawn twice (the second present pushes out the first) and
    // the window is read until two reads agree.
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

    // A bitmap in memory, filled by `pixel(x, y)` as RGBA, uploaded.
    kd_bitmap_t* MakeBitmap(const char* name, int w, int h, std::function<uint32_t(int, int)> pixel,
                            int pack_mode = -1, bool alpha = false) {
        kd_bitmap_t* bm = kd->CreateBitmap(name, w, h, 0);
        if (!bm) return nullptr;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint32_t c = pixel(x, y);
                uint8_t* p = bm->pixels + ((size_t)y * w + x) * 4;
                p[0] = (uint8_t)(c >> 24);
                p[1] = (uint8_t)(c >> 16);
                p[2] = (uint8_t)(c >> 8);
                p[3] = (uint8_t)c;
            }
        if (pack_mode >= 0) bm->pack_mode = (int16_t)pack_mode;
        if (alpha) bm->flags |= KD_BITMAP_HAS_ALPHA;
        kd->RefreshBitmap(bm);
        return bm;
    }

    static void WriteProg(const std::string& features, const std::string& reference) {
        std::filesystem::create_directories("app/native");
        std::ofstream("app/native/prog.xml") << "<root><array id=\"PARAMETERS\"><node id=\"APPLICATION\" features=\""
                                             << features << "\" reference_resolution=\"" << reference
                                             << "\"/></array></root>";
    }

    bool window = false, started = false;
    int shots = 0;
};

// Quadrant colours of the test bitmaps (RGBA).
const uint32_t kRed = 0xFF0000FF, kGreen = 0x00FF00FF, kBlue = 0x0000FFFF, kWhite = 0xFFFFFFFF;

uint32_t Quadrants(int x, int y, int w, int h) {
    bool right = x >= w / 2, bottom = y >= h / 2;
    return bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed);
}

}  // namespace

TEST_F(Render, ClearedFrameFillsTheWindow) {
    Start();
    Image img = Frame([] { kd->ClearScreen(0.2f, 0.4f, 0.6f); });
    ASSERT_EQ(img.w, 1024);
    ASSERT_EQ(img.h, 600);
    EXPECT_TRUE(IsColour(img, 0, 0, 51, 102, 153));
    EXPECT_TRUE(IsColour(img, 1023, 599, 51, 102, 153));
}

TEST_F(Render, TexturedQuadLandsOnExactPixelsThroughTheProjection) {
    Start();
    // 8 x 8, a power of two: uploaded as is.
    kd_bitmap_t* bm = MakeBitmap("quads", 8, 8, [](int x, int y) { return Quadrants(x, y, 8, 8); });
    ASSERT_NE(bm, nullptr);
    ASSERT_TRUE(bm->hw.loaded);
    EXPECT_EQ(bm->hw.tex_width, 8);
    EXPECT_FLOAT_EQ(bm->hw.right_u, 1.0f);
    Image img = Frame([bm] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        kd->DrawBitmap(bm, 100, 50);
        kd->DrawBitmapRS(bm, 300, 200, 0, 4);  // 32 x 32 around (300, 200)
    });
    EXPECT_TRUE(IsColour(img, 100, 50, 255, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 103, 53, 255, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 104, 50, 0, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 107, 53, 0, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 100, 54, 0, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 107, 57, 255, 255, 255, 0));
    // Nothing outside the 8 x 8 pixels.
    EXPECT_TRUE(IsColour(img, 99, 50, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 108, 57, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 100, 49, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 107, 58, 0, 0, 0, 0));
    // The scaled copy covers 284..315 x 184..215.
    EXPECT_TRUE(IsColour(img, 284, 184, 255, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 299, 199, 255, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 300, 199, 0, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 315, 215, 255, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 283, 184, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 316, 215, 0, 0, 0, 0));
    kd->ReleaseBitmap(bm);
}

TEST_F(Render, PowerOfTwoFallbackPadsTheTextureWithAnExpandedBorder) {
    KDID_OGLES_SetTestSwitches(true, false);
    Start();
    EXPECT_FALSE(KDID_OGLES_NonPowerOfTwoSupported());
    // 6 x 3 with expand padding: a 8 x 8 texture (6 + 2, 3 + 2 -> 8), the
    // image at (1, 1).
    auto pixel = [](int x, int y) { return Quadrants(x, y, 6, 4); };
    kd_bitmap_t* bm = MakeBitmap("npot", 6, 3, pixel, KD_PACK_EXPAND);
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->hw.tex_width, 8);
    EXPECT_EQ(bm->hw.tex_height, 8);
    EXPECT_FLOAT_EQ(bm->hw.left_u, 1.0f / 8);
    EXPECT_FLOAT_EQ(bm->hw.right_u, 7.0f / 8);
    EXPECT_FLOAT_EQ(bm->hw.top_v, 1.0f / 8);
    EXPECT_FLOAT_EQ(bm->hw.bottom_v, 4.0f / 8);
    Image img = Frame([bm] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        kd->DrawBitmap(bm, 10, 10);
        // Magnified with linear filtering: the expanded border keeps the
        // edges at their own colour instead of fading to the padding.
        kd->SetPixelFilter(1);
        kd->DrawBitmapRS(bm, 500, 300, 0, 20);  // 120 x 60: 440..559 x 260..319 (odd height)
    });
    EXPECT_TRUE(IsColour(img, 10, 10, 255, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 13, 10, 0, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 15, 11, 0, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 10, 12, 0, 0, 255, 0));  // row 2 of 3 is in the bottom half of 4
    EXPECT_TRUE(IsColour(img, 15, 12, 255, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 16, 12, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 10, 13, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 440, 260, 255, 0, 0, 1));  // outermost top-left pixel
    EXPECT_TRUE(IsColour(img, 559, 260, 0, 255, 0, 1));
    EXPECT_TRUE(IsColour(img, 440, 319, 0, 0, 255, 1));
    EXPECT_TRUE(IsColour(img, 559, 319, 255, 255, 255, 1));
    EXPECT_TRUE(IsColour(img, 439, 290, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 500, 320, 0, 0, 0, 0));
    kd->ReleaseBitmap(bm);
}

TEST_F(Render, TransparentPaddingFadesTheEdgesOfAMagnifiedBitmap) {
    KDID_OGLES_SetTestSwitches(true, false);
    Start();
    kd_bitmap_t* bm = MakeBitmap("fade", 6, 3, [](int, int) { return kWhite; }, KD_PACK_TRANSPARENT, true);
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->pack_mode, KD_PACK_TRANSPARENT);
    kd_bitmap_t* opaque = MakeBitmap("opaque", 6, 3, [](int, int) { return kWhite; }, KD_PACK_TRANSPARENT, false);
    EXPECT_EQ(opaque->pack_mode, KD_PACK_EXPAND);  // no alpha: expanded instead
    Image img = Frame([bm] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(1);
        kd->DrawBitmapRS(bm, 500, 300, 0, 20);
    });
    // The centre is white; the outermost pixel is about half faded.
    EXPECT_TRUE(IsColour(img, 500, 300, 255, 255, 255, 1));
    Image::Px edge = img.At(440, 300);
    EXPECT_GT(edge.r, 90);
    EXPECT_LT(edge.r, 170);
    kd->ReleaseBitmap(bm);
    kd->ReleaseBitmap(opaque);
}

TEST_F(Render, BlendModesGiveTheExpectedColours) {
    Start();
    // A texture of (0, 255, 0) at half alpha for the opaque mode.
    kd_bitmap_t* tex = MakeBitmap("half-green", 4, 4, [](int, int) { return 0x00FF0080u; }, -1, true);
    Image img = Frame([tex] {
        kd->ClearScreen(0.2f, 0.4f, 0.6f);
        kd->SetColor(1, 0.5f, 0);
        kd->SetAlpha(0.5f);
        kd->SetBlend(0);
        kd->DrawRect(0, 0, 100, 100);
        kd->SetBlend(1);
        kd->DrawRect(100, 0, 100, 100);
        kd->SetBlend(3);
        kd->SetAlpha(0.25f);
        kd->DrawRect(200, 0, 100, 100);
        kd->SetBlend(4);
        kd->DrawRect(300, 0, 100, 100);
        // Blending off: the texture replaces the vertex colour, no blend.
        kd->SetBlend(2);
        kd->SetColor(1, 0, 0);
        kd->SetAlpha(1);
        kd->DrawBitmapRS(tex, 450, 50, 0, 25);
        // ... and alpha blending is back after mode 2.
        kd->SetBlend(0);
        kd->SetColor(1, 1, 1);
        kd->SetAlpha(0.5f);
        kd->DrawRect(500, 0, 100, 100);
    });
    EXPECT_TRUE(IsColour(img, 50, 50, 153, 114, 76));   // 0.5 src + 0.5 dst
    EXPECT_TRUE(IsColour(img, 150, 50, 178, 166, 153));  // dst + 0.5 src
    EXPECT_TRUE(IsColour(img, 250, 50, 89, 127, 114));   // src dst + 0.75 dst
    EXPECT_TRUE(IsColour(img, 350, 50, 63, 76, 38));     // src dst + 0.25 dst
    EXPECT_TRUE(IsColour(img, 450, 50, 0, 255, 0, 0));   // the texture, unblended
    EXPECT_TRUE(IsColour(img, 550, 50, 153, 178, 204));  // blending again
    EXPECT_TRUE(IsColour(img, 650, 50, 51, 102, 153));   // untouched
    kd->ReleaseBitmap(tex);
}

static void DrawRenderTargetScene(kd_bitmap_t* rt) {
    kd->SetRenderTarget(rt);
    kd->ClearScreen(0, 0, 1);  // blue
    kd->SetColor(1, 0, 0);
    kd->DrawRect(0, 0, 100, 10);  // red band along the top
    kd->SetColor(0, 1, 0);
    kd->DrawRect(0, 50, 20, 10);  // green block bottom-left
    kd->SetRenderTarget(nullptr);
    kd->SetColor(1, 1, 1);
    kd->ClearScreen(0, 0, 0);
    kd->SetPixelFilter(0);
    kd->DrawBitmap(rt, 200, 100);
}

static void ExpectRenderTargetScene(const Image& img) {
    EXPECT_TRUE(IsColour(img, 200, 100, 255, 0, 0, 0));  // top-left: red
    EXPECT_TRUE(IsColour(img, 299, 109, 255, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 250, 110, 0, 0, 255, 0));  // below the band: blue
    EXPECT_TRUE(IsColour(img, 200, 159, 0, 255, 0, 0));  // bottom-left: green
    EXPECT_TRUE(IsColour(img, 219, 150, 0, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 220, 159, 0, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 299, 159, 0, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 300, 130, 0, 0, 0, 0));  // only 100 x 60 of the 128 x 64
    EXPECT_TRUE(IsColour(img, 250, 160, 0, 0, 0, 0));
}

TEST_F(Render, RenderTargetDrawnBackOntoTheScreenIsTheRightWayUp) {
    Start();
    kd_bitmap_t* rt = kd->CreateBitmap("target", 100, 60, 1);
    ASSERT_NE(rt, nullptr);
    ASSERT_TRUE(rt->hw.loaded);
    EXPECT_EQ(rt->hw.tex_width, 128);
    EXPECT_EQ(rt->hw.tex_height, 64);
    EXPECT_FLOAT_EQ(rt->hw.top_v, 1.0f);
    EXPECT_FLOAT_EQ(rt->hw.bottom_v, 4.0f / 64);
    EXPECT_EQ(KDID_OGLES_GetFramebufferFormat(), (unsigned)GL_RGB);  // complete at once on Mesa
    Image img = Frame([rt] { DrawRenderTargetScene(rt); });
    ExpectRenderTargetScene(img);
    EXPECT_EQ(kd_state.transform_index, -1);
    kd->ReleaseBitmap(rt);
}

TEST_F(Render, RenderTargetWithTheRGBAFallback) {
    KDID_OGLES_SetTestSwitches(false, true);
    LogCapture log;
    Start();
    kd_bitmap_t* rt = kd->CreateBitmap("target", 100, 60, 1);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(KDID_OGLES_GetFramebufferFormat(), (unsigned)GL_RGBA);
    EXPECT_TRUE(log.Contains("Rendertarget uses GL_RGBA"));
    EXPECT_NE(rt->hw.framebuffer, 0u);
    Image img = Frame([rt] { DrawRenderTargetScene(rt); });
    ExpectRenderTargetScene(img);
    // A second target keeps the format.
    kd_bitmap_t* second = kd->CreateBitmap("second", 16, 16, 1);
    EXPECT_EQ(KDID_OGLES_GetFramebufferFormat(), (unsigned)GL_RGBA);
    kd->ReleaseBitmap(second);
    kd->ReleaseBitmap(rt);
}

TEST_F(Render, RenderTargetsSurviveARendererReinitialisation) {
    Start();
    kd_bitmap_t* rt = kd->CreateBitmap("target", 100, 60, 1);
    kd_bitmap_t* bm = MakeBitmap("quads", 8, 8, [](int x, int y) { return Quadrants(x, y, 8, 8); });
    test_prog.events.clear();
    ASSERT_TRUE(KDI_InitRendImp());
    int restores = 0;
    for (auto& e : test_prog.events) restores += e.type == KD_EVENT_RENDER_TARGET_RESTORE;
    EXPECT_EQ(restores, 1);
    ASSERT_TRUE(rt->hw.loaded);
    ASSERT_TRUE(bm->hw.loaded);
    Image img = Frame([rt, bm] {
        DrawRenderTargetScene(rt);
        kd->DrawBitmap(bm, 600, 100);
    });
    ExpectRenderTargetScene(img);
    EXPECT_TRUE(IsColour(img, 600, 100, 255, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 607, 107, 255, 255, 255, 0));
    kd->ReleaseBitmap(bm);
    kd->ReleaseBitmap(rt);
}

TEST_F(Render, ScissorClipsAndAFullRectangleSwitchesItOff) {
    Start();
    Image img = Frame([] {
        kd->ClearScreen(0, 0, 0);
        kd->SetScissorRect(100, 100, 50, 40);
        kd->DrawRect(0, 0, 1024, 600);
        kd->SetScissorRect(0, 0, 1024, 600);  // the whole program: off
        kd->SetColor(1, 0, 0);
        kd->DrawRect(500, 500, 10, 10);
        kd->SetColor(1, 1, 1);
    });
    EXPECT_TRUE(IsColour(img, 100, 100, 255, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 149, 139, 255, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 99, 120, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 150, 120, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 120, 99, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 120, 140, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 505, 505, 255, 0, 0, 0));
    // The next frame starts unclipped after KD_DisableScissorRect.
    img = Frame([] {
        kd->SetScissorRect(0, 0, 10, 10);
        kd->DisableScissorRect();
        kd->ClearScreen(0, 1, 0);
    });
    EXPECT_TRUE(IsColour(img, 500, 300, 0, 255, 0, 0));
}

TEST_F(Render, LetterBoxingWithAReferenceResolution) {
    // Reference 512 x 400 on the 1024 x 600 window, aspect kept: scale 1.5,
    // a 768 x 600 picture with bars of 128 pixels left and right.
    WriteProg("AUTOSCALE,AUTOSCALE_RETAIN_ASPECT_RATIO", "512x400");
    Start();
    ASSERT_TRUE(kd_state.autoscale);
    EXPECT_FLOAT_EQ(kd_state.scale_x, 1.5f);
    EXPECT_FLOAT_EQ(kd_state.offset_x, 128);
    EXPECT_FLOAT_EQ(kd_state.offset_y, 0);
    int program_w = 0, program_h = 0;
    Image img = Frame([&] {
        program_w = kd_prog->parms.width;
        program_h = kd_prog->parms.height;
        kd->ClearScreen(0.5f, 0.5f, 0.5f);  // the bars are painted over
        kd->DrawRect(0, 0, 512, 400);
        kd->SetColor(1, 0, 0);
        kd->DrawRect(0, 0, 10, 10);
        kd->SetColor(0, 0, 1);
        kd->DrawRect(502, 390, 10, 10);
    });
    EXPECT_EQ(program_w, 512);
    EXPECT_EQ(program_h, 400);
    EXPECT_TRUE(IsColour(img, 0, 0, 0, 0, 0, 0));  // bars
    EXPECT_TRUE(IsColour(img, 127, 300, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 896, 300, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 1023, 599, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 128, 0, 255, 0, 0, 0));  // program (0, 0)
    EXPECT_TRUE(IsColour(img, 142, 14, 255, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 143, 15, 255, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 895, 599, 0, 0, 255, 0));  // program (511, 399)
    EXPECT_TRUE(IsColour(img, 881, 585, 0, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 880, 584, 255, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 512, 300, 255, 255, 255, 0));
}

TEST_F(Render, ZeroReferenceResolutionFallsBackToTheWindow) {
    WriteProg("AUTOSCALE", "0x0");
    LogCapture log;
    Start();
    kd_state.autoscale = true;  // as a program could ask through its record
    kd_prog->parms.reference_width = kd_prog->parms.reference_height = 0;
    // The record keeps the earlier test's reference size, which the start
    // gave the program as its size: the window's is the one to fall back to.
    kd_prog->parms.width = 1024;
    kd_prog->parms.height = 600;
    KDI_SetupAutoscaling();
    EXPECT_FALSE(kd_state.autoscale);
    EXPECT_TRUE(log.Contains("using the window size 1024x600"));
    Image img = Frame([] {
        kd->ClearScreen(0, 0, 0);
        kd->DrawRect(1014, 590, 10, 10);
    });
    EXPECT_TRUE(IsColour(img, 1023, 599, 255, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 1013, 589, 0, 0, 0, 0));
}

TEST_F(Render, QuadsOfOneTextureGoOutInBatchesOf64) {
    Start();
    kd_bitmap_t* a = MakeBitmap("a", 4, 4, [](int, int) { return kRed; });
    kd_bitmap_t* b = MakeBitmap("b", 4, 4, [](int, int) { return kGreen; });
    ri->Flush();
    KDID_OGLES_ResetStats();
    for (int i = 0; i < 64; i++) kd->DrawBitmap(a, (float)i, 0);
    EXPECT_EQ(KDID_OGLES_GetStats()->draw_calls, 1u);  // drawn when the 64th arrives
    kd->DrawBitmap(a, 0, 10);
    ri->Flush();
    EXPECT_EQ(KDID_OGLES_GetStats()->draw_calls, 2u);
    EXPECT_EQ(KDID_OGLES_GetStats()->quads, 65u);

    KDID_OGLES_ResetStats();
    for (int i = 0; i < 10; i++) kd->DrawBitmap(i % 2 ? b : a, (float)i, 0);
    EXPECT_EQ(KDID_OGLES_GetStats()->draw_calls, 9u);  // each change draws the previous quad
    ri->Flush();
    EXPECT_EQ(KDID_OGLES_GetStats()->draw_calls, 10u);

    // Colour, alpha and filter changes do not break a batch; blend does.
    KDID_OGLES_ResetStats();
    kd->DrawBitmap(a, 0, 0);
    kd->SetColor(1, 0, 0);
    kd->SetAlpha(0.5f);
    kd->SetPixelFilter(0);
    kd->DrawBitmap(a, 0, 0);
    EXPECT_EQ(KDID_OGLES_GetStats()->draw_calls, 0u);
    kd->SetBlend(1);
    EXPECT_EQ(KDID_OGLES_GetStats()->draw_calls, 1u);
    kd->SetBlend(0);

    // The renderer's batch entries: one bind, quads as given, one draw.
    KDID_OGLES_ResetStats();
    kd->BeginBatch(b);
    kd_vertex_t v[4] = {};
    for (int i = 0; i < 5; i++) kd->BatchDrawQuad(b, v);
    kd->EndBatch();
    EXPECT_EQ(KDID_OGLES_GetStats()->draw_calls, 1u);
    EXPECT_EQ(KDID_OGLES_GetStats()->quads, 5u);
    // An untextured batch leaves every texture's filter alone.
    int filter = b->hw.filter;
    kd->SetPixelFilter(filter ? 0 : 1);
    kd->BeginBatch(nullptr);
    EXPECT_EQ(b->hw.filter, filter);
    kd->EndBatch();
    kd->ReleaseBitmap(a);
    kd->ReleaseBitmap(b);
}

TEST_F(Render, LinesTrianglesAndRenderStates) {
    Start();
    LogCapture log;
    kd_state.developer_mode = true;
    Image img = Frame([] {
        kd->ClearScreen(0, 0, 0);
        kd->SetColor(0, 1, 0);
        kd->DrawLine(10.5f, 300.5f, 200.5f, 300.5f);
        kd_vertex3d_t v[3] = {};
        float xy[3][2] = {{400, 100}, {500, 100}, {400, 200}};
        for (int i = 0; i < 3; i++) {
            v[i].x = xy[i][0];
            v[i].y = xy[i][1];
            v[i].z = kd->GetDepthDefault();
            v[i].color = 0xFFFF00FFu;  // R 255, G 0, B 255 in memory order
        }
        unsigned short idx[3] = {0, 1, 2};
        kd->DrawTriangles(nullptr, v, 3, idx, 3);
        kd->SetColor(1, 1, 1);
        kd->SetRenderStatei(KD_RS_CULL_MODE, 3);               // no effect, no popup
        kd->SetRenderStatei((kd_render_state_e)13, 0);          // popup
        kd->SetRenderStateb((kd_render_state_e)14, true);       // popup
        kd->SetRenderStatef(KD_RS_DEPTH_TEST, 1.0f);            // popup
        kd->SetRenderStateb(KD_RS_DEPTH_TEST, false);
    });
    EXPECT_TRUE(IsColour(img, 100, 300, 0, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 100, 302, 0, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 420, 120, 255, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 490, 190, 0, 0, 0, 0));
    EXPECT_FALSE(log.Contains("SetRenderStatei (12, 3)"));
    EXPECT_TRUE(log.Contains("SetRenderStatei (13, 0) state not supported with this method."));
    EXPECT_TRUE(log.Contains("SetRenderStateb (14, true) state not supported with this method."));
    EXPECT_TRUE(log.Contains("SetRenderStatef (10, 1) state not supported with this method."));
}
