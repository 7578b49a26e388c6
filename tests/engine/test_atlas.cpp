// Atlases: the size search, placement and texture coordinates, bled edges
// around packed bitmaps, the border filling of each pack mode, and lists
// that fit no atlas.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "kd-bitmap-seq.h"
#include "test-support.h"

namespace {

const uint32_t kRed = 0xFF0000FF, kBlue = 0x0000FFFF, kClear = 0x00000000;

struct Owned {
    std::vector<std::unique_ptr<kd_bitmap_t>> records;
    std::vector<std::vector<uint8_t>> buffers;
    std::vector<kd_bitmap_t*> list;
    kd_bitmap_t* Add(int w, int h, uint32_t colour, bool alpha = true) {
        records.emplace_back(new kd_bitmap_t());
        kd_bitmap_t* b = records.back().get();
        memset(b, 0, sizeof *b);
        buffers.emplace_back((size_t)w * h * 4);
        for (int i = 0; i < w * h; i++) Set(&buffers.back()[(size_t)i * 4], colour);
        b->width = b->pb_width = w;
        b->height = b->pb_height = h;
        b->pixels = buffers.back().data();
        if (alpha) b->flags |= KD_BITMAP_HAS_ALPHA;
        list.push_back(b);
        return b;
    }
    static void Set(uint8_t* p, uint32_t c) {
        p[0] = (uint8_t)(c >> 24), p[1] = (uint8_t)(c >> 16), p[2] = (uint8_t)(c >> 8), p[3] = (uint8_t)c;
    }
};

uint32_t At(const kd_bitmap_t* b, int x, int y) {
    const uint8_t* p = b->pixels + ((size_t)y * b->width + x) * 4;
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

class Atlas : public ::testing::Test {
protected:
    kd_bitmap_t atlas;
    void SetUp() override { memset(&atlas, 0, sizeof atlas); }
    void TearDown() override {
        free(atlas.pixels);
        free(atlas.name);
    }
};

TEST_F(Atlas, SixteenFramesChooseTheSquarestSmallestAtlas) {
    Owned o;
    for (int i = 0; i < 16; i++) o.Add(60, 60, kRed);
    LogCapture log;
    ASSERT_TRUE(KDI_PackBitmaps(&atlas, o.list.data(), 16));
    EXPECT_EQ(atlas.width, 256);
    EXPECT_EQ(atlas.height, 256);
    EXPECT_EQ(atlas.pack_mode, KD_PACK_NONE);
    EXPECT_TRUE(log.Contains("Fits into 1024x64"));
    EXPECT_TRUE(log.Contains("Fits into 256x256"));
    // Steps of 62 from (2, 2), four a row.
    EXPECT_FLOAT_EQ(o.list[0]->hw.left_u, 2.0f / 256);
    EXPECT_FLOAT_EQ(o.list[1]->hw.left_u, 64.0f / 256);
    EXPECT_FLOAT_EQ(o.list[4]->hw.top_v, 64.0f / 256);
    EXPECT_FLOAT_EQ(o.list[15]->hw.right_u, (188.0f + 60) / 256);
    EXPECT_FLOAT_EQ(o.list[15]->hw.bottom_v, (188.0f + 60) / 256);
    EXPECT_EQ(At(&atlas, 64, 64), kRed);
}

TEST_F(Atlas, EdgeSizesAndEqualShapes) {
    Owned a;
    a.Add(1020, 1020, kRed);
    ASSERT_TRUE(KDI_PackBitmaps(&atlas, a.list.data(), 1));
    EXPECT_EQ(atlas.width, 1024);

    Owned b;
    b.Add(1021, 1021, kRed);
    ASSERT_TRUE(KDI_PackBitmaps(&atlas, b.list.data(), 1));
    EXPECT_EQ(atlas.width, 2048);
    EXPECT_EQ(atlas.height, 2048);

    // 512 x 256 and 256 x 512 both hold two 250 x 250: the taller wins.
    Owned c;
    c.Add(250, 250, kRed);
    c.Add(250, 250, kBlue);
    ASSERT_TRUE(KDI_PackBitmaps(&atlas, c.list.data(), 2));
    EXPECT_EQ(atlas.width, 256);
    EXPECT_EQ(atlas.height, 512);
}

TEST_F(Atlas, BitmapsThatFitNoAtlasReturnFalseAndTheProcessGoesOn) {
    Owned o;
    o.Add(3000, 4, kRed);
    EXPECT_FALSE(KDI_PackBitmaps(&atlas, o.list.data(), 1));
    Owned many;
    for (int i = 0; i < 300; i++) many.Add(200, 200, kRed);
    EXPECT_FALSE(KDI_PackBitmaps(&atlas, many.list.data(), 300));
    // An empty list and a bitmap without pixels are refused too.
    EXPECT_FALSE(KDI_PackBitmaps(&atlas, nullptr, 0));
    Owned none;
    none.Add(4, 4, kRed)->pixels = nullptr;
    EXPECT_FALSE(KDI_PackBitmaps(&atlas, none.list.data(), 1));
}

TEST_F(Atlas, PackedBitmapsBleedTheirColourIntoTheTransparentBorder) {
    Owned o;
    o.Add(4, 4, kRed);
    ASSERT_TRUE(KDI_PackBitmaps(&atlas, o.list.data(), 1));
    // The bitmap lies at (2, 2)..(5, 5); one pixel around it takes its
    // colour with alpha 0, two pixels away stays black.
    EXPECT_EQ(At(&atlas, 2, 2), kRed);
    EXPECT_EQ(At(&atlas, 6, 3), 0xFF000000u);
    EXPECT_EQ(At(&atlas, 3, 1), 0xFF000000u);
    EXPECT_EQ(At(&atlas, 8, 3), kClear);
}

TEST_F(Atlas, BleedingTakesTheLastVisibleNeighbour) {
    Owned o;
    kd_bitmap_t* b = o.Add(3, 3, kClear);
    Owned::Set(b->pixels + (0 * 3 + 1) * 4, kRed);   // above the centre
    Owned::Set(b->pixels + (1 * 3 + 0) * 4, kBlue);  // left of it
    KDI_FixAlphaBleeding(b);
    EXPECT_EQ(At(b, 1, 1), 0x0000FF00u);  // blue, alpha 0
    // Sampling clamps to the edge and clears alpha outside the image.
    EXPECT_EQ(KDI_GetBitmapSamplePoint(b, 0.5, -1.0), 0x000000FFu);  // red (RGBA bytes, little-endian word)
    EXPECT_EQ(KDI_GetBitmapSamplePoint(b, 0.5, 0.0), 0xFF0000FFu);
}

// A 2 x 2 image at (1, 1) of a 4 x 4 target.
struct Padded {
    std::vector<uint8_t> target = std::vector<uint8_t>(4 * 4 * 4, 0x77);
    kd_bitmap_t bm;
    BitmapTexturePacker packer;
    explicit Padded(int mode) {
        memset(&bm, 0, sizeof bm);
        bm.pb_width = bm.pb_height = 2;
        uint32_t colours[4] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF};
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 2; x++) Owned::Set(&target[((size_t)(y + 1) * 4 + x + 1) * 4], colours[y * 2 + x]);
        packer.target = target.data();
        packer.target_width = 4;
        packer.pitch = 16;
        packer.border_x = packer.border_y = 1;
        packer.bitmap = &bm;
        packer.ApplyPadding(mode);
    }
    uint32_t At(int x, int y) const {
        const uint8_t* p = &target[((size_t)y * 4 + x) * 4];
        return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
    }
};

TEST(TexturePacker, EachPackModeFillsTheBorderItsWay) {
    Padded expand(KD_PACK_EXPAND);
    EXPECT_EQ(expand.At(1, 0), 0xFF0000FFu);  // above the first row
    EXPECT_EQ(expand.At(2, 3), 0xFFFFFFFFu);  // below the last
    EXPECT_EQ(expand.At(0, 1), 0xFF0000FFu);  // left edge
    EXPECT_EQ(expand.At(3, 2), 0xFFFFFFFFu);  // right edge
    EXPECT_EQ(expand.At(0, 0), 0xFF0000FFu);  // corner from the copied row

    Padded transparent(KD_PACK_TRANSPARENT);
    EXPECT_EQ(transparent.At(1, 0), 0xFF000000u);
    EXPECT_EQ(transparent.At(3, 2), 0xFFFFFF00u);
    EXPECT_EQ(transparent.At(0, 0), 0xFF000000u);
    EXPECT_EQ(transparent.At(1, 1), 0xFF0000FFu);  // the image keeps its alpha

    for (int mode : {KD_PACK_BORDER, KD_PACK_NONE}) {
        Padded untouched(mode);
        EXPECT_EQ(untouched.At(1, 0), 0x77777777u);
        EXPECT_EQ(untouched.At(0, 2), 0x77777777u);
    }
}

}  // namespace
