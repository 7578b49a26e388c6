// Screenshots under Xvfb: a script draws a bitmap and a line of text
// through the built-in script functions only, called from the program's
// draw through the Lua manager, and the window is read back. Scripts with
// wrong argument types must not stop the rest of the frame.
#include <gtest/gtest.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "fw-x-support.h"
#include "kodo.h"
#include "luaman.h"

namespace {

::testing::AssertionResult IsColour(const FwImage& img, int x, int y, int r, int g, int b) {
    int pr, pg, pb;
    img.At(x, y, &pr, &pg, &pb);
    if (pr == r && pg == g && pb == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << pr << ", " << pg << ", " << pb
                                         << "), expected (" << r << ", " << g << ", " << b << ")";
}

// Problems the bindings report go through the program's table; the test
// puts a recorder in that slot, so reports are seen whatever the engine's
// developer mode, verbosity or repeat suppression.
std::vector<std::string> popups;
void RecordPopup(int level, const char* format, ...) {
    char text[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format ? format : "", ap);
    va_end(ap);
    popups.push_back(std::to_string(level) + "|" + text);
}
bool Reported(const std::string& text) {
    for (const std::string& p : popups)
        if (p.find(text) != std::string::npos) return true;
    return false;
}
std::string AllReports() {
    std::string all;
    for (const std::string& p : popups) all += "  " + p + "\n";
    return all;
}

// The engine started on a window, the program's table wrapped with the
// recorder and the Lua manager's main state open.
class ScriptDraw : public ::testing::Test {
protected:
    void SetUp() override {
        engine.reset(new FwWindowEngine);
        ASSERT_TRUE(engine->started);
        engine_table = kd;
        wrapped = *kd;
        wrapped.Popupf = RecordPopup;
        kd = &wrapped;
        popups.clear();
        ASSERT_TRUE(lua_man.Initialize());
        ASSERT_TRUE(lua_man.GetMainState());
    }
    void TearDown() override {
        if (lua_man.GetMainState()) lua_man.Shutdown();
        if (engine_table) kd = engine_table;
        engine.reset();
    }
    // Runs `script` in the main state; it must compile and run.
    void Load(const char* script) {
        ASSERT_TRUE(lua_man.ExecLuaString(nullptr, script)) << AllReports();
        ASSERT_TRUE(lua_man.DoesLuaFunctionExist(lua_man.GetMainState(), "draw"));
    }
    // A frame whose drawing is the script's `draw`; its result is kept.
    FwImage ScriptFrame() {
        return engine->Frame([this] {
            kd->ClearScreen(0, 0, 0);
            draw_result = lua_man.CallLuaFunction(lua_man.GetMainState(), "draw");
        });
    }
    double Global(const char* name) {
        std::string getter = std::string("function get_value() return ") + name + " end";
        EXPECT_TRUE(lua_man.ExecLuaString(nullptr, getter.c_str()));
        return lua_man.CallLuaFunction(lua_man.GetMainState(), "get_value");
    }

    std::unique_ptr<FwWindowEngine> engine;
    kodo_t* engine_table = nullptr;
    kodo_t wrapped;
    double draw_result = -1;
};

// The test pattern, 8 x 8 drawn 4 times as large with its top-left corner
// at (200, 100): quadrants of 16 x 16 pixels, the yellow pixel 4 x 4.
void ExpectPatternAt200x100(const FwImage& img) {
    EXPECT_TRUE(IsColour(img, 200, 100, 255, 255, 0));  // yellow corner
    EXPECT_TRUE(IsColour(img, 203, 103, 255, 255, 0));
    EXPECT_TRUE(IsColour(img, 204, 100, 255, 0, 0));  // red
    EXPECT_TRUE(IsColour(img, 200, 104, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 215, 115, 255, 0, 0));
    EXPECT_TRUE(IsColour(img, 216, 100, 0, 255, 0));  // green
    EXPECT_TRUE(IsColour(img, 231, 115, 0, 255, 0));
    EXPECT_TRUE(IsColour(img, 200, 116, 0, 0, 255));  // blue
    EXPECT_TRUE(IsColour(img, 215, 131, 0, 0, 255));
    EXPECT_TRUE(IsColour(img, 216, 116, 255, 255, 255));  // white
    EXPECT_TRUE(IsColour(img, 231, 131, 255, 255, 255));
    // Nothing beyond the 32 x 32 square.
    EXPECT_TRUE(IsColour(img, 199, 100, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 200, 99, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 232, 131, 0, 0, 0));
    EXPECT_TRUE(IsColour(img, 231, 132, 0, 0, 0));
}

const char* kDrawScript = R"(
text_x, text_y = 320, 300
function draw()
    KD_SetPixelFilter("POINT")
    KD_SetBlend("NORMAL")
    KD_SetAlpha(1)
    KD_SetColor(1, 1, 1)
    KD_GetBitmap("res://images/test-pattern.png")
    KD_DrawBitmapS("res://images/test-pattern.png", 200, 100, 4)
    KD_GetFont("res://fonts/small.sft")
    KD_SetTextAlign("LEFT")
    KD_SetColor(1, 0, 1)
    drawn_width = KD_DrawText("res://fonts/small.sft", text_x, text_y, "Script Text 42")
    measured_width = KD_GetTextWidth("res://fonts/small.sft", "Script Text 42")
    measured_height = KD_GetTextHeight("res://fonts/small.sft", "Script Text 42")
    return 7
end
)";

TEST_F(ScriptDraw, BitmapAndTextLandWhereTheScriptPutThem) {
    ASSERT_NO_FATAL_FAILURE(Load(kDrawScript));
    FwImage img = ScriptFrame();
    ASSERT_EQ(img.w, 1024);
    EXPECT_EQ(draw_result, 7) << AllReports();
    EXPECT_TRUE(popups.empty()) << AllReports();

    ExpectPatternAt200x100(img);

    // The text box: the width the draw gave back and the measured height.
    int w = (int)Global("drawn_width");
    int h = (int)Global("measured_height");
    EXPECT_EQ(w, (int)Global("measured_width"));
    ASSERT_GT(w, 40);  // fourteen glyphs of a small font
    ASSERT_GT(h, 5);
    const int x0 = 320, y0 = 300;

    // Every lit pixel near the text lies inside the box and is magenta:
    // red and blue equal (the glyph's coverage), no green. Glyph edges
    // are blended, so the coverage varies, but the solid strokes are full.
    const int margin = 12;
    int lit = 0, full = 0, outside = 0, wrong_colour = 0;
    int min_x = 1 << 30, max_x = -1, min_y = 1 << 30, max_y = -1;
    for (int y = y0 - margin; y < y0 + h + margin; y++) {
        for (int x = x0 - margin; x < x0 + w + margin; x++) {
            int r, g, b;
            img.At(x, y, &r, &g, &b);
            if (r == 0 && g == 0 && b == 0) continue;
            lit++;
            if (r == 255 && b == 255) full++;
            if (g > 1 || abs(r - b) > 1) {
                if (wrong_colour++ < 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is (" << r << ", " << g << ", " << b
                                  << "), not the text colour";
            }
            if (x < x0 || x >= x0 + w || y < y0 || y >= y0 + h) {
                if (outside++ < 5) ADD_FAILURE() << "lit pixel (" << x << ", " << y << ") outside the text box";
            }
            if (x < min_x) min_x = x;
            if (x > max_x) max_x = x;
            if (y < min_y) min_y = y;
            if (y > max_y) max_y = y;
        }
    }
    EXPECT_EQ(wrong_colour, 0);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(lit, 60);
    EXPECT_GT(full, 20);
    // The glyphs fill the box: from its left edge to near its right edge.
    EXPECT_LE(min_x, x0 + 3);
    EXPECT_GE(max_x, x0 + w - 4);
    EXPECT_GE(max_y - min_y, h / 2);

    // The same script again with the text moved: the glyphs follow and the
    // old place stays dark (the frame really comes from the script).
    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "text_x, text_y = 500, 420"));
    FwImage moved = ScriptFrame();
    EXPECT_EQ(draw_result, 7);
    ExpectPatternAt200x100(moved);
    int old_lit = 0, new_lit = 0;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            int r, g, b;
            moved.At(x0 + x, y0 + y, &r, &g, &b);
            if (r || g || b) old_lit++;
            int nr, ng, nb;
            moved.At(500 + x, 420 + y, &nr, &ng, &nb);
            img.At(x0 + x, y0 + y, &r, &g, &b);
            // The same glyphs at the new place, pixel for pixel.
            if (nr == r && ng == g && nb == b && (r || b)) new_lit++;
        }
    }
    EXPECT_EQ(old_lit, 0);
    EXPECT_EQ(new_lit, lit);
}

const char* kBadArgumentsScript = R"(
function draw()
    KD_SetPixelFilter("POINT")
    KD_SetBlend("NORMAL")
    KD_SetAlpha(1)
    KD_SetColor(1, 1, 1)
    -- Wrong types everywhere: tables, flags and missing arguments.
    KD_DrawBitmapS({}, 10, 10, 4)
    KD_DrawBitmapS("res://images/test-pattern.png", "left", {}, true)
    KD_DrawBitmapRS(true, 1, 2, 3, 4)
    KD_DrawBitmap(nil, nil, nil)
    KD_DrawRect({}, "x", true)
    KD_DrawLine(print, {}, "y")
    local n = KD_DrawText({}, "x", {}, {})
    KD_DrawText("res://fonts/small.sft", 10, 10, {})
    KD_SetColor({}, "red")
    KD_SetColor(1, 1, 1)
    -- Then the real drawing, which must still happen.
    KD_DrawBitmapS("res://images/test-pattern.png", 200, 100, 4)
    return 5 + n
end
)";

TEST_F(ScriptDraw, WrongArgumentTypesAreReportedAndTheFrameStillDraws) {
    ASSERT_NO_FATAL_FAILURE(Load(kBadArgumentsScript));
    FwImage img = ScriptFrame();
    ASSERT_EQ(img.w, 1024);
    // The script ran to its end: no binding raised a Lua error, and the
    // failed text draw gave 0.
    EXPECT_EQ(draw_result, 5) << AllReports();
    EXPECT_FALSE(Reported("Unable to call")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_DrawBitmapS: argument 1 should be a text.")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_DrawBitmapS: argument 2 should be a number.")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_DrawBitmapS: argument 3 should be a number.")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_DrawRect: argument 1 should be a number.")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_DrawRect: argument 4 should be a number.")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_DrawLine: argument 2 should be a number.")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_DrawText: argument 1 should be a text.")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_DrawText: argument 4 should be a text.")) << AllReports();
    EXPECT_TRUE(Reported("1|Lua KD_SetColor: argument 1 should be a number.")) << AllReports();

    ExpectPatternAt200x100(img);
    // The bad draws put nothing where a wrong fallback would have: a
    // bitmap at 10, 10 or text there.
    for (int y = 0; y < 60; y++)
        for (int x = 0; x < 150; x++) {
            int r, g, b;
            img.At(x, y, &r, &g, &b);
            if (r || g || b) {
                ADD_FAILURE() << "stray pixel (" << x << ", " << y << ") is (" << r << ", " << g << ", " << b << ")";
                y = 60;
                break;
            }
        }
}

}  // namespace
