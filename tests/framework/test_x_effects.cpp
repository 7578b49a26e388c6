// Screenshots under Xvfb: a particle effect spawned from a bundled script
// and a bundled model, drawn through the OpenGL ES renderer and read back
// from the window.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <array>

#include "fw-x-support.h"
#include "models.h"
#include "particle-effects.h"
#include "particles.h"

namespace {

::testing::AssertionResult IsColour(const FwImage& img, int x, int y, int r, int g, int b, int tol = 8) {
    int pr, pg, pb;
    img.At(x, y, &pr, &pg, &pb);
    if (abs(pr - r) <= tol && abs(pg - g) <= tol && abs(pb - b) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << pr << ", " << pg << ", " << pb
                                         << "), expected (" << r << ", " << g << ", " << b << ")";
}

}  // namespace

TEST(ScreenshotEffects, SpawnedEffectAppearsWhereItWasSpawned) {
    FwWindowEngine engine;
    ASSERT_TRUE(engine.started);
    pbman.Clear();
    pbman.Init();
    // The trail dot: one 8 x 8 orange spark, additive, alpha from 0.4 to
    // 0.6 and scale 0.3 to 0.4. Pinned here to full size and opacity so
    // the pixels are exact.
    fx_t* fx = pbman.GetFX("fxs/trail-dot.lua");
    ASSERT_TRUE(fx);
    ASSERT_TRUE(fx->bitmaps[0]);
    fx->alpha = {1, 1};
    fx->scale = {4, 4};  // 32 x 32 on the screen
    fx->blend = 0;
    fx->alpha_curve = graph_constant1;
    PartMan pool(64);
    pool.force = {0, 0};
    pbman.SpawnFX(&pool, fx, vec2_t{300, 200}, 0, 0);
    ASSERT_EQ(pool.live_count, 1);
    pool.FirstLive()->age = 0;

    FwImage img = engine.Frame([&] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        pool.DrawParts();
    });
    ASSERT_GT(img.w, 0);
    // spark.png is (255, 160, 0), centred on the spawn point.
    EXPECT_TRUE(IsColour(img, 300, 200, 255, 160, 0));
    EXPECT_TRUE(IsColour(img, 286, 186, 255, 160, 0));
    EXPECT_TRUE(IsColour(img, 313, 213, 255, 160, 0));
    EXPECT_TRUE(IsColour(img, 280, 200, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 300, 220, 0, 0, 0));

    // The pool's camera moves the picture; the draw alpha fades it.
    pool.camera = {100, 0};
    pool.draw_alpha = 0.5f;
    img = engine.Frame([&] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        pool.DrawParts();
    });
    EXPECT_TRUE(IsColour(img, 200, 200, 128, 80, 0, 10));
    EXPECT_TRUE(IsColour(img, 300, 200, 0, 0, 0));
    pbman.Clear();
}

TEST(ScreenshotEffects, ModelIsDrawnTexturedAtItsPosition) {
    FwWindowEngine engine;
    ASSERT_TRUE(engine.started);
    Model* m = model_man.LoadModel("models/tile.xml");
    ASSERT_TRUE(m);
    ASSERT_EQ(m->num_indices, 12);
    ASSERT_TRUE(m->texture);
    // A 64 x 64 tile around (500, 300) wearing the wooden apple tile: the
    // red apple a little below the middle, wood at the corners, nothing
    // outside. At the default depth a model unit is a pixel, as for the 2D
    // drawing.
    float z = kd->GetDepthDefault();
    FwImage img = engine.Frame([&] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        m->Draw(vec3_t{500, 300, z}, 0, 1);
    });
    ASSERT_GT(img.w, 0);
    auto pixel = [](const FwImage& i, int x, int y) {
        int r, g, b;
        i.At(x, y, &r, &g, &b);
        return std::array<int, 3>{r, g, b};
    };
    const std::array<int, 3> apple = pixel(img, 494, 312), wood = pixel(img, 474, 330);
    EXPECT_TRUE(apple[0] > 150 && apple[1] < 110 && apple[2] < 110) << apple[0] << " " << apple[1] << " " << apple[2];
    EXPECT_TRUE(wood[0] > 120 && wood[0] > wood[2] + 40) << wood[0] << " " << wood[1] << " " << wood[2];
    EXPECT_TRUE(IsColour(img, 400, 300, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 500, 340, 0, 0, 0));

    // Scaled by 2 and turned half a circle: each point shows what its
    // mirror through the middle showed, twice as far out.
    FwImage turned = engine.Frame([&] {
        kd->ClearScreen(0, 0, 0);
        kd->SetPixelFilter(0);
        m->Draw(vec3_t{500, 300, z}, 3.14159265f, 2);
    });
    EXPECT_TRUE(IsColour(turned, 500 - 2 * (494 - 500), 300 - 2 * (312 - 300), apple[0], apple[1], apple[2], 24));
    EXPECT_TRUE(IsColour(turned, 500 - 2 * (474 - 500), 300 - 2 * (330 - 300), wood[0], wood[1], wood[2], 24));
    EXPECT_TRUE(IsColour(turned, 500, 370, 0, 0, 0));
    model_man.ReleaseModel(m);
}
