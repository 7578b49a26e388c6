// Bitmap sequences: built from numbered frame files, written as .bms and
// read back; duplicate frames sharing one place in the atlas; and .bms
// files that lie about their contents.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "bitmap-fixture.h"
#include "kd-file.h"

using namespace bmtest;

namespace {

using Sequences = BitmapTest;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& data) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write((const char*)data.data(), (std::streamsize)data.size());
}

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; i++) v.push_back((uint8_t)(x >> (8 * i)));
}

void PutF(std::vector<uint8_t>& v, float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    Put32(v, u);
}

// Header and ATLAS chunk of `count` frames of w x h, then the encoding tag.
std::vector<uint8_t> AtlasHeader(uint32_t count, uint32_t w, uint32_t h, const char* chunk = "ATLAS",
                                 uint32_t frames_written = ~0u) {
    std::vector<uint8_t> v(13);
    memcpy(v.data(), "KD_Bm_Seq_v1", 13);
    Put32(v, count);
    v.insert(v.end(), {'R', 'G', 'B', 'A'});
    // The chunk name field is 8 bytes, zero-padded, with no terminator
    // when the name fills it.
    char name[8] = {0};
    std::copy_n(chunk, std::min(strlen(chunk), sizeof name), name);
    v.insert(v.end(), name, name + sizeof name);
    Put32(v, 0);
    if (frames_written == ~0u) frames_written = count;
    for (uint32_t i = 0; i < frames_written; i++) {
        Put32(v, w);
        Put32(v, h);
        Put32(v, i);
        PutF(v, 30.0f);
        PutF(v, 0), PutF(v, 0), PutF(v, 1), PutF(v, 1);
    }
    return v;
}

void ExpectRefused(kd_bitmap_t* bm) {
    EXPECT_EQ(bm->frame_count, 0);
    EXPECT_EQ(bm->frames, nullptr);
    EXPECT_EQ(bm->atlas, nullptr);
}

TEST_F(Sequences, NumberedFramesBecomeABmsFileThatIsReadBack) {
    for (int i = 1; i <= 12; i++) {
        char rel[64];
        snprintf(rel, sizeof rel, "anim/walk-%.4d.png", i);
        WritePng(rel, 6, 4, 0x10000000u * (uint32_t)i + 0xFF);
    }
    LogCapture log;
    kd_bitmap_t* bm = KD_LoadBitmap("res://anim/walk.bms", KD_CACHE_BOTH);
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->frame_count, 12);
    // Written beside the frames' writable copy, never into the program's data.
    EXPECT_FALSE(std::filesystem::exists("app/native/anim/walk.bms"));
    char* written = KD_ConvertStaticPathToNativeOSPath("user://anim/walk.bms");
    ASSERT_TRUE(std::filesystem::exists(written));
    free(written);
    ASSERT_NE(bm->atlas, nullptr);  // the frames now come from the file
    EXPECT_TRUE(log.Contains("KDI_LoadBitmapSequenceFromFiles 'res://anim/walk.bms' (res://anim/walk-*.png)"));
    for (int i = 0; i < 12; i++) {
        EXPECT_EQ(bm->frames[i].frame_number, i + 1);
        EXPECT_EQ(bm->frames[i].width, 6);
        EXPECT_FLOAT_EQ(bm->frames[i].frame_rate, 30.0f);
        EXPECT_EQ(bm->frames[i].state, KD_BITMAP_READY);
    }
    EXPECT_EQ(bm->width, 6);
    EXPECT_TRUE(bm->hw.loaded);

    // The written file on its own: each frame's atlas place holds its colour.
    kd_bitmap_t again;
    memset(&again, 0, sizeof again);
    ASSERT_TRUE(KDI_LoadBitmapSequence(&again, "res://anim/walk.bms"));
    ASSERT_EQ(again.frame_count, 12);
    kd_bitmap_t* a = again.atlas;
    ASSERT_NE(a->pixels, nullptr);
    for (int i = 0; i < 12; i++) {
        const kd_bitmap_t& f = again.frames[i];
        int x = (int)(f.hw.left_u * a->width + 0.5f), y = (int)(f.hw.top_v * a->height + 0.5f);
        EXPECT_EQ((int)((f.hw.right_u - f.hw.left_u) * a->width + 0.5f), 6);
        const uint8_t* p = a->pixels + ((size_t)y * a->width + x) * 4;
        EXPECT_EQ(p[0], 0x10 * (i + 1)) << "frame " << i;
        EXPECT_EQ(p[3], 0xFF);
    }
    KDI_FreeBitmapFrames(&again);
    KD_ReleaseBitmap(bm);
    EXPECT_EQ(bm->frame_count, 0);  // hibernated
    // The sequence loads again from the file alone.
    std::filesystem::remove("app/native/anim/walk-0001.png");
    EXPECT_EQ(KD_LoadBitmap("res://anim/walk.bms", KD_CACHE_TEXTURE), bm);
    EXPECT_EQ(bm->frame_count, 12);
}

TEST_F(Sequences, FrameNumberingGapsDecideWhereTheScanEnds) {
    for (int n : {0, 1, 2, 5, 6}) WritePng("holes/a" + std::string(n < 10 ? "000" : "00") + std::to_string(n) + ".png", 2, 2, 0xFFFFFFFF);
    kd_bitmap_t* holes = KD_LoadBitmap("res://holes/a*.png", KD_CACHE_SOFTWARE);
    ASSERT_NE(holes, nullptr);
    ASSERT_EQ(holes->frame_count, 5);
    EXPECT_EQ(holes->frames[3].frame_number, 5);
    EXPECT_STREQ(holes->frames[4].name, "res://holes/a0006.png");

    for (int n : {0, 1, 2, 9}) WritePng("far/b000" + std::to_string(n) + ".png", 2, 2, 0xFFFFFFFF);
    kd_bitmap_t* far = KD_LoadBitmap("res://far/b*.png", KD_CACHE_SOFTWARE);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->frame_count, 3);  // six misses (3..8) end the scan
}

TEST_F(Sequences, IdenticalFramesShareOnePlaceInTheAtlas) {
    WritePng("dup/d_0000.png", 5, 5, 0xFF0000FF);
    WritePng("dup/d_0001.png", 5, 5, 0x00FF00FF);
    WritePng("dup/d_0002.png", 5, 5, 0xFF0000FF);
    LogCapture log;
    kd_bitmap_t* bm = KD_LoadBitmap("res://dup/d.bms", KD_CACHE_SOFTWARE);
    ASSERT_NE(bm, nullptr);
    ASSERT_EQ(bm->frame_count, 3);
    EXPECT_TRUE(log.Contains("Frames #0002 and #0000 match."));
    EXPECT_FLOAT_EQ(bm->frames[2].hw.left_u, bm->frames[0].hw.left_u);
    EXPECT_FLOAT_EQ(bm->frames[2].hw.top_v, bm->frames[0].hw.top_v);
    EXPECT_NE(bm->frames[1].hw.left_u, bm->frames[0].hw.left_u);
}

TEST_F(Sequences, RleRoundTripsAndRunsStopAtTheLastPixel) {
    kd_bitmap_t src;
    memset(&src, 0, sizeof src);
    src.width = 300;
    src.height = 2;  // runs cross row ends and pass 255
    std::vector<uint8_t> px(600 * 4);
    for (int i = 0; i < 600; i++) SetPixel(&px[(size_t)i * 4], i < 400 ? 0x11223344 : 0x55667788);
    src.pixels = px.data();
    FILE* fp = tmpfile();
    ASSERT_TRUE(KDI_WriteRLEBitmap(&src, fp));
    long n = ftell(fp);
    EXPECT_EQ(n, 8 + 5 * 3);  // runs of 255, 145 and 200
    std::vector<uint8_t> data((size_t)n);
    rewind(fp);
    ASSERT_EQ(fread(data.data(), 1, data.size(), fp), data.size());
    fclose(fp);
    kd_bitmap_t out;
    memset(&out, 0, sizeof out);
    ASSERT_TRUE(KDI_ReadRLEBitmapMem(&out, data.data(), data.size(), nullptr));
    EXPECT_EQ(memcmp(out.pixels, px.data(), px.size()), 0);
    free(out.pixels);

    // 2 x 1 pixels and one run of 255: the decoder fills two and stops.
    std::vector<uint8_t> rle;
    Put32(rle, 2);
    Put32(rle, 1);
    rle.insert(rle.end(), {255, 1, 2, 3, 4});
    memset(&out, 0, sizeof out);
    ASSERT_TRUE(KDI_ReadRLEBitmapMem(&out, rle.data(), rle.size(), nullptr));
    EXPECT_EQ(out.pixels[4], 3);  // red from the blue, green, red, alpha packet
    EXPECT_EQ(out.pixels[6], 1);
    free(out.pixels);
}

TEST_F(Sequences, LyingFilesAreRefusedAndLeaveNoFrames) {
    kd_bitmap_t bm;
    memset(&bm, 0, sizeof bm);
    LogCapture log;

    std::vector<uint8_t> bad = AtlasHeader(1, 2, 2);
    bad[0] = 'X';
    EXPECT_FALSE(KDI_LoadBitmapSequenceMem(&bm, bad.data(), bad.size(), "magic.bms"));
    EXPECT_TRUE(log.Contains("Bad header in bitmap sequence 'magic.bms'"));
    ExpectRefused(&bm);

    std::vector<uint8_t> frame = AtlasHeader(1, 2, 2, "FRAME");
    EXPECT_FALSE(KDI_LoadBitmapSequenceMem(&bm, frame.data(), frame.size(), "frame.bms"));
    EXPECT_TRUE(log.Contains("unimplemented chunk: 'FRAME'"));
    ExpectRefused(&bm);

    // A frame count far beyond the file: refused before any allocation.
    std::vector<uint8_t> many = AtlasHeader(0x7FFFFFFF, 2, 2, "ATLAS", 1);
    many.insert(many.end(), {'R', 'L', 'E', 0});
    EXPECT_FALSE(KDI_LoadBitmapSequenceMem(&bm, many.data(), many.size(), "many.bms"));
    ExpectRefused(&bm);

    // A PNG size past the end of the file.
    std::vector<uint8_t> png = AtlasHeader(1, 2, 2);
    png.insert(png.end(), {'P', 'N', 'G', 0});
    Put32(png, 1000000);
    png.insert(png.end(), 16, 0);
    EXPECT_FALSE(KDI_LoadBitmapSequenceMem(&bm, png.data(), png.size(), "png.bms"));
    ExpectRefused(&bm);

    // RLE dimensions no data could cover.
    std::vector<uint8_t> rle = AtlasHeader(1, 2, 2);
    rle.insert(rle.end(), {'r', 'l', 'e', 0});
    Put32(rle, 8000);
    Put32(rle, 8000);
    rle.insert(rle.end(), {255, 0, 0, 0, 255});
    EXPECT_FALSE(KDI_LoadBitmapSequenceMem(&bm, rle.data(), rle.size(), "rle.bms"));
    ExpectRefused(&bm);

    // RLE data that ends early.
    std::vector<uint8_t> cut = AtlasHeader(1, 2, 2);
    cut.insert(cut.end(), {'R', 'L', 'E', 0});
    Put32(cut, 4);
    Put32(cut, 4);
    cut.insert(cut.end(), {3, 0, 0, 0, 255});
    EXPECT_FALSE(KDI_LoadBitmapSequenceMem(&bm, cut.data(), cut.size(), "cut.bms"));
    ExpectRefused(&bm);

    // An unknown encoding.
    std::vector<uint8_t> enc = AtlasHeader(1, 2, 2);
    enc.insert(enc.end(), {'J', 'P', 'G', 0});
    EXPECT_FALSE(KDI_LoadBitmapSequenceMem(&bm, enc.data(), enc.size(), "enc.bms"));
    EXPECT_TRUE(log.Contains("encoding: 'JPG'"));
    ExpectRefused(&bm);

    // A frame with no size.
    std::vector<uint8_t> zero = AtlasHeader(1, 0, 2);
    zero.insert(zero.end(), {'R', 'L', 'E', 0});
    Put32(zero, 1);
    Put32(zero, 1);
    zero.insert(zero.end(), {1, 0, 0, 0, 255});
    EXPECT_FALSE(KDI_LoadBitmapSequenceMem(&bm, zero.data(), zero.size(), "zero.bms"));
    ExpectRefused(&bm);

    // The same file with a proper frame loads.
    std::vector<uint8_t> good = AtlasHeader(1, 1, 1);
    good.insert(good.end(), {'R', 'L', 'E', 0});
    Put32(good, 1);
    Put32(good, 1);
    good.insert(good.end(), {1, 0, 0, 0, 255});
    ASSERT_TRUE(KDI_LoadBitmapSequenceMem(&bm, good.data(), good.size(), "good.bms"));
    EXPECT_EQ(bm.frame_count, 1);
    KDI_FreeBitmapFrames(&bm);
}

TEST_F(Sequences, ABadBmsFallsBackToFrameFiles) {
    WriteAll("app/native/fb/x.bms", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 's'});
    WritePng("fb/x0000.png", 3, 3, 0x0000FFFF);
    WritePng("fb/x0001.png", 3, 3, 0x00FF00FF);
    LogCapture log;
    kd_bitmap_t* bm = KD_LoadBitmap("res://fb/x.bms", KD_CACHE_SOFTWARE);
    ASSERT_NE(bm, nullptr);
    EXPECT_TRUE(log.Contains("Bad header in bitmap sequence 'res://fb/x.bms'"));
    EXPECT_EQ(bm->frame_count, 2);
    // Rewritten as a proper file in the writable tree; the bundled one is
    // left alone.
    char* native = KD_ConvertStaticPathToNativeOSPath("user://fb/x.bms");
    std::vector<uint8_t> written = ReadAll(native);
    free(native);
    EXPECT_EQ(ReadAll("app/native/fb/x.bms").size(), 9u);
    ASSERT_GT(written.size(), 13u);
    EXPECT_EQ(memcmp(written.data(), "KD_Bm_Seq_v1", 13), 0);
}

TEST_F(Sequences, NoFramesAnywhereFailsTheLoad) {
    LogCapture log;
    kd_bitmap_t* bm = KD_LoadBitmap("res://nothing/here.bms", KD_CACHE_SOFTWARE);
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->frame_count, 0);
    EXPECT_EQ(bm->state, KD_BITMAP_READY);
    EXPECT_TRUE(log.Contains("Unable to load bitmap 'res://nothing/here.bms'."));
}

}  // namespace
