// Shared by the bitmap, sequence and atlas tests: an engine on a renderer
// that records texture work and marks uploads as loaded, a clock the tests
// move, and helpers that write image files under res://.
#ifndef BITMAP_FIXTURE_H
#define BITMAP_FIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kd-bitmap-seq.h"
#include "kd-image.h"
#include "rendimp.h"
#include "test-support.h"

namespace bmtest {

inline unsigned int fake_now = 0;
inline unsigned int FakeClock() { return fake_now; }

// Uploads "take" cost_ms of the fake clock each.
class RecordingRenderer : public RendImpNull {
public:
    int loads = 0, frees = 0, creates = 0;
    unsigned int cost_ms = 0;
    // Takes texture work from any thread: workers then upload themselves.
    bool thread_safe = false;
    bool IsThreadSafe() override { return thread_safe; }
    bool LoadBitmap(kd_bitmap_t* bm) override {
        loads++;
        fake_now += cost_ms;
        bm->hw.loaded = 1;
        bm->hw.texture = 100 + (uint32_t)loads;
        bm->hw.tex_width = bm->pb_width > 0 ? bm->pb_width : bm->width;
        bm->hw.tex_height = bm->pb_height > 0 ? bm->pb_height : bm->height;
        bm->hw.left_u = bm->hw.top_v = 0;
        bm->hw.right_u = bm->hw.bottom_v = 1;
        return true;
    }
    bool CreateBitmap(kd_bitmap_t* bm) override {
        creates++;
        bm->hw.loaded = 1;
        return true;
    }
    void FreeBitmap(kd_bitmap_hw_data_t* hw) override {
        if (hw && hw->loaded) frees++;
    }
};

inline RecordingRenderer* recorder = nullptr;
inline RendImp* RecorderFactory() { return recorder; }

// RGBA bytes of a 32-bit value 0xRRGGBBAA.
inline void SetPixel(uint8_t* p, uint32_t c) {
    p[0] = (uint8_t)(c >> 24);
    p[1] = (uint8_t)(c >> 16);
    p[2] = (uint8_t)(c >> 8);
    p[3] = (uint8_t)c;
}

// A w x h PNG of one colour at app/native/<rel> (res://<rel>).
inline void WritePng(const std::string& rel, int w, int h, uint32_t colour) {
    std::string path = "app/native/" + rel;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<uint8_t> px((size_t)w * h * 4);
    for (int i = 0; i < w * h; i++) SetPixel(&px[(size_t)i * 4], colour);
    kd_image_t img;
    img.name = rel.c_str();
    img.width = w;
    img.height = h;
    img.pixels = px.data();
    img.flags = KD_IMAGE_HAS_ALPHA;
    ASSERT_EQ(KDI_WritePNG(&img, path.c_str(), false), 1);
}

class BitmapTest : public ::testing::Test {
protected:
    TempWorkDir dir;
    RecordingRenderer renderer;

    void SetUp() override {
        ResetTestProg();
        fake_now = 0;
        recorder = &renderer;
        std::filesystem::create_directories("app/native");
        KDID_SetRendImpFactory(RecorderFactory);
        ASSERT_TRUE(KDI_PreInit(nullptr));
        ASSERT_TRUE(KDI_Init());
        kd_state.reference_counting = true;
        kd_state.developer_mode = true;  // popups reach the log
        kd_state.verbose_level = 0;
    }
    void TearDown() override {
        KDI_SetResourceQueueClock(nullptr);
        KODO_Shutdown();
        KDID_SetRendImpFactory(GetRendImpNull);
        recorder = nullptr;
    }
};

}  // namespace bmtest

#endif
