// Text measurement, line breaking, alignment, markup and UTF-8 on fonts of
// solid blocks whose metrics are known (see font-fixture.h). Drawn glyphs
// are watched through a vertex processor: each glyph is one quad.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "font-fixture.h"
#include "test-support.h"

namespace {

struct Quad {
    float x, y, w, h;
    uint32_t colour;
};
std::vector<Quad> quads;

void Capture(kd_vertex_t* v, int count, void*) {
    if (count == 4) quads.push_back({v[0].x, v[0].y, v[3].x - v[0].x, v[3].y - v[0].y, v[0].color});
}

uint8_t Red(uint32_t c) { return (uint8_t)(c >> 16); }
uint8_t Green(uint32_t c) { return (uint8_t)(c >> 8); }
uint8_t Alpha(uint32_t c) { return (uint8_t)(c >> 24); }

class Text : public ::testing::Test {
protected:
    TempWorkDir dir;
    kd_font_t font;  // glyphs 6 x 10, advance 8, space 4, line height 12

    void SetUp() override {
        ResetTestProg();
        ASSERT_TRUE(StartEngine());
        MakeBlockFont(&font, "blocks");
        KD_SetTextAlign(0);
        KD_SetTextboxWidth(0);
        KD_SetTextTransform(1, 1, 0);
        KD_SetColor(1, 1, 1);
        KD_SetAlpha(1);
        quads.clear();
        KD_PushVertexProcessor(Capture, nullptr);
    }
    void TearDown() override {
        KD_PopVertexProcessor();
        FreeFont(&font);
        StopEngine();
    }
    std::vector<std::string> Lines(int box, const char* text) {
        char buf[256];
        snprintf(buf, sizeof buf, "%s", text);
        char* starts[64];
        int16_t widths[64];
        int n = KDI_ParseTextLines_LATIN1(&font, box, buf, starts, widths, 64);
        std::vector<std::string> out;
        for (int i = 0; i < n; i++) out.push_back(std::string(starts[i]) + ":" + std::to_string(widths[i]));
        return out;
    }
};

}  // namespace

TEST_F(Text, MeasuresWidthHeightAndKerning) {
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(&font, "ab"), 16);
    Kerning(Glyph(font, 'b'), 'a') = -2;
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(&font, "ab"), 14);
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(&font, "%s %d", "a", 7), 20);
    // One line: the taller of size and line height; each further line adds
    // a line height.
    EXPECT_FLOAT_EQ(KD_GetTextHeightf(&font, "a"), 12);
    EXPECT_FLOAT_EQ(KD_GetTextHeightf(&font, "a\nb\nc"), 36);
    float w = -1, h = -1;
    KD_GetTextSizef(&font, &w, &h, "abc\nd");
    EXPECT_FLOAT_EQ(w, 22);
    EXPECT_FLOAT_EQ(h, 24);
    KD_SetTextTransform(2, 3, 0);
    KD_GetTextSizef(&font, &w, &h, "ab");
    EXPECT_FLOAT_EQ(w, 28);
    EXPECT_FLOAT_EQ(h, 36);
    // Nothing to measure.
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(&font, "%s", ""), 0);
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(nullptr, "abc"), 0);
    w = h = -1;
    KD_GetTextSizef(nullptr, &w, &h, "abc");
    EXPECT_EQ(w, -1);
}

TEST_F(Text, BreaksLinesAtTheBoxWidthAndAtNewlines) {
    EXPECT_EQ(Lines(30, "aaa bbb"), (std::vector<std::string>{"aaa:24", "bbb:24"}));
    // The word fits when line + space + word stays below the width.
    EXPECT_EQ(Lines(53, "aaa bbb"), (std::vector<std::string>{"aaa bbb:52"}));
    EXPECT_EQ(Lines(52, "aaa bbb"), (std::vector<std::string>{"aaa:24", "bbb:24"}));
    EXPECT_EQ(Lines(65535, "ab\n\ncd"), (std::vector<std::string>{"ab:16", ":0", "cd:16"}));
    // A box of 0 or 1 pixels does not wrap.
    KD_SetTextboxWidth(1);
    EXPECT_FLOAT_EQ(KD_GetTextHeightf(&font, "aaa bbb ccc"), 12);
    KD_SetTextboxWidth(30);
    EXPECT_FLOAT_EQ(KD_GetTextHeightf(&font, "aaa bbb ccc"), 36);
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(&font, "aaa bbb ccc"), 24);
    // Drawing breaks at the box width divided by the text scale, measuring
    // at the full width.
    KD_SetTextboxWidth(60);
    EXPECT_EQ(KD_GetTextHeightf(&font, "aaa bbb"), 12);
    KD_SetTextTransform(2, 2, 0);
    quads.clear();
    EXPECT_FLOAT_EQ(KD_DrawTextf(&font, 0, 0, "aaa bbb"), 24);
    ASSERT_EQ(quads.size(), 6u);
    EXPECT_FLOAT_EQ(quads[3].y, 24);  // second line, 12 px scaled by 2
    EXPECT_FLOAT_EQ(quads[1].x, 16);
    EXPECT_FLOAT_EQ(quads[0].w, 12);
}

TEST_F(Text, DrawsGlyphsWhereTheLayoutPutsThem) {
    Glyph(font, 'b').x_offset = 1;
    Glyph(font, 'b').y_offset = 2;
    Kerning(Glyph(font, 'c'), 'b') = -3;
    EXPECT_FLOAT_EQ(KD_DrawTextf(&font, 100, 50, "a bc"), 25);
    ASSERT_EQ(quads.size(), 3u);  // the space has no pixels
    EXPECT_FLOAT_EQ(quads[0].x, 100);
    EXPECT_FLOAT_EQ(quads[0].y, 50);
    EXPECT_FLOAT_EQ(quads[0].w, 6);
    EXPECT_FLOAT_EQ(quads[0].h, 10);
    EXPECT_FLOAT_EQ(quads[1].x, 100 + 8 + 4 + 1);
    EXPECT_FLOAT_EQ(quads[1].y, 52);
    EXPECT_FLOAT_EQ(quads[2].x, 100 + 8 + 4 + 8 - 3);
    // Two bars draw one bar glyph.
    quads.clear();
    KD_DrawTextf(&font, 0, 0, "a||b");
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_FLOAT_EQ(quads[2].x, 16 + 1);  // b keeps its x offset of 1
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(&font, "a||b"), 24);
    // An image tag without quotes draws nothing and keeps the pen.
    quads.clear();
    KD_DrawTextf(&font, 0, 0, "a|i scale=2 angle=30|b");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[1].x, 8 + 1);
    // Nothing for an empty text or a font without size.
    EXPECT_FLOAT_EQ(KD_DrawTextf(&font, 0, 0, "%s", ""), 0);
    font.size = 0;
    EXPECT_FLOAT_EQ(KD_DrawTextf(&font, 0, 0, "abc"), 0);
}

TEST_F(Text, AlignsLinesAndTheBlock) {
    KD_SetTextAlign(KD_TEXT_ALIGN_RIGHT);
    KD_DrawTextf(&font, 200, 0, "ab\nabc");
    ASSERT_EQ(quads.size(), 5u);
    EXPECT_FLOAT_EQ(quads[0].x, 200 - 16);
    EXPECT_FLOAT_EQ(quads[2].x, 200 - 24);
    EXPECT_FLOAT_EQ(quads[2].y, 12);
    quads.clear();
    KD_SetTextAlign(KD_TEXT_ALIGN_HCENTER | KD_TEXT_ALIGN_BOTTOM);
    KD_DrawTextf(&font, 200, 100, "abc\nab");
    ASSERT_EQ(quads.size(), 5u);
    EXPECT_FLOAT_EQ(quads[0].x, 200 - 12);
    EXPECT_FLOAT_EQ(quads[3].x, 200 - 8);
    EXPECT_FLOAT_EQ(quads[0].y, 100 - 24);
    quads.clear();
    KD_SetTextAlign(KD_TEXT_ALIGN_VCENTER);
    KD_DrawTextf(&font, 0, 100, "a\nb");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[0].y, 100 - 12);
}

TEST_F(Text, ColourTagsSetColourAndAlphaAndStaySet) {
    KD_DrawTextf(&font, 0, 0, "|#FF0000|ab |00ff0080|cd");
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_EQ(Red(quads[0].colour), 255);
    EXPECT_EQ(Green(quads[0].colour), 0);
    EXPECT_EQ(Alpha(quads[0].colour), 255);
    EXPECT_EQ(Red(quads[2].colour), 0);
    EXPECT_EQ(Green(quads[2].colour), 255);
    EXPECT_EQ(Alpha(quads[2].colour), 128);
    // The last colour stays the drawing colour.
    EXPECT_EQ(Green(kd_state.current_color), 255);
    EXPECT_EQ(Alpha(kd_state.current_color), 128);
    EXPECT_NEAR(kd_state.current_alpha, 128 / 255.0f, 1e-6);
    // Tags add nothing to the width; non-hex digits count as 0.
    EXPECT_FLOAT_EQ(KD_GetTextWidthf(&font, "|#zz00ff|ab"), 16);
    quads.clear();
    KD_SetAlpha(1);
    KD_DrawTextf(&font, 0, 0, "|zz80ff|a");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(Red(quads[0].colour), 0);
    EXPECT_EQ(Green(quads[0].colour), 0x80);
}

TEST_F(Text, ScaleTagsOfZeroOrBelowAreIgnored) {
    KD_SetTextboxWidth(30);
    for (const char* t : {"|scale=0|aaa bbb", "|scale=-2|aaa bbb", "|scale=|aaa bbb", "|scale=nan|aaa bbb"}) {
        SCOPED_TRACE(t);
        EXPECT_FLOAT_EQ(KD_GetTextHeightf(&font, "%s", t), 24);
        quads.clear();
        EXPECT_FLOAT_EQ(KD_DrawTextf(&font, 0, 0, "%s", t), 24);
        ASSERT_EQ(quads.size(), 6u);
        EXPECT_FLOAT_EQ(quads[1].x, 8);
        EXPECT_FLOAT_EQ(quads[1].w, 6);
    }
    // A usable scale scales the glyphs after it and narrows the wrap.
    quads.clear();
    KD_SetTextboxWidth(0);
    KD_DrawTextf(&font, 0, 0, "a|scale=2|b");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[1].w, 12);
    EXPECT_FLOAT_EQ(quads[1].x, 16);
    EXPECT_EQ(Lines(60, "|scale=2|aaa bbb").size(), 2u);
}

// One layout serves both encodings: the same text, with kerning, colour
// and scale tags, two bars, a wrap and a newline, draws the same glyphs at
// the same places and measures the same from a Latin-1 font and from that
// font read as UTF-8; and both keep the same number of lines at the cap.
TEST_F(Text, OneLayoutDrawsAndMeasuresBothEncodingsAlike) {
    Kerning(Glyph(font, 'b'), 'a') = -2;
    for (int i = 0; i < font.glyph_count; i++) font.glyphs[i].code = i;
    std::string many(KD_TEXT_MAX_LINES - 1, '\n');
    std::vector<Quad> drawn[2];
    float result[2], width[2], height[2], capped[2];
    size_t capped_quads[2];
    for (int e : {0, 1}) {
        font.encoding = e ? KD_FONT_UTF8 : KD_FONT_LATIN1;
        KD_SetTextboxWidth(60);
        KD_SetColor(1, 1, 1);  // a colour tag's colour stays set after a text
        quads.clear();
        result[e] = KD_DrawTextf(&font, 10, 20, "ab |ff0000|a||b |scale=2|ab\nabab ab ab");
        drawn[e] = quads;
        KD_GetTextSizef(&font, &width[e], &height[e], "ab |ff0000|a||b |scale=2|ab\nabab ab ab");
        // One line more than the cap: the last is dropped by both.
        KD_SetTextboxWidth(0);
        quads.clear();
        KD_DrawTextf(&font, 0, 0, "%sa\nb", many.c_str());
        capped_quads[e] = quads.size();
        capped[e] = KD_GetTextHeightf(&font, "%sa\nb", many.c_str());
    }
    ASSERT_EQ(drawn[0].size(), 15u);
    ASSERT_EQ(drawn[1].size(), drawn[0].size());
    for (size_t i = 0; i < drawn[0].size(); i++) {
        EXPECT_FLOAT_EQ(drawn[1][i].x, drawn[0][i].x) << i;
        EXPECT_FLOAT_EQ(drawn[1][i].y, drawn[0][i].y) << i;
        EXPECT_FLOAT_EQ(drawn[1][i].w, drawn[0][i].w) << i;
        EXPECT_EQ(drawn[1][i].colour, drawn[0][i].colour) << i;
    }
    EXPECT_FLOAT_EQ(drawn[0][1].x, 10 + 8 - 2);  // b kerned after a
    EXPECT_FLOAT_EQ(result[1], result[0]);
    EXPECT_FLOAT_EQ(width[1], width[0]);
    EXPECT_FLOAT_EQ(height[1], height[0]);
    EXPECT_EQ(capped_quads[0], 1u);
    EXPECT_EQ(capped_quads[1], 1u);
    EXPECT_FLOAT_EQ(capped[0], 12.0f * KD_TEXT_MAX_LINES);
    EXPECT_FLOAT_EQ(capped[1], capped[0]);
}

TEST(Utf8, BadSequencesAreSkippedAndTheTerminatorNeverPassed) {
    uint32_t out[16];
    EXPECT_EQ(KDI_DecodeUTF8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", out, 16), 4);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], 0xE9u);
    EXPECT_EQ(out[2], 0x20ACu);
    EXPECT_EQ(out[3], 0x1F600u);
    EXPECT_EQ(out[4], 0u);
    // A lead byte at the end: the terminator is never passed.
    EXPECT_EQ(KDI_DecodeUTF8("ab\xE2\x82", out, 16), 2);
    EXPECT_EQ(KDI_DecodeUTF8("\xF0", out, 16), 0);
    // A sequence cut by a byte that is not 10xxxxxx is dropped, and the
    // text goes on at that byte.
    EXPECT_EQ(KDI_DecodeUTF8("a\xC3(bc", out, 16), 4);
    EXPECT_EQ(out[1], (uint32_t)'(');
    EXPECT_EQ(out[3], (uint32_t)'c');
    EXPECT_EQ(KDI_DecodeUTF8("\xE2\x82\xC3\xA9z", out, 16), 2);
    EXPECT_EQ(out[0], 0xE9u);
    EXPECT_EQ(out[1], (uint32_t)'z');
    // A stray continuation byte stands for itself.
    EXPECT_EQ(KDI_DecodeUTF8("\x80z", out, 16), 2);
    EXPECT_EQ(out[0], 0x80u);
    // The capacity is kept, the terminator included.
    EXPECT_EQ(KDI_DecodeUTF8("abcdef", out, 3), 2);
    EXPECT_EQ(out[2], 0u);
    EXPECT_EQ(KDI_DecodeUTF8(nullptr, out, 3), 0);
}

TEST(Utf8, CjkWrapsAtAnyCharacterButNotBeforeFullWidthPunctuation) {
    kd_font_t f;
    memset(&f, 0, sizeof f);
    f.name = nStringDuplicate("cjk");
    f.encoding = KD_FONT_UTF8;
    const uint32_t codes[] = {32, 'a', 0x4E00, 0x4E8C, 0x4E09, 0x56DB, 0xFF0C, 0x3002};
    f.glyph_count = 8;
    f.glyphs = KDI_AllocGlyphs(8);
    for (int i = 0; i < 8; i++) {
        f.glyphs[i].code = (int32_t)codes[i];
        f.glyphs[i].advance = i == 0 ? 5 : 10;
    }
    f.size = f.base = 10;
    f.line_height = 12;
    f.draw_scale = 1;
    auto lines = [&](int box, const char* text) {
        uint32_t buf[64];
        KDI_DecodeUTF8(text, buf, 40);
        uint32_t* starts[16];
        int16_t widths[16];
        int n = KDI_ParseTextLines_UTF32(&f, box, buf, starts, widths, 16);
        std::vector<int> out;
        for (int i = 0; i < n; i++) {
            int len = 0;
            while (starts[i][len]) len++;
            out.push_back(len * 1000 + widths[i]);
        }
        return out;
    };
    // 一二三四 in a box of 30: the third character reaches 30 and starts line 2.
    EXPECT_EQ(lines(30, "\xE4\xB8\x80\xE4\xBA\x8C\xE4\xB8\x89\xE5\x9B\x9B"), (std::vector<int>{2020, 2020}));
    // 一二，三: the full-width comma stays on the first line.
    EXPECT_EQ(lines(30, "\xE4\xB8\x80\xE4\xBA\x8C\xEF\xBC\x8C\xE4\xB8\x89"), (std::vector<int>{3030, 1010}));
    // Spaces break between words; a newline closes a line.
    EXPECT_EQ(lines(30, "aa aa"), (std::vector<int>{2020, 2020}));
    EXPECT_EQ(lines(65535, "a\na"), (std::vector<int>{1010, 1010}));
    // One character wider than the box still makes progress.
    EXPECT_EQ(lines(5, "aaa"), (std::vector<int>{1010, 1010, 1010}));
    // Measuring: width and height of a two-line text; tags are skipped.
    KD_SetTextTransform(1, 1, 0);
    KD_SetTextboxWidth(0);
    float w, h;
    KD_GetTextSizef(&f, &w, &h, "|ff0000|aa\n|i x|a");
    EXPECT_FLOAT_EQ(w, 20);
    EXPECT_FLOAT_EQ(h, 24);
    KDI_FreeGlyphs(f.glyphs, f.glyph_count);
    free(f.name);
}

namespace {

// The bundled font `name`, read from the data tree.
bool LoadBundledFont(kd_font_t* f, const char* name) {
    const char* data = getenv("KODO_TEST_DATA");
    std::ifstream in(std::string(data ? data : ".") + "/" + name, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    memset(f, 0, sizeof *f);
    f->name = nStringDuplicate(name);
    return !bytes.empty() && KDI_ParseFontSFT(f, bytes.data(), bytes.size(), nullptr) == 1;
}

// Latin-1 codes as UTF-8.
std::string Utf8Of(const std::string& latin1) {
    std::string out;
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out += (char)c;
        } else {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Draws `text` (Latin-1) with the font on its own path and checks that
// every glyph is drawn and that no two neighbours' shapes (alpha at the
// kerning threshold) meet or cross in any row: a blank column stays
// between them. Returns the failures, one a line.
std::string DrawnLettersOverlap(kd_font_t* f, const std::string& text) {
    quads.clear();
    std::string drawn = f->encoding == KD_FONT_UTF8 ? Utf8Of(text) : text;
    KD_DrawTextf(f, 0, 0, "%s", drawn.c_str());
    std::vector<int> codes;
    for (unsigned char c : text)
        if (f->glyphs[c].bitmap.width > 0) codes.push_back(c);
    if (quads.size() != codes.size())
        return "'" + text + "': " + std::to_string(quads.size()) + " of " + std::to_string(codes.size()) +
               " glyphs drawn\n";
    std::string out;
    for (size_t i = 1; i < codes.size(); i++) {
        const kd_bitmap_t& a = f->glyphs[codes[i - 1]].bitmap;
        const kd_bitmap_t& b = f->glyphs[codes[i]].bitmap;
        auto ink = [](const kd_bitmap_t& bm, int row, int col) {
            return row >= 0 && row < bm.height && bm.pixels[((size_t)row * bm.width + col) * 4 + 3] >= 192;
        };
        for (int y = (int)std::min(quads[i - 1].y, quads[i].y);
             y < (int)std::max(quads[i - 1].y + a.height, quads[i].y + b.height); y++) {
            int ra = y - (int)quads[i - 1].y, rb = y - (int)quads[i].y;
            int right = INT32_MIN, left = INT32_MAX;
            for (int x = 0; x < a.width; x++)
                if (ink(a, ra, x)) right = (int)quads[i - 1].x + x;
            for (int x = b.width - 1; x >= 0; x--)
                if (ink(b, rb, x)) left = (int)quads[i].x + x;
            if (right != INT32_MIN && left != INT32_MAX && left - right < 2) {
                out += std::string("'") + (char)codes[i - 1] + (char)codes[i] + "' meet\n";
                break;
            }
        }
    }
    return out;
}

}  // namespace

// "Trophies" once lost its r under the T: a shape wider than its advance
// plus the automatic kerning drew the next letter over it. Every pair of
// letters of every bundled font, drawn as the layout places them on the
// Latin-1 path (kerned) and on the UTF-8 path (advances only), keeps a
// blank column between the two shapes, and the text measures what it draws.
TEST_F(Text, BundledFontsKeepEveryLetterOnBothPaths) {
    for (const char* name : {"core/console.sft", "fonts/small.sft", "fonts/medium.sft"}) {
        kd_font_t f;
        ASSERT_TRUE(LoadBundledFont(&f, name)) << name;
        for (int i = 0; i < f.glyph_count; i++) f.glyphs[i].code = i;
        std::vector<int> letters;
        for (int c = 33; c < 256; c++)
            if (c != '|' && f.glyphs[c].bitmap.width > 0) letters.push_back(c);
        for (int encoding : {KD_FONT_LATIN1, KD_FONT_UTF8}) {
            f.encoding = encoding;
            std::string failures;
            for (int a : letters) {
                // a b1 a b2 ...: each pair both ways round.
                std::string text;
                for (int b : letters) text += std::string(1, (char)a) + (char)b;
                failures += DrawnLettersOverlap(&f, text);
            }
            EXPECT_EQ(failures.substr(0, 400), "") << name << (encoding == KD_FONT_UTF8 ? " UTF-8" : " Latin-1");
            // The services menu's button text, in a box that holds it and
            // in one that wraps it: every letter drawn, and measured as
            // drawn.
            for (int box : {0, 240}) {
                KD_SetTextboxWidth(box);
                EXPECT_EQ(DrawnLettersOverlap(&f, "Trophies"), "") << name;
                EXPECT_EQ(quads.size(), 8u);
                float drawn = KD_DrawTextf(&f, 0, 0, "Trophies");
                EXPECT_FLOAT_EQ(KD_GetTextWidthf(&f, "Trophies"), drawn) << name;
                EXPECT_FLOAT_EQ(KD_GetTextHeightf(&f, "Trophies"), KD_GetTextHeightf(&f, "T")) << name;
            }
            KD_SetTextboxWidth(0);
        }
        FreeFont(&f);
    }
}
