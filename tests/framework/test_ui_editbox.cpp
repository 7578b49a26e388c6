// Edit box: the character filter, typing against the limits, caret keys
// and backspace, upper-case mode, Enter, Latin-1 and UTF-8 texts, the text
// scrolled to its end, and the layout lines.
#include "ui/ui-editbox.h"
#include "widget-fixture.h"

namespace {
struct EditboxTest : WidgetFixture {
    wf::FakeBitmap panel{"e/panel.png", 100, 30}, caret{"e/caret.png", 2, 20};
    wf::FakeFont latin{"fonts/l.sft", false, {'#'}};
    wf::FakeFont utf8{"fonts/u.sft", true, {'a', 'b', 'A', 0xE4, 0xC4, 0x20AC, 0x1F600}};
    UICompEditbox box;
    void SetUp() override {
        WidgetFixture::SetUp();
        box.SetFont(&latin.font);
    }
    void Type(const char* s) {
        for (; *s; s++) box.ProcessChar((unsigned char)*s);
    }
};
}  // namespace

TEST_F(EditboxTest, FilterRefusesMarkupAndPunctuationAndAcceptsTheRest) {
    for (int c : std::initializer_list<int>{'<', '>', '|', '\\', '!', '?', '\t', '"', '/', '#'}) EXPECT_FALSE(box.IsValidChar(c)) << c;
    for (int c : std::initializer_list<int>{'a', 'Z', '7', '@', '_', '.', ' ', '-', '\'', ':', ';', ',', 0xE4}) EXPECT_TRUE(box.IsValidChar(c)) << c;
    EXPECT_TRUE(box.IsValidChar(-28));  // a sign-extended Latin-1 byte
    box.SetFont(nullptr);
    EXPECT_FALSE(box.IsValidChar('a'));
    EXPECT_EQ(box.ProcessChar('a'), 0);
}

TEST_F(EditboxTest, TypingStopsAtTheLimitAndAcceptsInTheMiddleAfterMovingLeft) {
    Type("abcdefgh");
    EXPECT_STREQ(box.text, "abcdefgh");
    EXPECT_EQ(box.ProcessChar('i'), 0);
    EXPECT_EQ(box.ProcessKey(37), 1);
    EXPECT_EQ(box.ProcessChar('X'), 1);
    EXPECT_STREQ(box.text, "abcdefgXh");
    EXPECT_EQ(box.cursor, 8);
}

TEST_F(EditboxTest, CaretKeysAndBackspaceStayInsideTheText) {
    EXPECT_EQ(box.ProcessKey(8), 1);  // backspace at 0
    EXPECT_STREQ(box.text, "");
    box.ProcessKey(37);
    EXPECT_EQ(box.cursor, 0);
    Type("abc");
    box.ProcessKey(39);
    EXPECT_EQ(box.cursor, 3);
    box.ProcessKey(37);
    box.ProcessKey(8);
    EXPECT_STREQ(box.text, "ac");
    EXPECT_EQ(box.cursor, 1);
    EXPECT_EQ(box.ProcessKey(65), 1);  // every key is taken
    box.phase = 0.9f;
    box.ProcessKey(39);
    EXPECT_FLOAT_EQ(box.phase, 0);
}

TEST_F(EditboxTest, CapsOnlyStoresUpperCaseIncludingLatin1Letters) {
    box.caps_only = true;
    box.ProcessChar('a');
    box.ProcessChar(-28);   // a with diaeresis
    box.ProcessChar(0xF6);  // o with diaeresis
    EXPECT_STREQ(box.text, "A\xC4\xD6");
}

TEST_F(EditboxTest, EnterMovesTheCaretToTheEndClicksOnceAndClosesTheKeyboard) {
    ui_widget_hooks.top_screen_set = [] { return (UISet*)nullptr; };
    Type("abc");
    box.ProcessKey(37);
    box.ProcessKey(37);
    EXPECT_EQ(box.ProcessChar(13), 1);
    EXPECT_EQ(box.cursor, 3);
    EXPECT_EQ(wf::Clicks().size(), 1u);
    // Sent without a parameter.
    EXPECT_EQ(wf::CallsStarting("Extension IPHONE_EndKeyboardInput"),
              std::vector<std::string>{"Extension IPHONE_EndKeyboardInput"});
    EXPECT_STREQ(box.text, "abc");
}

TEST_F(EditboxTest, TextNeverExceeds255BytesWhateverTheLimitSays) {
    box.max_chars = 100000;
    for (int i = 0; i < 300; i++) box.ProcessChar('x');
    EXPECT_EQ(box.Length(), 255);
    std::string long_text(400, 'y');
    box.SetText("%s", long_text.c_str());
    EXPECT_EQ(box.Length(), 255);
    EXPECT_EQ(box.cursor, 255);
    box.SetText("short");
    Set(&box, "'editbox.text', '" + long_text + "'");  // ignored: too long
    EXPECT_STREQ(box.text, "short");
    Set(&box, "'editbox.text', 'fine'");
    EXPECT_STREQ(box.text, "fine");
    EXPECT_EQ(box.cursor, 4);
}

TEST_F(EditboxTest, Utf8FontTakesCodePointsAndNeverSplitsACharacter) {
    box.SetFont(&utf8.font);
    box.max_chars = 4;
    EXPECT_EQ(box.ProcessChar('a'), 1);
    EXPECT_EQ(box.ProcessChar(0x20AC), 1);   // euro sign, three bytes
    EXPECT_EQ(box.ProcessChar(0x1F600), 1);  // four bytes
    EXPECT_EQ(box.ProcessChar('z'), 0);      // no glyph
    EXPECT_EQ(box.ProcessChar(0xD800), 0);   // not a character
    EXPECT_STREQ(box.text, "a\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(box.CharsBeforeCaret(), 3);
    box.ProcessKey(37);
    EXPECT_EQ(box.cursor, 4);
    box.ProcessKey(8);  // removes the whole euro sign
    EXPECT_STREQ(box.text, "a\xF0\x9F\x98\x80");
    EXPECT_EQ(box.cursor, 1);
    box.ProcessKey(39);
    EXPECT_EQ(box.cursor, 5);
    box.caps_only = true;
    EXPECT_EQ(box.ProcessChar(0xE4), 1);  // stored as upper-case A with diaeresis
    EXPECT_STREQ(box.text, "a\xF0\x9F\x98\x80\xC3\x84");
    EXPECT_EQ(box.ProcessChar('b'), 0);  // four characters before the caret
    // A cut at the byte limit keeps whole characters.
    std::string euros;
    for (int i = 0; i < 100; i++) euros += "\xE2\x82\xAC";
    box.SetText("%s", euros.c_str());
    EXPECT_EQ(box.Length(), 255);  // 85 whole characters
    box.SetText("a%s", euros.c_str());
    EXPECT_EQ(box.Length(), 253);
}

TEST_F(EditboxTest, LongTextShowsItsEndWithTheCaretAfterIt) {
    box.SetFont(&latin.font);
    Set(&box, "'editbox.bm_panel', 'e/panel.png'");
    Set(&box, "'editbox.bm_cursor', 'e/caret.png'");
    Set(&box, "'editbox.padding', 10");
    box.max_chars = 50;
    box.UpdateDimensions();
    Type("abcdefghijkl");  // 120 pixels in a room of 80
    ui_widget_hooks.has_focus = [](UIComp*) { return true; };
    wf::Calls().clear();
    box.Draw();
    auto t = wf::CallsStarting("Text ");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0], "Text 10 5 scale 1 'efghijkl'");
    auto rs = wf::CallsStarting("RS e/caret.png");
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0], "RS e/caret.png 90 15 1");
    box.phase = 0.7f;  // the blink's dark part
    wf::Calls().clear();
    box.Draw();
    EXPECT_TRUE(wf::CallsStarting("RS e/caret.png").empty());
}

TEST_F(EditboxTest, PaddingIsWrittenWholeAndBadValuesAreRefused) {
    UISet* a = Load(
        "CreateComp ('Editbox', 'name');\n"
        "SetProperty ('editbox.padding', 6.7);\n"
        "SetProperty ('editbox.max_chars', 12.9);\n");
    auto* ea = dynamic_cast<UICompEditbox*>(a->comps[0]);
    ASSERT_TRUE(ea);
    EXPECT_FLOAT_EQ(ea->padding, 6.7f);
    EXPECT_NE(Text(a).find("SetProperty (\"editbox.padding\", 6);"), std::string::npos);
    Set(ea, "'editbox.max_chars', 'many'");  // not a number: 0
    EXPECT_EQ(ea->max_chars, 0);
    EXPECT_EQ(Set(ea, "'editbox.colour', 1"), 0);  // reported by the kind itself, answered as handled
    EXPECT_TRUE(rec().PopupContains("UICompEditbox::SetProperty: Unknown Property 'editbox.colour'"));
}
