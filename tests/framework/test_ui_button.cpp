// Push button: sizing from bitmaps and text, the state cross-fades it
// draws for over and pressed, text escapes, properties and their layout
// lines read back equal.
#include <math.h>

#include "ui/ui-button.h"
#include "widget-fixture.h"

namespace {

struct ButtonTest : WidgetFixture {
    wf::FakeBitmap idle{"b/idle.png", 100, 40}, over{"b/over.png", 100, 40}, pressed{"b/pressed.png", 100, 40},
        disabled{"b/disabled.png", 100, 40}, icon{"b/icon.png", 20, 50}, none{"!NONE", 64, 64};
    wf::FakeFont font{"fonts/f.sft", false, {}};
};

}  // namespace

TEST_F(ButtonTest, RegisteredKindIsBuiltByCreate) {
    UIComp* c = UIComp::Create("Button", "ok", nullptr, "x");
    ASSERT_NE(dynamic_cast<UICompButton*>(c), nullptr);
    EXPECT_EQ(c->type, UI_BUTTON);
    delete c;
}

TEST_F(ButtonTest, SizeFromIdleBitmapIconOrText) {
    UICompButton b;
    EXPECT_EQ(Set(&b, "'button.bm_idle', 'b/idle.png'"), 0);
    EXPECT_FLOAT_EQ(b.width, 100);
    EXPECT_FLOAT_EQ(b.height, 40);
    Set(&b, "'button.bm_icon', 'b/icon.png'");
    EXPECT_FLOAT_EQ(b.height, 50);  // the icon makes it taller

    UICompButton t;
    Set(&t, "'button.font', 'fonts/f.sft'");
    Set(&t, "'button.text', 'Hello'");
    EXPECT_FLOAT_EQ(t.width, 50);  // 5 characters of 10 pixels
    EXPECT_FLOAT_EQ(t.height, 20);
    ui_screen.scale_ref = 2;
    t.UpdateDimensions();
    EXPECT_FLOAT_EQ(t.width, 100);

    UICompButton p;
    Set(&p, "'button.bm_idle', '!NONE'");
    EXPECT_FLOAT_EQ(p.width, 0);  // the engine's placeholder does not size it
}

TEST_F(ButtonTest, PointInsideAndOutsideFollowsItsSize) {
    UICompButton b;
    Set(&b, "'button.bm_idle', 'b/idle.png'");
    Set(&b, "'position', 0.5, 0.5");
    Set(&b, "'align', 'CENTER'");
    EXPECT_TRUE(b.IsPointOver({400, 600 / 2.0f}));
    EXPECT_TRUE(b.IsPointOver({449, 319}));
    EXPECT_FALSE(b.IsPointOver({451, 300}));
    EXPECT_FALSE(b.IsPointOver({400, 321}));
}

TEST_F(ButtonTest, DrawsIdleOverAndPressedAsTheCursorTimesSay) {
    UICompButton b;
    for (const char* s : {"idle", "over", "pressed", "disabled"})
        Set(&b, std::string("'button.bm_") + s + "', 'b/" + s + ".png'");
    b.inherit_scale = false;

    // Released and away: only the idle bitmap.
    wf::Calls().clear();
    b.Draw();
    EXPECT_EQ(wf::CallsStarting("RS ").size(), 1u);
    EXPECT_EQ(wf::CallsStarting("RS ")[0], "RS b/idle.png 50 20 1");

    // Pressed but the cursor left: no over or pressed bitmap.
    b.time_cursor_locked = 1;
    wf::Calls().clear();
    b.Draw();
    EXPECT_EQ(wf::CallsStarting("RS ").size(), 1u);

    // Pressed inside: idle, over, pressed, the last two at their fade alphas.
    b.time_cursor_over = 1;
    b.time_cursor_locked = 0.5f;
    wf::Calls().clear();
    b.Draw();
    auto rs = wf::CallsStarting("RS ");
    ASSERT_EQ(rs.size(), 3u);
    EXPECT_EQ(rs[1], "RS b/over.png 50 20 1");
    EXPECT_EQ(rs[2], "RS b/pressed.png 50 20 1");
    auto alphas = wf::CallsStarting("Alpha ");
    ASSERT_GE(alphas.size(), 3u);
    EXPECT_EQ(alphas[1], "Alpha 1");
    EXPECT_EQ(alphas[2], "Alpha 0.5");

    // Disabled: the disabled bitmap.
    b.time_cursor_over = b.time_cursor_locked = 0;
    b.active = false;
    wf::Calls().clear();
    b.Draw();
    ASSERT_EQ(wf::CallsStarting("RS ").size(), 1u);
    EXPECT_EQ(wf::CallsStarting("RS ")[0], "RS b/disabled.png 50 20 1");
}

TEST_F(ButtonTest, StateValuesBlendTowardsOverThenPressed) {
    UICompButton b;
    b.scale_idle = 1, b.scale_over = 2, b.scale_pressed = 4, b.scale_disabled = 0.5f;
    b.text_color_over = {0, 0, 0, 1};
    EXPECT_FLOAT_EQ(b.BlendedState().scale, 1);
    b.time_cursor_over = 0.5f;
    EXPECT_FLOAT_EQ(b.BlendedState().scale, 1.5f);
    EXPECT_FLOAT_EQ(b.BlendedState().text_color.r, 0.5f);
    b.time_cursor_over = 1, b.time_cursor_locked = 1;
    EXPECT_FLOAT_EQ(b.BlendedState().scale, 4);
    b.time_cursor_over = 0;  // pressed counts only while over
    EXPECT_FLOAT_EQ(b.BlendedState().scale, 1);
    b.active = false;
    EXPECT_FLOAT_EQ(b.BlendedState().scale, 0.5f);
}

TEST_F(ButtonTest, WideTextIsScaledDownToTheAllowedWidth) {
    UICompButton b;
    Set(&b, "'button.bm_idle', 'b/idle.png'");  // 100 pixels wide
    Set(&b, "'button.font', 'fonts/f.sft'");
    b.inherit_scale = false;
    Set(&b, "'button.text', 'ABCDEFGHIJKL'");  // 120 pixels
    wf::Calls().clear();
    b.Draw();
    auto t = wf::CallsStarting("Text ");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_NE(t[0].find("scale 0.791667"), std::string::npos) << t[0];  // 95 / 120

    Set(&b, "'button.text', 'ABC'");
    wf::Calls().clear();
    b.Draw();
    EXPECT_NE(wf::CallsStarting("Text ")[0].find("scale 1 'ABC'"), std::string::npos);
}

TEST_F(ButtonTest, DynamicTextScaleFromTextBoxWidthAndLimits) {
    UICompButton b;
    Set(&b, "'button.font', 'fonts/f.sft'");
    Set(&b, "'button.textbox_size', 1.5, 10");
    Set(&b, "'button.dynamic_text_scale_limits', 0.5, 1.5");
    Set(&b, "'button.text', '0123456789'");  // 100 pixels
    EXPECT_FLOAT_EQ(b.dynamic_text_scale, 1);
    Set(&b, "'button.textbox_size', 200, 10");
    b.UpdateDimensions();
    EXPECT_FLOAT_EQ(b.dynamic_text_scale, 1.5f);
    Set(&b, "'button.dynamic_text_scale_limits', 1, 1");
    b.UpdateDimensions();
    EXPECT_FLOAT_EQ(b.dynamic_text_scale, 1);
}

TEST_F(ButtonTest, TextEscapesAreResolved) {
    UICompButton b;
    Set(&b, "'button.text', 'a\\\\nb'");
    EXPECT_STREQ(b.text, "a\nb");
    Set(&b, "'button.text', '\\\\q\\\\t\\\\\\\\'");
    EXPECT_STREQ(b.text, "q\t\\");
    Set(&b, "'button.text', 'end\\\\'");
    EXPECT_STREQ(b.text, "end\\");
    Set(&b, "'button.text', ''");
    EXPECT_STREQ(b.text, "");
    b.SetText(nullptr);
    EXPECT_STREQ(b.text, "");
}

TEST_F(ButtonTest, BadValuesAreRefusedAndUnknownNamesReported) {
    UICompButton b;
    b.name = nStringDuplicate("ok");
    EXPECT_EQ(Set(&b, "'button.scale_idle', 'big'"), 0);  // not a number: 0
    EXPECT_FLOAT_EQ(b.scale_idle, 0);
    EXPECT_TRUE(rec().PopupContains("'button.scale_idle' of 'ok' expects a number"));
    EXPECT_EQ(Set(&b, "'button.text_color_idle', 1, 0, 0"), 0);  // alpha missing: 0
    EXPECT_FLOAT_EQ(b.text_color_idle.g, 0);
    EXPECT_FLOAT_EQ(b.text_color_idle.a, 0);
    EXPECT_EQ(Set(&b, "'button.text_offset', 1/0, 2"), 0);  // not finite
    EXPECT_FLOAT_EQ(b.text_offset.x, 0);
    EXPECT_EQ(Set(&b, "'button.colour', 1"), 0);  // reported by the kind itself, answered as handled
    EXPECT_TRUE(rec().PopupContains("UICompButton::SetProperty: Unknown Property 'button.colour'"));
    EXPECT_EQ(Get(&b, "button.nothing"), "<none>");
    EXPECT_TRUE(rec().PopupContains("UICompButton::GetProperty: Unknown Property 'button.nothing'"));
    EXPECT_EQ(Get(&b, "button.bm_idle"), "");
    EXPECT_EQ(Get(&b, "alpha"), "1");  // the base's names still answer
}

TEST_F(ButtonTest, OnlyWhatDiffersFromTheTemplateIsWritten) {
    UISet* templates = Load(
        "CreateComp ('Button', 'DefaultButton');\n"
        "SetProperty ('button.bm_idle', 'b/idle.png');\n"
        "SetProperty ('button.text', 'OK');\n",
        "ui/templates.lua");
    ui_template_set = templates;
    UISet* a = Load(
        "CreateComp ('Button', 'ok');\n"
        "CreateComp ('Button', 'cancel');\n"
        "SetProperty ('button.text', 'Cancel');\n");
    auto* ok = dynamic_cast<UICompButton*>(a->comps[0]);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->bm_idle, &idle.bm);  // inherited
    EXPECT_STREQ(ok->text, "OK");
    std::string written = Text(a);
    EXPECT_EQ(written.find("button.bm_idle"), std::string::npos);
    EXPECT_EQ(written.find("\"OK\""), std::string::npos);
    EXPECT_NE(written.find("SetProperty (\"button.text\", \"Cancel\");"), std::string::npos);

    UIComp* copy = ok->Clone("ok2");
    auto* c2 = dynamic_cast<UICompButton*>(copy);
    ASSERT_TRUE(c2);
    EXPECT_STREQ(c2->name, "ok2");
    EXPECT_STREQ(c2->text, "OK");
    EXPECT_EQ(c2->template_comp, ok->template_comp);
    delete copy;
    ui_template_set = nullptr;
}
