// List box: lines and their texts, keys that keep the selection in view,
// eased scrolling that springs back to the ends without overshooting,
// touch drags with the flick, the pointer selecting the line under it,
// drawing (clip, selection, right texts, long texts fitted, the last
// line), the cache passes, and the script functions.
#include <string.h>

#include "lua-args.h"
#include "ui/screen-manager.h"
#include "ui/ui-listbox.h"
#include "widget-fixture.h"

namespace {

int key_held = 0;
int KeyState(int key) { return key == KD_KEY_MOUSE_BUTTON_0 ? key_held : 0; }
bool Scissor(int x, int y, int w, int h) {
    wf::Calls().push_back("Scissor " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " +
                          std::to_string(h));
    return true;
}
void Rect(float x, float y, float w, float h) {
    wf::Calls().push_back("Rect " + wf::F(x) + " " + wf::F(y) + " " + wf::F(w) + " " + wf::F(h));
}
void Align(int a) { wf::Calls().push_back("Align " + std::to_string(a)); }
kd_bitmap_t* BitmapEx(const char* name, int mode) {
    wf::Calls().push_back(std::string("GetBitmapEx ") + name + " " + std::to_string(mode));
    return wf::Find(name);
}
UIComp* locked = nullptr;

struct ListboxTest : WidgetFixture {
    // A 200 x 130 frame with paddings of 10 and lines of 20 pixels shows
    // five whole lines.
    wf::FakeBitmap frame{"l/frame.png", 200, 130}, top{"l/top.png", 200, 130}, sel{"l/sel.png", 181, 21},
        icon{"l/icon.png", 40, 36}, big{"l/big.png", 90, 90};
    wf::FakeFont font{"l/font.sft", false, {}, 20};
    UICursor pressed, released;
    void SetUp() override {
        WidgetFixture::SetUp();
        r.table.GetKeyStatei = KeyState;
        r.table.SetScissorRect = Scissor;
        r.table.DrawRect = Rect;
        r.table.SetTextAlign = Align;
        r.table.GetBitmapEx = BitmapEx;
        key_held = 1;
        locked = nullptr;
        ui_widget_hooks.is_locked = [](UIComp* c) { return c == locked; };
        pressed.pressed = true;
    }
    void Make(UICompListbox& b, int n, bool with_frame = true) {
        if (with_frame) Set(&b, "'listbox.bm_frame', 'l/frame.png'");
        Set(&b, "'listbox.font', 'l/font.sft'");
        for (const char* p : {"left", "right", "top", "bottom"})
            Set(&b, std::string("'listbox.padding_") + p + "', 10");
        Set(&b, "'position', 0, 0");
        for (int i = 0; i < n; i++) b.AddLine(nullptr, "line %d", i);
    }
    static void Settle(UICompListbox& b, float* highest = nullptr, float* lowest = nullptr) {
        for (int i = 0; i < 400; i++) {
            b.Update(0.02f);
            if (highest && b.scroll_position > *highest) *highest = b.scroll_position;
            if (lowest && b.scroll_position < *lowest) *lowest = b.scroll_position;
        }
    }
    static kd_event_t Event(int type, int x, int y) {
        kd_event_t e;
        memset(&e, 0, sizeof e);
        e.type = type;
        e.x = x;
        e.y = y;
        return e;
    }
};

}  // namespace

TEST_F(ListboxTest, LinesTheirTextsAndTheBitmapColumn) {
    UICompListbox b;
    Make(b, 0);
    EXPECT_EQ(b.line_height, 20);  // grown to the font's
    EXPECT_EQ(b.AddLine(nullptr, "%s", "50% off"), 0);
    // Drawn at the line height less 2: 18 of 36 rows, so half its width.
    EXPECT_EQ(b.AddLine(&icon.bm, "Icon %d", 2), 1);
    EXPECT_EQ(b.bitmap_column_width, 22);
    b.SetLineBitmap(0, &big.bm);  // set later: the column stays
    EXPECT_EQ(b.bitmap_column_width, 22);
    EXPECT_EQ(b.AddLine(), 2);
    EXPECT_EQ(b.GetLine(2)->text, nullptr);
    EXPECT_EQ(b.SetLineId(2, nullptr), 1);
    EXPECT_STREQ(b.GetLine(2)->id, "");
    EXPECT_EQ(b.SetLineId(3, "x"), 0);
    EXPECT_EQ(b.SetLineText(-1, "x"), 0);
    b.SetLineTextRight(0, "%d pts", 7);
    b.SetLineTextRight(9, "ignored");

    EXPECT_EQ(Get(&b, "listbox.line[0].text"), "50% off");
    EXPECT_EQ(Get(&b, "listbox.line[0].text_right"), "7 pts");
    EXPECT_EQ(Get(&b, "listbox.line[1]"), "Icon 2");
    EXPECT_EQ(Get(&b, "listbox.line[2].id"), "");
    EXPECT_EQ(Get(&b, "listbox.line[7].text"), "");  // of 3 lines
    EXPECT_EQ(Get(&b, "listbox.selected"), "0");

    std::string huge(5000, 'w');
    b.AddLine(nullptr, "%s", huge.c_str());
    EXPECT_EQ(strlen(b.GetLine(3)->text), 4095u);

    b.selected = 2;
    b.scroll_position = 1.5f;
    b.ClearLines();
    EXPECT_EQ(b.GetNumberOfLines(), 0);
    EXPECT_EQ(b.GetLine(0), nullptr);
    EXPECT_EQ(b.selected, 2);
    EXPECT_FLOAT_EQ(b.scroll_position, 1.5f);
}

// All boxes together hold at most 1 MB: a second box is refused what the
// first took, until the first is cleared.
TEST_F(ListboxTest, AllBoxesShareOneBoundInBytes) {
    const std::string line(4000, 'x');
    UICompListbox a, b;
    while (a.AddLine(nullptr, "%s", line.c_str()) >= 0) {
    }
    EXPECT_GT(a.GetNumberOfLines(), 200);
    EXPECT_EQ(b.AddLine(nullptr, "%s", line.c_str()), -1);
    a.ClearLines();
    EXPECT_EQ(b.AddLine(nullptr, "%s", line.c_str()), 0);
    b.ClearLines();
    EXPECT_EQ(UICompListbox::HeldBytes(), 0u);
}

TEST_F(ListboxTest, KeysMoveTheSelectionAndKeepItInView) {
    UICompListbox empty;
    Make(empty, 0);
    EXPECT_EQ(empty.ProcessKey(38), 1);
    EXPECT_EQ(empty.selected, -1);
    EXPECT_EQ(empty.ProcessKey(65), 0);

    UICompListbox b;
    Make(b, 20);
    int V = b.VisibleLines(b.content_height);
    ASSERT_EQ(V, 5);
    // Key repeats faster than the list scrolls: the selection stays
    // within the lines the list is heading for.
    for (int i = 1; i <= 12; i++) {
        EXPECT_EQ(b.ProcessCursorMove(&released, 40, 0.f), 1);
        float target = b.scroll_position + b.pending_scroll;
        EXPECT_EQ(b.selected, i);
        EXPECT_GE(b.selected, target - 0.001f);
        EXPECT_LE(b.selected, target + V - 1);
    }
    b.ProcessKey(35);
    EXPECT_EQ(b.selected, 19);
    b.ProcessKey(34);
    EXPECT_EQ(b.selected, 19);  // held at the end
    Settle(b);
    EXPECT_GE(b.selected, b.scroll_position);
    b.ProcessKey(36);
    EXPECT_EQ(b.selected, 0);
    b.ProcessKey(34);
    EXPECT_EQ(b.selected, 2);  // half a page
    Settle(b);
    EXPECT_FLOAT_EQ(b.scroll_position, 0);
}

TEST_F(ListboxTest, ScrollingEasesAndSpringsBackWithoutOvershoot) {
    // Without a frame bitmap nothing ever scrolls.
    UICompListbox bare;
    Make(bare, 20, false);
    EXPECT_EQ(bare.ProcessMouseWheel(240), 1);
    EXPECT_FLOAT_EQ(bare.pending_scroll, 2);
    bare.ScrollListbox(true);
    Settle(bare);
    EXPECT_FLOAT_EQ(bare.pending_scroll, 2);
    EXPECT_FLOAT_EQ(bare.scroll_position, 0);

    UICompListbox b;
    Make(b, 20);
    b.ScrollListbox(true);  // half of five lines
    EXPECT_FLOAT_EQ(b.pending_scroll, 2);
    b.Update(0.02f);
    EXPECT_GT(b.scroll_position, 0);
    EXPECT_LT(b.scroll_position, 2);
    Settle(b);
    EXPECT_FLOAT_EQ(b.scroll_position, 2);
    EXPECT_FLOAT_EQ(b.pending_scroll, 0);
    b.ScrollListbox(false);
    Settle(b);
    EXPECT_FLOAT_EQ(b.scroll_position, 0);

    // Pulled above the top, it comes back to 0 and stops there.
    float highest = -100, lowest = 100;
    b.scroll_position = -3;
    Settle(b, &highest);
    EXPECT_EQ(b.scroll_position, 0);
    EXPECT_LE(highest, 0);
    // Past the end (20 lines, five shown) it comes back to line 16.
    b.scroll_position = 19;
    Settle(b, nullptr, &lowest);
    EXPECT_EQ(b.scroll_position, 16);
    EXPECT_GE(lowest, 16);
    // A far target is held within a line height's worth of lines.
    b.scroll_position = 0;
    b.pending_scroll = 100;
    b.Update(0);
    EXPECT_FLOAT_EQ(b.pending_scroll, 20);
}

TEST_F(ListboxTest, TouchDragsScrollAndTheFlickMultiplies) {
    UICompListbox b;
    Make(b, 20);
    // A press on the box starts the gesture before the cursor is locked.
    kd_event_t down = Event(KD_EVENT_BUTTON_DOWN, 50, 60);
    b.previous_point = vec2_t{0, 500};  // left by an earlier gesture
    EXPECT_EQ(b.ProcessEvent(&down), 1);
    locked = &b;
    kd_event_t move = Event(KD_EVENT_POINTER_MOVE, 50, 63);
    EXPECT_EQ(b.ProcessEvent(&move), 0);  // 3 units: no drag, not consumed
    EXPECT_FALSE(b.dragging);
    move.y = 64;
    EXPECT_EQ(b.ProcessEvent(&move), 1);
    EXPECT_TRUE(b.dragging);
    EXPECT_FLOAT_EQ(b.pending_scroll, 0);
    move.y = 44;  // a line's height up: the list follows the finger
    b.ProcessEvent(&move);
    EXPECT_FLOAT_EQ(b.pending_scroll, 1);
    b.ProcessEvent(&move);  // the same point again (as the focus): nothing more
    EXPECT_FLOAT_EQ(b.pending_scroll, 1);
    kd_event_t up = Event(KD_EVENT_BUTTON_UP, 50, 44);
    EXPECT_EQ(b.ProcessEvent(&up), 1);
    EXPECT_FALSE(b.dragging);
    EXPECT_FLOAT_EQ(b.pending_scroll, 4);

    // Moves without the button held, or without a lock, do not drag.
    key_held = 0;
    EXPECT_EQ(b.ProcessEvent(&move), 0);
    key_held = 1;
    locked = nullptr;
    b.dragging = true;
    EXPECT_EQ(b.ProcessEvent(&move), 1);
    EXPECT_FALSE(b.dragging);
    kd_event_t outside = Event(KD_EVENT_BUTTON_DOWN, 500, 60);
    EXPECT_EQ(b.ProcessEvent(&outside), 1);
    EXPECT_FLOAT_EQ(b.previous_point.y, 44);  // not this press's
}

TEST_F(ListboxTest, APressedPointerSelectsTheLineUnderIt) {
    UICompListbox b;
    Make(b, 20);
    b.scroll_position = 2.5f;  // line 2 half out: its band starts at 0
    EXPECT_EQ(b.ProcessCursorMove(&pressed, vec2_t{5, 25}, 0.f), 1);
    EXPECT_EQ(b.selected, 3);
    EXPECT_EQ(b.ProcessCursorMove(&released, vec2_t{5, 5}, 0.f), 1);
    EXPECT_EQ(b.selected, 3);
    b.dragging = true;
    b.ProcessCursorMove(&pressed, vec2_t{5, 5}, 0.f);
    EXPECT_EQ(b.selected, 3);
    b.dragging = false;
    b.ProcessCursorMove(&pressed, vec2_t{5, 5}, 0.f);
    EXPECT_EQ(b.selected, 2);
}

TEST_F(ListboxTest, DrawClipsToTheTextAreaAndStopsAtTheBottom) {
    UICompListbox b;
    Make(b, 20);
    Set(&b, "'listbox.bm_frame_top', 'l/top.png'");
    Set(&b, "'listbox.bm_selection', 'l/sel.png'");
    b.SetLineTextRight(1, "right");
    b.selected = 1;
    wf::Calls().clear();
    b.Draw();
    std::vector<std::string> want = {
        "RS l/frame.png 100 65 1",
        "Scissor -10 10 220 110",
        "Align 0",
        "Text 10 10 scale 1 'line 0'",
        // The selection's odd sizes land on whole pixels.
        "RS l/sel.png 91 40.5 1",
        "Text 10 30 scale 1 'line 1'",
        "Align 1",
        "Text 190 30 scale 1 'right'",
        "Align 0",
        "Text 10 50 scale 1 'line 2'",
        "Text 10 70 scale 1 'line 3'",
        "Text 10 90 scale 1 'line 4'",
        "Text 10 110 scale 1 'line 5'",  // partly shown, clipped
        "Scissor 0 0 800 600",
        "RS l/top.png 100 65 1",
    };
    std::vector<std::string> drawn;
    for (const std::string& c : wf::Calls())
        if (c.rfind("RS", 0) == 0 || c.rfind("Text", 0) == 0 || c.rfind("Scissor", 0) == 0 || c.rfind("Align", 0) == 0)
            drawn.push_back(c);
    EXPECT_EQ(drawn, want);

    // A long name ends before its line's right text and a long line inside
    // the frame (180 pixels of text): narrower, then cut.
    UICompListbox names;
    Make(names, 0);
    names.AddLine(nullptr, "Alexandra Montgomery");
    names.SetLineTextRight(0, "playing");
    names.AddLine(nullptr, "WWWWWWWWWWWWWWWWWWWW");
    names.AddLine(nullptr, "WWWWWWWWWWWWWWWWWWWWWWW");
    wf::Calls().clear();
    names.Draw();
    EXPECT_EQ(wf::CallsStarting("Text"),
              (std::vector<std::string>{"Text 10 10 scale 0.85 'Alexandr...'", "Text 190 10 scale 1 'playing'",
                                        "Text 10 30 scale 0.9 'WWWWWWWWWWWWWWWWWWWW'",
                                        "Text 10 50 scale 0.85 'WWWWWWWWWWWWWWWWWW...'"}));

    // Without a selection bitmap a bar in the box's colour marks it.
    UICompListbox plain;
    Make(plain, 3);
    wf::Calls().clear();
    plain.Draw();
    EXPECT_EQ(wf::CallsStarting("Rect"), std::vector<std::string>{"Rect 0 10 220 20"});
}

TEST_F(ListboxTest, EnteringTakesAllThreeBitmapsAndLeavingGivesThemBack) {
    UICompListbox b;
    Make(b, 0);
    Set(&b, "'listbox.bm_frame_top', 'l/top.png'");
    Set(&b, "'listbox.bm_selection', 'l/sel.png'");
    wf::Calls().clear();
    b.ApplyCacheMode(2);
    EXPECT_EQ(wf::CallsStarting("LoadBitmap").size(), 3u);
    b.ApplyCacheMode(3);
    EXPECT_EQ(wf::CallsStarting("ReleaseBitmap").size(), 3u);
    // A frame named '!' is not written: the content size stands for it.
    wf::FakeBitmap none{"!NONE", 0, 0};
    Set(&b, "'listbox.bm_frame', '!NONE'");
    Set(&b, "'listbox.content_size', 300, 90");
    nString out("");
    b.ExportLua(out);
    EXPECT_NE(strstr(out.c_str(), "SetProperty (\"listbox.content_size\", 300, 90);"), nullptr) << out.c_str();
    EXPECT_EQ(strstr(out.c_str(), "bm_frame\""), nullptr);
}

TEST_F(ListboxTest, ScriptFunctionsFillTheNamedListOfTheirSet) {
    static bool registered = (ScreenMan::RegisterLuaFunctions(), true);
    ASSERT_TRUE(registered);
    UISet* set = Load("CreateComp ('Listbox', 'list');\nCreateComp ('Button', 'list2');\n");
    UICompListbox* b = dynamic_cast<UICompListbox*>(set->GetComp("list"));
    ASSERT_TRUE(b);
    Set(b, "'listbox.bm_frame', 'l/frame.png'");
    rec().Clear();
    std::string code =
        "AddListboxLine('list', 'Ann 100%')\n"
        "AddListboxLine('list', '%s%d%n')\n"
        "SetListboxLineTextRight('list', '5%')\n"
        "SetListboxLineBitmap('list', 'l/icon.png')\n"
        "AddListboxLine('list2', 'not a list')\n"
        "AddListboxLine('nowhere', 'x')\n"
        "ScrollListboxDown('list')\n";
    ASSERT_EQ(luaL_dostring(set->L, code.c_str()), 0) << lua_tostring(set->L, -1);
    ASSERT_EQ(b->GetNumberOfLines(), 2);
    EXPECT_STREQ(b->GetLine(0)->text, "Ann 100%");
    EXPECT_STREQ(b->GetLine(1)->text, "%s%d%n");
    EXPECT_STREQ(b->GetLine(1)->text_right, "5%");
    EXPECT_EQ(b->GetLine(1)->bitmap, &icon.bm);
    EXPECT_EQ(wf::CallsStarting("GetBitmapEx"), std::vector<std::string>{"GetBitmapEx l/icon.png 4"});
    EXPECT_FLOAT_EQ(b->pending_scroll, 4);  // half of nine lines
    EXPECT_TRUE(rec().popups.empty());
    ASSERT_EQ(luaL_dostring(set->L, "ScrollListboxUp('list') ClearListbox('list')"), 0);
    EXPECT_EQ(b->GetNumberOfLines(), 0);
    EXPECT_FLOAT_EQ(b->pending_scroll, 0);
    // A state without a UI set reaches no list.
    lua_State* L = lua_man.OpenLuaState(0);
    ASSERT_EQ(luaL_dostring(L, "AddListboxLine('list', 'x')"), 0);
    lua_man.CloseLuaState(L);
    EXPECT_EQ(b->GetNumberOfLines(), 0);
}
