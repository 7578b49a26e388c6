// Font generation from a small source image whose glyph metrics are known:
// column blocks and spans, spacing, vertical offsets, automatic kerning and
// its threshold, and the tag that switches kerning off.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "font-fixture.h"
#include "kd-console.h"
#include "kd-image.h"
#include "test-support.h"

namespace fs = std::filesystem;

namespace {

// The strip, 14 x 7, rows 1..5 used (row 0 and 6 empty):
//   A: columns 1-3, rows 1-4; column 3 at alpha 100, the rest opaque.
//   ": columns 5 and 7, rows 1-2 (two blocks, one glyph).
//   B: columns 9-10, rows 2-5, opaque.
//   C: column 12, rows 3-4, opaque.
void WriteStrip(const char* path) {
    const int W = 14, H = 7;
    std::vector<uint8_t> px((size_t)W * H * 4, 0);
    auto set = [&](int x, int y, uint8_t a) {
        uint8_t* p = &px[((size_t)y * W + x) * 4];
        p[0] = p[1] = p[2] = 255;
        p[3] = a;
    };
    for (int y = 1; y <= 4; y++) {
        set(1, y, 255);
        set(2, y, 255);
        set(3, y, 100);
    }
    for (int y = 1; y <= 2; y++) set(5, y, 255), set(7, y, 255);
    for (int y = 2; y <= 5; y++) set(9, y, 255), set(10, y, 255);
    set(12, 3, 255);
    set(12, 4, 3);  // alpha of at most 4 counts as empty
    kd_image_t img = {"strip", W, H, px.data(), KD_IMAGE_HAS_ALPHA};
    ASSERT_EQ(KDI_WritePNG(&img, path, false), 1);
}

void WriteSource(const std::string& extra_settings, const std::string& c_tags) {
    std::ofstream("app/native/fonts/t.sft.xml")
        << "<root><array id=\"settings\"><node id=\"INPUT\" bitmap=\"t.png\"/>"
           "<node id=\"SPACING\" value=\"1\"/><node id=\"AUTO_KERN_THRESHOLD\" value=\"0.5\"/>"
           "<node id=\"LINE_PADDING_OFFSET\" value=\"3\"/>"
        << extra_settings
        << "</array><array id=\"glyphs\">"
           "<node id=\"65\" spacing=\"2\"/><node id=\"34\" span=\"2\"/><node id=\"32\" span=\"0\" spacing=\"5\"/>"
           "<node id=\"66\"/><node id=\"67\" tags=\""
        << c_tags << "\"/></array></root>";
}

class FontGen : public ::testing::Test {
protected:
    TempWorkDir dir;
    kd_font_t font;
    void SetUp() override {
        ResetTestProg();
        fs::create_directories("app/native/fonts");
        ASSERT_TRUE(StartEngine());
        WriteStrip("app/native/fonts/t.png");
        memset(&font, 0, sizeof font);
        font.name = nStringDuplicate("fonts/t.sft");
        font.glyph_count = 256;
        font.glyphs = KDI_AllocGlyphs(256);
    }
    void TearDown() override {
        FreeFont(&font);
        StopEngine();
    }
};

}  // namespace

TEST_F(FontGen, CutsGlyphsWithSpansSpacingAndOffsets) {
    WriteSource("", "");
    ASSERT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 1);
    const kd_glyph_t& A = Glyph(font, 'A');
    EXPECT_EQ(A.bitmap.width, 3);
    EXPECT_EQ(A.bitmap.height, 4);
    EXPECT_EQ(A.y_offset, 0);
    EXPECT_EQ(A.advance, 2 + 1 + 3);
    const kd_glyph_t& q = Glyph(font, '"');
    EXPECT_EQ(q.bitmap.width, 3);  // both blocks and the gap between
    EXPECT_EQ(q.bitmap.height, 2);
    EXPECT_EQ(q.advance, 1 + 3);
    const kd_glyph_t& sp = Glyph(font, ' ');
    EXPECT_EQ(sp.bitmap.pixels, nullptr);
    EXPECT_EQ(sp.advance, 5 + 1);
    const kd_glyph_t& B = Glyph(font, 'B');
    EXPECT_EQ(B.bitmap.width, 2);
    EXPECT_EQ(B.bitmap.height, 4);
    EXPECT_EQ(B.y_offset, 1);
    const kd_glyph_t& C = Glyph(font, 'C');
    EXPECT_EQ(C.bitmap.width, 1);
    EXPECT_EQ(C.bitmap.height, 1);  // the faint pixel below was cleared
    EXPECT_EQ(C.y_offset, 2);
    // Size = the tallest glyph; line height and base follow from it.
    EXPECT_EQ(font.size, 4);
    EXPECT_EQ(font.line_height, 7);
    EXPECT_EQ(font.base, 2);
    EXPECT_EQ(font.encoding, KD_FONT_LATIN1);
    // Pixels are copied from the strip.
    EXPECT_EQ(A.bitmap.pixels[3], 255);
    EXPECT_EQ(A.bitmap.pixels[2 * 4 + 3], 100);
}

TEST_F(FontGen, AutoKerningFollowsTheThreshold) {
    WriteSource("", "");
    ASSERT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 1);
    // A's right column is below the 0.5 threshold: one pixel of air next to
    // B's opaque left column, at most min(3, 2) - 1 = 1.
    EXPECT_EQ(Kerning(Glyph(font, 'B'), 'A'), -1);
    EXPECT_EQ(KDI_GetGlyphsKernOffset(&font, 'A', 'B', 0.5f), -1);
    EXPECT_EQ(KDI_GetGlyphsKernOffset(&font, 'A', 'B', 0.3f), 0);
    // Pairs with a space never kern; glyphs without pixels neither.
    EXPECT_EQ(Kerning(Glyph(font, 'B'), ' '), 0);
    EXPECT_EQ(Kerning(Glyph(font, ' '), 'A'), 0);
    EXPECT_FALSE(KDI_CanGlyphAutoKern('-'));
    EXPECT_FALSE(KDI_CanGlyphAutoKern('_'));
    EXPECT_TRUE(KDI_CanGlyphAutoKern('A'));
    // B followed by C: rows of C (row 2 of B's span) meet B's full right
    // column; d = 0 keeps it at 0.
    EXPECT_EQ(Kerning(Glyph(font, 'C'), 'B'), 0);
    // The generated font measures with its kerning.
    KD_SetTextTransform(1, 1, 0);
    KD_SetTextboxWidth(0);
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(&font, "AB"), 6 + (1 + 2) - 1);
}

TEST_F(FontGen, DisableAutokernTagClearsTheGlyphsRowAndColumn) {
    WriteSource("", "x,DISABLE_AUTOKERN");
    ASSERT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 1);
    for (int k = 0; k < 256; k++) {
        EXPECT_EQ(Glyph(font, 'C').kerning[k], 0);
        EXPECT_EQ(font.glyphs[k].kerning ? Kerning(font.glyphs[k], 'C') : 0, 0);
    }
    // A word merely containing the tag does not count.
    FreeFont(&font);
    font.name = nStringDuplicate("fonts/t.sft");
    font.glyph_count = 256;
    font.glyphs = KDI_AllocGlyphs(256);
    WriteSource("", "NO_DISABLE_AUTOKERNS");
    ASSERT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 1);
    EXPECT_EQ(Kerning(Glyph(font, 'B'), 'A'), -1);
}

TEST_F(FontGen, BadSourcesFail) {
    // No source at all.
    EXPECT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 0);
    // A source without settings.
    std::ofstream("app/native/fonts/t.sft.xml") << "<root><array id=\"glyphs\"><node id=\"65\"/></array></root>";
    EXPECT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 0);
    // More glyph nodes than blocks in the image.
    std::ofstream("app/native/fonts/t.sft.xml")
        << "<root><array id=\"settings\"><node id=\"INPUT\" bitmap=\"t.png\"/></array><array id=\"glyphs\">"
           "<node id=\"65\"/><node id=\"66\"/><node id=\"67\"/><node id=\"68\"/><node id=\"69\"/>"
           "<node id=\"70\"/></array></root>";
    EXPECT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 0);
    // A missing image.
    std::ofstream("app/native/fonts/t.sft.xml")
        << "<root><array id=\"settings\"><node id=\"INPUT\" bitmap=\"none.png\"/></array></root>";
    EXPECT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 0);
    // A TrueType source with language strings: every step this platform
    // lacks reports itself to the developer, and generation fails.
    {
        kd_state.developer_mode = true;
        KDI_ResetPopups();
        LogCapture log;
        std::ofstream("app/native/fonts/t.sft.xml") << "<root><array id=\"settings\"><node id=\"INPUT\" ttf=\"t.ttf\" "
                                                       "strings=\"strings.xml\" size_px=\"20\"/></array></root>";
        EXPECT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 0);
        kd_state.developer_mode = false;
        EXPECT_TRUE(log.Contains("KDI_CreateFontGlyphsArrayFromStrings not available."));
        EXPECT_TRUE(log.Contains("KDI_CreateFontGlyphBitmapsFromTTF not available."));
    }
    // Neither kind of input: an empty font, generated (from fresh records,
    // as the font table hands them over).
    FreeFont(&font);
    font.name = nStringDuplicate("fonts/t.sft");
    font.glyph_count = 256;
    font.glyphs = KDI_AllocGlyphs(256);
    std::ofstream("app/native/fonts/t.sft.xml")
        << "<root><array id=\"settings\"><node id=\"SPACING\" value=\"2\"/></array></root>";
    EXPECT_EQ(KDI_GenerateFontFromSource(&font, 1.0), 1);
    EXPECT_EQ(font.size, 0);
}
