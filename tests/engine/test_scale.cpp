// Software scaling: the bilinear and averaging filters on small known
// images, their treatment of transparent pixels, and refused requests.
#include <gtest/gtest.h>

#include <vector>

#include "kd-image.h"
#include "test-support.h"

namespace {

using Px = std::vector<int>;

struct Image : kd_image_t {
    Image() : kd_image_t{"src", 0, 0, nullptr, 0} {}
    // Pixels given as (r, g, b, a) quadruples, row by row.
    Image(int w, int h, const std::vector<int>& values, bool alpha) : Image() {
        width = w;
        height = h;
        pixels = (uint8_t*)malloc((size_t)w * h * 4);
        for (int i = 0; i < w * h * 4; i++) pixels[i] = (uint8_t)values[i];
        flags = alpha ? KD_IMAGE_HAS_ALPHA : 0;
    }
    ~Image() { KDI_FreeImage(this); }
    Px Pixel(int x, int y) const {
        const uint8_t* p = pixels + (y * width + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }
};

// A one-row grey ramp (grey in all three colour lanes), opaque.
std::vector<int> Row(const std::vector<int>& greys) {
    std::vector<int> v;
    for (int g : greys) v.insert(v.end(), {g, g, g, 255});
    return v;
}

}  // namespace

TEST(Scale, BilinearEnlargement) {
    // Without alpha the edge pixel is repeated; sample points carry no
    // half-pixel offset.
    Image src(2, 1, Row({0, 200}), false);
    Image out;
    ASSERT_TRUE(KDI_CreateImageResized(&out, &src, 4, 1, 100));
    EXPECT_EQ(out.width, 4);
    EXPECT_EQ(out.height, 1);
    EXPECT_EQ(out.Pixel(0, 0), (Px{0, 0, 0, 255}));
    EXPECT_EQ(out.Pixel(1, 0), (Px{100, 100, 100, 255}));
    EXPECT_EQ(out.Pixel(2, 0), (Px{200, 200, 200, 255}));
    EXPECT_EQ(out.Pixel(3, 0), (Px{200, 200, 200, 255}));
    EXPECT_FALSE(out.flags & KD_IMAGE_HAS_ALPHA);

    // With alpha, samples beyond the edge are transparent: the right-most
    // and bottom-most pixels fade out.
    Image alpha(2, 2, Row({0, 200, 0, 200}), true);
    ASSERT_TRUE(KDI_CreateImageResized(&out, &alpha, 4, 4, 100));
    EXPECT_TRUE(out.flags & KD_IMAGE_HAS_ALPHA);
    EXPECT_EQ(out.Pixel(0, 0)[3], 255);
    EXPECT_EQ(out.Pixel(2, 2)[3], 255);
    EXPECT_EQ(out.Pixel(3, 0)[3], 127);
    EXPECT_EQ(out.Pixel(0, 3)[3], 127);
    EXPECT_EQ(out.Pixel(3, 3)[3], 63);
    EXPECT_EQ(out.Pixel(3, 0)[0], 200);  // the colour is not darkened
}

// Factors up to 1.5 use the bilinear filter, larger ones the averaging one.
// Alternating black and white columns tell them apart: the first target
// pixel samples column 0 alone when bilinear, columns 0 and 1 when averaging.
TEST(Scale, FilterChoiceByFactor) {
    auto stripes = [](int w) {
        std::vector<int> greys;
        for (int x = 0; x < w; x++) greys.push_back(x % 2 ? 255 : 0);
        return Row(greys);
    };
    Image out;
    Image s60(60, 1, stripes(60), false);
    ASSERT_TRUE(KDI_CreateImageResized(&out, &s60, 40, 1, 100));  // exactly 1.5
    EXPECT_EQ(out.Pixel(0, 0)[0], 0);
    EXPECT_EQ(out.Pixel(1, 0)[0], 127);  // source x 1.5
    Image s64(64, 1, stripes(64), false);
    ASSERT_TRUE(KDI_CreateImageResized(&out, &s64, 50, 1, 100));  // 1.28
    EXPECT_EQ(out.Pixel(0, 0)[0], 0);
    ASSERT_TRUE(KDI_CreateImageResized(&out, &s64, 32, 1, 100));  // 2: averaging
    for (int x = 0; x < 32; x++) EXPECT_EQ(out.Pixel(x, 0)[0], 127) << x;
    EXPECT_EQ(out.Pixel(5, 0)[3], 255);

    // 64 x 64 halved: each target pixel averages a 2 x 2 block.
    std::vector<int> v;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) v.insert(v.end(), {x * 4, y * 4, 100, 255});
    Image big(64, 64, v, false);
    ASSERT_TRUE(KDI_CreateImageResized(&out, &big, 32, 32, 100));
    Px p = out.Pixel(10, 20);
    EXPECT_NEAR(p[0], 82, 1);  // (80 + 84) / 2
    EXPECT_NEAR(p[1], 162, 1);  // (160 + 164) / 2
    EXPECT_NEAR(p[2], 100, 1);
    EXPECT_EQ(p[3], 255);
}

TEST(Scale, AveragingIgnoresTransparentColour) {
    // Opaque red beside transparent black: the average stays red and only
    // the alpha drops to a quarter.
    Image src(4, 1, {255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true);
    Image out;
    ASSERT_TRUE(KDI_CreateImageResized(&out, &src, 1, 1, 100));
    EXPECT_EQ(out.Pixel(0, 0), (Px{255, 0, 0, 63}));

    // All samples transparent: alpha 0.
    Image clear(4, 4, std::vector<int>(64, 0), true);
    ASSERT_TRUE(KDI_CreateImageResized(&out, &clear, 2, 2, 100));
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 2; x++) EXPECT_EQ(out.Pixel(x, y)[3], 0);
}

TEST(Scale, SameSizeCopiesAndTargetMayBeTheSource) {
    Image src(2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, false);
    Image out;
    ASSERT_TRUE(KDI_CreateImageResized(&out, &src, 2, 2, 100));
    EXPECT_EQ(0, memcmp(out.pixels, src.pixels, 16));
    EXPECT_NE(out.pixels, src.pixels);
    ASSERT_TRUE(KDI_CreateImageResized(&src, &src, 4, 4, 100));
    EXPECT_EQ(src.width, 4);
    EXPECT_EQ(src.Pixel(0, 0), (Px{1, 2, 3, 4}));
}

TEST(Scale, RefusedRequestsLeaveTheTargetAlone) {
    Image src(2, 2, std::vector<int>(16, 9), false);
    Image out(1, 1, {7, 7, 7, 7}, false);
    uint8_t* before = out.pixels;
    for (auto wh : {std::pair<int, int>{0, 4}, {4, 0}, {65535, 4}, {4, 65535}, {-1, 4}}) {
        EXPECT_FALSE(KDI_CreateImageResized(&out, &src, wh.first, wh.second, 100));
        EXPECT_EQ(out.pixels, before);
        EXPECT_EQ(out.width, 1);
    }
    // Within the limits but over the pixel cap: refused, no huge allocation.
    LogCapture log;
    EXPECT_FALSE(KDI_CreateImageResized(&out, &src, 65534, 65534, 100));
    EXPECT_TRUE(log.Contains("too large"));
    EXPECT_EQ(out.pixels, before);

    Image empty;
    EXPECT_FALSE(KDI_CreateImageResized(&out, &empty, 2, 2, 100));
    EXPECT_FALSE(KDI_CreateImageResized(&out, nullptr, 2, 2, 100));
    EXPECT_FALSE(KDI_CreateImageResized(nullptr, &src, 2, 2, 100));
    EXPECT_EQ(out.pixels, before);
}

TEST(Scale, AlphaBleedingSpreadsOnePixel) {
    // Row: opaque red, then two transparent black pixels.
    std::vector<int> v = {255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0};
    Image img(3, 1, v, true);
    KDI_FixAlphaBleeding(&img);
    EXPECT_EQ(img.Pixel(0, 0), (Px{255, 0, 0, 255}));
    EXPECT_EQ(img.Pixel(1, 0), (Px{255, 0, 0, 0}));
    EXPECT_EQ(img.Pixel(2, 0), (Px{0, 0, 0, 0}));  // its neighbour was transparent

    // Neighbours are read above, right, below, left: the last visible wins.
    std::vector<int> cross = {
        0, 0, 0, 0,    10, 0, 0, 255, 0, 0, 0, 0,  //
        40, 0, 0, 255, 0, 0, 0, 0,    20, 0, 0, 255,  //
        0, 0, 0, 0,    30, 0, 0, 255, 0, 0, 0, 0,
    };
    Image c(3, 3, cross, true);
    KDI_FixAlphaBleeding(&c);
    EXPECT_EQ(c.Pixel(1, 1), (Px{40, 0, 0, 0}));
}
