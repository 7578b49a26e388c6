// The font table and `.sft` files: round trips, old versions, damaged files,
// counting, the lower-case copy, and regeneration from a font source.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "font-fixture.h"
#include "kd-file.h"
#include "test-support.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put16(std::vector<uint8_t>& v, int x) {
    v.push_back((uint8_t)x);
    v.push_back((uint8_t)(x >> 8));
}
void Put32(std::vector<uint8_t>& v, int x) {
    for (int i = 0; i < 4; i++) v.push_back((uint8_t)(x >> (8 * i)));
}

// A version-6 file of `count` glyphs, glyph 1 being 2 x 1 pixels.
std::vector<uint8_t> SmallV6(int count, bool kerning) {
    std::vector<uint8_t> v;
    const char* magic = "KDF_Font_v6";
    v.insert(v.end(), magic, magic + 12);
    const char* enc = "LATIN-1";
    v.insert(v.end(), enc, enc + 8);
    Put32(v, 9);
    Put32(v, 10);
    Put32(v, 12);
    Put32(v, count);
    for (int i = 0; i < count; i++) {
        Put32(v, i);
        Put16(v, 1);
        Put16(v, 0);
        Put16(v, 5);
        v.push_back(kerning ? 1 : 0);
        if (kerning)
            for (int k = 0; k < count; k++) v.push_back((uint8_t)(k == 0 ? -2 : 0));
        int w = i == 1 ? 2 : 0, h = i == 1 ? 1 : 0;
        Put16(v, w);
        Put16(v, h);
        for (int p = 0; p < w * h; p++) {
            v.push_back(10);
            v.push_back(20);
            v.push_back(30);
            v.push_back(255);
        }
    }
    return v;
}

class Fonts : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override {
        ResetTestProg();
        fs::create_directories("app/native/fonts");
        ASSERT_TRUE(StartEngine());
    }
    void TearDown() override { StopEngine(); }
};

}  // namespace

TEST_F(Fonts, SavedFontReadsBackWithTheSameGlyphsAndKerning) {
    kd_font_t a;
    MakeBlockFont(&a, "user://round.sft", 3, 4, 7, 5);
    Glyph(a, 'A').x_offset = -1;
    Glyph(a, 'A').y_offset = 2;
    Kerning(Glyph(a, 'V'), 'A') = -3;
    Glyph(a, 'A').code = 65;
    KDI_SetGlyphPixels(&Glyph(a, 'B'), 0, 0, nullptr);  // an empty glyph
    free(Glyph(a, 'C').kerning);
    Glyph(a, 'C').kerning = nullptr;  // written with kerning flag 0
    ASSERT_EQ(KDI_SaveFont(&a, "user://round.sft"), 1);

    kd_font_t b;
    memset(&b, 0, sizeof b);
    b.name = nStringDuplicate("user://round.sft");
    ASSERT_EQ(KDI_LoadFontSFT(&b), 1);
    EXPECT_EQ(b.encoding, KD_FONT_LATIN1);
    EXPECT_EQ(b.base, a.base);
    EXPECT_EQ(b.size, a.size);
    EXPECT_EQ(b.line_height, a.line_height);
    ASSERT_EQ(b.glyph_count, 256);
    for (int c = 0; c < 256; c++) {
        SCOPED_TRACE(c);
        const kd_glyph_t &x = a.glyphs[c], &y = b.glyphs[c];
        EXPECT_EQ(x.code, y.code);
        EXPECT_EQ(x.x_offset, y.x_offset);
        EXPECT_EQ(x.y_offset, y.y_offset);
        EXPECT_EQ(x.advance, y.advance);
        ASSERT_EQ(x.bitmap.width, y.bitmap.width);
        ASSERT_EQ(x.bitmap.height, y.bitmap.height);
        if (x.bitmap.pixels)
            EXPECT_EQ(memcmp(x.bitmap.pixels, y.bitmap.pixels, (size_t)x.bitmap.width * x.bitmap.height * 4), 0);
        else
            EXPECT_EQ(y.bitmap.pixels, nullptr);
        // A record without a row reads back with a zero row.
        ASSERT_NE(y.kerning, nullptr);
        for (int k = 0; k < 256; k++) EXPECT_EQ(y.kerning[k], x.kerning ? x.kerning[k] : 0);
    }
    EXPECT_EQ(Kerning(Glyph(b, 'V'), 'A'), -3);
    FreeFont(&a);
    FreeFont(&b);
}

TEST_F(Fonts, VersionOneFilesGetWidthPlusOneAdvanceAndSwappedPixels) {
    std::vector<uint8_t> v;
    const char* magic = "KDF_Font_v1";
    v.insert(v.end(), magic, magic + 12);
    v.push_back(0);  // empty encoding name: LATIN-1
    Put32(v, 8);
    Put32(v, 9);
    Put32(v, 11);
    v.insert(v.end(), 256, 0);
    for (int c = 0; c < 256; c++) {
        Put16(v, c == 'x' ? 3 : 0);
        Put16(v, 0);
        int w = c == 'x' ? 2 : 0;
        Put16(v, w);
        Put16(v, w ? 1 : 0);
        for (int p = 0; p < w; p++) v.insert(v.end(), {1, 2, 3, 200});  // blue, green, red, alpha
    }
    kd_font_t f;
    memset(&f, 0, sizeof f);
    f.name = nStringDuplicate("v1");
    ASSERT_EQ(KDI_ParseFontSFT(&f, v.data(), v.size(), nullptr), 1);
    EXPECT_EQ(f.size, 9);
    EXPECT_EQ(Glyph(f, 'x').advance, 3);
    EXPECT_EQ(Glyph(f, 'y').advance, 1);
    EXPECT_EQ(Glyph(f, 'x').y_offset, 3);
    ASSERT_NE(Glyph(f, 'x').bitmap.pixels, nullptr);
    EXPECT_EQ(Glyph(f, 'x').bitmap.pixels[0], 3);  // red first for the null renderer
    EXPECT_EQ(Glyph(f, 'x').bitmap.pixels[2], 1);
    ASSERT_NE(Glyph(f, 'x').kerning, nullptr);
    EXPECT_EQ(Glyph(f, 'x').kerning[5], 0);
    FreeFont(&f);
}

TEST_F(Fonts, DamagedFilesAreRefusedAndLeaveTheEmptyFont) {
    std::vector<uint8_t> good = SmallV6(4, true);
    kd_font_t f;
    memset(&f, 0, sizeof f);
    f.name = nStringDuplicate("t");
    ASSERT_EQ(KDI_ParseFontSFT(&f, good.data(), good.size(), nullptr), 1);
    EXPECT_EQ(f.glyph_count, 4);
    EXPECT_EQ(f.glyphs[1].kerning[0], -2);
    EXPECT_EQ(f.glyphs[1].bitmap.width, 2);

    // Every cut of the file is refused.
    for (size_t cut = 0; cut < good.size(); cut++) {
        SCOPED_TRACE(cut);
        const char* why = nullptr;
        EXPECT_EQ(KDI_ParseFontSFT(&f, good.data(), cut, &why), 0);
        EXPECT_NE(why, nullptr);
        EXPECT_EQ(f.size, 0);
        EXPECT_EQ(f.glyph_count, 256);
        EXPECT_EQ(f.encoding, KD_FONT_LATIN1);
    }
    // A glyph count far beyond the file.
    std::vector<uint8_t> bad = good;
    size_t count_at = 12 + 8 + 12;
    bad[count_at] = 0xFF;
    bad[count_at + 1] = 0xFF;
    bad[count_at + 2] = 0xFF;
    bad[count_at + 3] = 0x7F;
    EXPECT_EQ(KDI_ParseFontSFT(&f, bad.data(), bad.size(), nullptr), 0);
    // A negative glyph count.
    bad[count_at + 3] = 0xFF;
    EXPECT_EQ(KDI_ParseFontSFT(&f, bad.data(), bad.size(), nullptr), 0);
    // A glyph that claims more pixels than the file holds.
    std::vector<uint8_t> big = SmallV6(2, false);
    size_t w_at = 12 + 8 + 16 + (4 + 6 + 1 + 4) + (4 + 6 + 1);
    big[w_at] = 0xFF;
    big[w_at + 1] = 0x0F;
    EXPECT_EQ(KDI_ParseFontSFT(&f, big.data(), big.size(), nullptr), 0);
    EXPECT_EQ(f.glyphs[1].bitmap.pixels, nullptr);
    FreeFont(&f);

    // Through the table: one log line, and the empty default record serves.
    std::ofstream("app/native/fonts/broken.sft", std::ios::binary)
        .write((const char*)good.data(), (std::streamsize)good.size() - 3);
    LogCapture log;
    kd_font_t* t = KD_GetFont("fonts/broken.sft");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->size, 0);
    EXPECT_EQ(t->glyph_count, 256);
    int lines = 0;
    for (const std::string& l : log.lines)
        if (l.find("fonts/broken.sft") != std::string::npos && l.find("damaged") != std::string::npos) lines++;
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(KD_DrawTextf(t, 0, 0, "text"), 0.0f);
}

TEST_F(Fonts, GetCountsOnceAndLoadCountsEveryCall) {
    kd_font_t* g1 = KD_GetFont("fonts/missing-a.sft");
    kd_font_t* g2 = KD_GetFont("fonts/missing-a.sft");
    ASSERT_NE(g1, nullptr);
    EXPECT_EQ(g1, g2);
    EXPECT_EQ(g1->ref_count, 1);
    EXPECT_EQ(g1->size, 0);  // neither file nor source: the empty font
    EXPECT_EQ(g1->cache_mode, KD_CACHE_TEXTURE);  // the bitmaps' default
    kd_font_t* l1 = KD_LoadFont("fonts/missing-b.sft");
    KD_LoadFont("fonts/missing-b.sft");
    EXPECT_EQ(l1->ref_count, 2);
    KD_ReleaseFont(l1);
    EXPECT_EQ(l1->ref_count, 1);
    KD_ReleaseFont(l1);
    EXPECT_EQ(l1->ref_count, 0);
    EXPECT_NE(l1->name, nullptr);  // hibernating, still in its slot
    KD_ReleaseFont(l1);
    EXPECT_EQ(l1->ref_count, 0);
    kd_font_t* n1 = KD_LoadFont("!NONE");
    KD_LoadFont("!NONE");
    EXPECT_EQ(n1->ref_count, 1);
}

TEST_F(Fonts, TheTableHoldsThirtyTwoFonts) {
    int have = 0;
    for (int i = 0; i < KD_MAX_FONTS; i++)
        if (kd_fonts.fonts[i].name) have++;
    for (int i = have; i < KD_MAX_FONTS; i++) {
        std::string name = "!NONE-" + std::to_string(i);
        ASSERT_NE(KD_GetFont(name.c_str()), nullptr) << i;
    }
    EXPECT_EQ(KD_GetFont("!NONE-one-too-many"), nullptr);
}

TEST_F(Fonts, MissingLowerCaseCopiesPixelsInsteadOfSharingThem) {
    kd_font_t* f = KD_GetFont("!NONE-case");
    KDI_FreeGlyphs(f->glyphs, f->glyph_count);
    kd_font_t tmp;
    MakeBlockFont(&tmp, "x");
    for (int c = 'a'; c <= 'z'; c++) KDI_SetGlyphPixels(&tmp.glyphs[c], 0, 0, nullptr);
    Glyph(tmp, 'A').advance = 11;
    Kerning(Glyph(tmp, 'A'), 'V') = -2;
    Kerning(Glyph(tmp, 'W'), 'A') = -4;
    f->glyphs = tmp.glyphs;
    f->size = tmp.size;
    f->line_height = tmp.line_height;
    free(tmp.name);
    ASSERT_EQ(KD_RefreshFont(f), 1);
    kd_glyph_t& a = Glyph(*f, 'a');
    kd_glyph_t& A = Glyph(*f, 'A');
    ASSERT_NE(a.bitmap.pixels, nullptr);
    EXPECT_NE(a.bitmap.pixels, A.bitmap.pixels);
    EXPECT_EQ(memcmp(a.bitmap.pixels, A.bitmap.pixels, (size_t)A.bitmap.width * A.bitmap.height * 4), 0);
    EXPECT_EQ(a.advance, 11);
    EXPECT_NE(a.kerning, A.kerning);
    EXPECT_EQ(Kerning(a, 'V'), -2);
    EXPECT_EQ(Kerning(Glyph(*f, 'W'), 'a'), -4);
    // A second refresh finds the lower case present and changes nothing;
    // the release frees every record once (the sanitizer build checks).
    ASSERT_EQ(KD_RefreshFont(f), 1);
    KDI_FONTS_ReleaseFont(f);
    EXPECT_EQ(f->name, nullptr);
}

TEST_F(Fonts, AMissingFontFileIsRegeneratedFromItsSource) {
    const char* data = getenv("KODO_TEST_DATA");
    ASSERT_NE(data, nullptr);
    fs::copy_file(std::string(data) + "/fonts/small.sft.xml", "app/native/fonts/small.sft.xml");
    fs::copy_file(std::string(data) + "/fonts/small.png", "app/native/fonts/small.png");
    ASSERT_FALSE(fs::exists("app/native/fonts/small.sft"));
    LogCapture log;
    kd_font_t* f = KD_GetFont("fonts/small.sft");
    ASSERT_NE(f, nullptr);
    EXPECT_GT(f->size, 8);
    EXPECT_TRUE(log.Contains("Attempting to generate font from source 'fonts/small.sft.xml'"));
    // Saved in the writable tree, never into the program's data.
    char* saved = KD_ConvertStaticPathToNativeOSPath("user://fonts/small.sft");
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_FALSE(fs::exists("app/native/fonts/small.sft"));
    // The engine's generation gives exactly the committed file.
    EXPECT_EQ(ReadAll(saved), ReadAll(std::string(data) + "/fonts/small.sft"));
    free(saved);
    EXPECT_GT(Glyph(*f, 'W').bitmap.width, Glyph(*f, 'i').bitmap.width);
    EXPECT_EQ(Glyph(*f, ' ').bitmap.pixels, nullptr);
    EXPECT_GT(Glyph(*f, ' ').advance, 0);
}

TEST_F(Fonts, BundledFontsLoad) {
    const char* data = getenv("KODO_TEST_DATA");
    ASSERT_NE(data, nullptr);
    for (const char* name : {"core/console.sft", "fonts/small.sft", "fonts/medium.sft"}) {
        std::vector<uint8_t> bytes = ReadAll(std::string(data) + "/" + name);
        ASSERT_FALSE(bytes.empty()) << name;
        kd_font_t f;
        memset(&f, 0, sizeof f);
        f.name = nStringDuplicate(name);
        ASSERT_EQ(KDI_ParseFontSFT(&f, bytes.data(), bytes.size(), nullptr), 1) << name;
        EXPECT_GT(f.size, 8);
        // Every printable Latin-1 character has a shape or an advance.
        for (int c = 33; c < 127; c++) EXPECT_NE(f.glyphs[c].bitmap.pixels, nullptr) << name << " " << c;
        EXPECT_NE(f.glyphs[0xE9].bitmap.pixels, nullptr);  // e acute
        FreeFont(&f);
    }
}
