// Text box: properties by name, escapes, measuring with and without a wrap
// width, the anchor for each alignment, the scaled draw, the editor's
// resize drag, localization and the layout lines.
#include <math.h>

#include "localization.h"
#include "manager.h"
#include "ui/ui-textbox.h"
#include "widget-fixture.h"

namespace {
int& BoxWidth() {
    static int v;
    return v;
}
float& MouseX() {
    static float v;
    return v;
}
void SetBoxWidth(int w) {
    BoxWidth() = w;
    wf::Calls().push_back("BoxWidth " + std::to_string(w));
}
void SetAlign(int a) { wf::Calls().push_back("Align " + std::to_string(a)); }
float KeyF(int k) { return k == KD_KEY_POINTER_X ? MouseX() : 0; }
// 10 pixels a character, 20 a line; with a wrap width the text breaks
// into lines of at most that width.
void Size(kd_font_t* font, float* w, float* h, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::string t = wf::Format(format, ap);
    va_end(ap);
    float s = wf::TextScaleX();
    int lines = 1, longest = 0, run = 0;
    for (char c : t) {
        if (c == '\n') {
            lines++, run = 0;
            continue;
        }
        run++;
        if (BoxWidth() > 0 && run * 10 > BoxWidth()) lines++, run = 1;
        if (run > longest) longest = run;
    }
    *w = 10.0f * longest * s;
    *h = 20.0f * lines * s;
}

struct TextboxTest : WidgetFixture {
    wf::FakeFont font{"fonts/f.sft", false, {}};
    wf::FakeFont builtin{"!console", false, {}};
    void SetUp() override {
        WidgetFixture::SetUp();
        r.table.SetTextboxWidth = SetBoxWidth;
        r.table.SetTextAlign = SetAlign;
        r.table.GetTextSizef = Size;
        r.table.GetKeyStatef = KeyF;
        BoxWidth() = 0;
    }
    UICompTextbox* Make(const char* txt) {
        auto* c = new UICompTextbox();
        owned.emplace_back(c);
        c->position_type = UI_POS_ABSOLUTE;
        c->SetFont(&font.font);
        c->SetText("%s", txt);
        return c;
    }
    std::vector<std::unique_ptr<UICompTextbox>> owned;
};
}  // namespace

TEST_F(TextboxTest, PropertiesByNameAndRefusals) {
    UICompTextbox c;
    c.name = nStringDuplicate("title");
    EXPECT_FALSE(c.interactive);
    EXPECT_EQ(Get(&c, "textbox.text"), "");
    EXPECT_EQ(Get(&c, "textbox.font"), "");
    EXPECT_EQ(Set(&c, "'textbox.font', 'fonts/f.sft'"), 0);
    EXPECT_EQ(Get(&c, "textbox.font"), "fonts/f.sft");
    Set(&c, "'textbox.text', 'Hello'");
    EXPECT_EQ(Get(&c, "textbox.text"), "Hello");
    EXPECT_FLOAT_EQ(c.width, 50);
    EXPECT_FLOAT_EQ(c.height, 20);
    Set(&c, "'textbox.textbox_width', 120");
    EXPECT_EQ(c.box_width, 120);
    EXPECT_FLOAT_EQ(c.width, 120);
    Set(&c, "'textbox.textbox_align', 'HCENTER'");
    EXPECT_EQ(c.text_align, UI_ALIGN_HCENTER);
    Set(&c, "'textbox.text_align', 'BOTTOMRIGHT'");
    EXPECT_EQ(c.text_align, UI_ALIGN_BOTTOM | UI_ALIGN_RIGHT);
    Set(&c, "'textbox.textbox_width', 'wide'");  // not a number: 0
    EXPECT_EQ(c.box_width, 0);
    EXPECT_TRUE(rec().PopupContains("'textbox.textbox_width' of 'title' expects"));
    Set(&c, "'textbox.text', {}");
    EXPECT_STREQ(c.text, "Hello");
    Set(&c, "'textbox.text_align', false");
    EXPECT_EQ(c.text_align, UI_ALIGN_BOTTOM | UI_ALIGN_RIGHT);
    EXPECT_EQ(Set(&c, "'textbox.color', 1"), 0);  // reported by the kind itself, answered as handled
    EXPECT_TRUE(rec().PopupContains("UICompTextbox::SetProperty: Unknown Property 'textbox.color'"));
    EXPECT_EQ(Get(&c, "textbox.textbox_width"), "<none>");
    EXPECT_TRUE(rec().PopupContains("UICompTextbox::GetProperty: Unknown Property 'textbox.textbox_width'"));
}

TEST_F(TextboxTest, EscapesResolvedOnceAndTrailingBackslashKept) {
    UICompTextbox c;
    Set(&c, "'textbox.text', [[two\\nlines]]");
    EXPECT_STREQ(c.text, "two\nlines");
    Set(&c, "'textbox.text', [[a\\\\b\\tc\\qd\\]]");
    EXPECT_STREQ(c.text, "a\\b\tcqd\\");
    c.SetText(nullptr);
    EXPECT_STREQ(c.text, "a\\b\tcqd\\");
    c.SetText("%s", "");
    EXPECT_STREQ(c.text, "");
    std::string big(3000, 'x');
    c.SetText("%s", big.c_str());
    EXPECT_EQ(strlen(c.text), 2047u);
}

TEST_F(TextboxTest, ReMeasuringDoesNotResolveEscapesAgain) {
    UICompTextbox* c = Make("keep \\\\n literal");
    EXPECT_STREQ(c->text, "keep \\n literal");
    Set(c, "'textbox.textbox_width', 60");
    EXPECT_STREQ(c->text, "keep \\n literal");
    UICompTextbox d;
    d.InheritFrom(c);
    EXPECT_STREQ(d.text, "keep \\n literal");
    EXPECT_EQ(d.box_width, 60);
    EXPECT_EQ(d.font, &font.font);
    MouseX() = 200;
    c->EditUpdate(0);
    EXPECT_EQ(c->box_width, 200);
    EXPECT_STREQ(c->text, "keep \\n literal");
}

TEST_F(TextboxTest, MeasuredWidthOrBoxWidthAndWrapping) {
    UICompTextbox* c = Make("abcdefghij");
    EXPECT_FLOAT_EQ(c->width, 100);
    EXPECT_FLOAT_EQ(c->height, 20);
    Set(c, "'textbox.textbox_width', 40");
    EXPECT_FLOAT_EQ(c->width, 40);
    EXPECT_FLOAT_EQ(c->height, 60);  // three wrapped lines
    EXPECT_EQ(BoxWidth(), 0);        // the wrap width is not left set
    ui_screen.scale_ref = 2;
    c->UpdateDimensions();
    EXPECT_FLOAT_EQ(c->width, 80);
    EXPECT_FLOAT_EQ(c->height, 120);
    UICompTextbox none;
    none.UpdateDimensions();
    EXPECT_FLOAT_EQ(none.width, 32);
    EXPECT_FLOAT_EQ(none.height, 32);
    UICompTextbox* empty = Make("");
    EXPECT_FLOAT_EQ(empty->width, 32);
}

TEST_F(TextboxTest, AnchorFollowsTheAlignment) {
    UICompTextbox* c = Make("abcd");
    c->position = {100, 50, 0};
    Set(c, "'textbox.textbox_width', 80");
    struct Case {
        const char* align;
        const char* want;
    } cases[] = {{"", "Text 100 50 scale 1 'abcd'"},
                 {"HCENTER", "Text 140 50 scale 1 'abcd'"},
                 {"RIGHT", "Text 180 50 scale 1 'abcd'"},
                 {"VCENTER", "Text 100 60 scale 1 'abcd'"},
                 {"BOTTOMRIGHT", "Text 180 70 scale 1 'abcd'"},
                 {"CENTER", "Text 140 60 scale 1 'abcd'"}};
    for (const Case& k : cases) {
        Set(c, std::string("'textbox.text_align', '") + k.align + "'");
        wf::Calls().clear();
        c->Draw();
        auto t = wf::CallsStarting("Text ");
        ASSERT_EQ(t.size(), 1u) << k.align;
        EXPECT_EQ(t[0], k.want) << k.align;
        std::vector<std::string> order;
        for (auto& s : wf::Calls())
            if (s.compare(0, 5, "Align") == 0 || s.compare(0, 8, "BoxWidth") == 0) order.push_back(s);
        std::vector<std::string> want = {"Align " + std::to_string(c->text_align), "BoxWidth 80", "Align 0",
                                         "BoxWidth 0"};
        EXPECT_EQ(order, want) << k.align;
    }
}

TEST_F(TextboxTest, ScaledDrawWidensTheWrapAndScalesTheText) {
    UICompTextbox* c = Make("abcd");
    Set(c, "'textbox.textbox_width', 30");
    c->scale = 2;
    c->UpdateDimensions();
    wf::Calls().clear();
    c->Draw();
    EXPECT_EQ(wf::CallsStarting("Text ")[0], "Text 0 0 scale 2 'abcd'");
    EXPECT_EQ(wf::CallsStarting("BoxWidth ")[0], "BoxWidth 60");
    EXPECT_FLOAT_EQ(wf::TextScaleX(), 1);
    c->alpha = 0;
    wf::Calls().clear();
    c->Draw();
    EXPECT_TRUE(wf::Calls().empty());
}

TEST_F(TextboxTest, EditorDragSetsTheWrapWidth) {
    UICompTextbox* c = Make("abcdefghij");
    c->position = {100, 0, 0};
    c->scale = 2;
    c->UpdateDimensions();
    MouseX() = 300;
    c->EditUpdate(0);
    EXPECT_EQ(c->box_width, 50);  // 200 / 2 then / 2
    c->align = UI_ALIGN_HCENTER;
    c->EditUpdate(0);
    EXPECT_EQ(c->box_width, 100);
    MouseX() = 104;  // 4 doubled, over the dynamic scale 2: below 10
    c->EditUpdate(0);
    EXPECT_EQ(c->box_width, 0);  // below 10: no wrapping
    UICompTextbox nofont;
    nofont.SetText("x");
    MouseX() = 300;
    nofont.EditUpdate(0);
    EXPECT_EQ(nofont.box_width, 0);
}

TEST_F(TextboxTest, BuiltinFontIsNotMeasuredOnSetText) {
    UICompTextbox c;
    c.SetFont(&builtin.font);
    c.SetText("abc");
    EXPECT_FLOAT_EQ(c.width, 16);
    c.UpdateDimensions();
    EXPECT_FLOAT_EQ(c.width, 30);
}

TEST_F(TextboxTest, DynamicTextWarningOnlyAfterTheFileRan) {
    kd_parms_t* saved = Manager::GetParms();
    kd_parms_t parms;
    memset(&parms, 0, sizeof parms);
    parms.developer_mode = true;
    Manager::SetParms(&parms);
    UICompTextbox c;
    c.name = nStringDuplicate("score");
    c.SetFont(&font.font);
    c.localize = true;
    c.SetText("loading");
    EXPECT_FALSE(rec().PopupContains("Setting dynamic text"));
    c.is_loaded = true;
    c.SetText("%d points", 5);
    EXPECT_TRUE(rec().PopupContains("Setting dynamic text '5 points' for localizable component '/score'"));
    Manager::SetParms(saved);
}
