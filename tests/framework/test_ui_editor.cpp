// The UI editor's commands on a screen of the test's own: the menu needs a
// selection, Tab stops at both ends, 'F' re-centres and browses, an arrow
// is one virtual pixel, re-parenting keeps the place for every position
// type, DELETE leaves the children where they were and nothing pointing
// at the component, 'N' refuses an empty or taken name, 'L' finds what
// pointed into the old set again by name (and nothing of another set), 'P' refuses loops, a browsed
// path under "data-hd" names the file after it, and a name with quotes
// and a backslash survives writing and reading the layout; add, clone and
// rename keep CreateComp's bounds; a drag moves only the top set's components;
// the tools' window asked for and taken back in one frame leaves no later
// re-initialisation taken for the tools'.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "fw-support.h"
#include "luaman.h"
#include "recording-kd.h"
#include "ui/screen-editor.h"
#include "ui/screen-manager.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"
#include "widget-fakes.h"

namespace {

// The platform's prompts: each asked command is recorded and answered
// with the next queued reply (null: cancelled).
std::deque<const char*> replies;
const char* Answer(const char* command, const char*) {
    rec().calls.push_back(command ? command : "");
    if (replies.empty()) return nullptr;
    const char* r = replies.front();
    replies.pop_front();
    return r;
}

struct EditScreen : Screen {
    explicit EditScreen(const char* n) : Screen(n) {}
    ~EditScreen() override {
        if (!uiset) return;
        UILayoutDeleteComps(uiset);
        delete uiset;
    }
};

const char* kLayout =
    "CreateComp ('Rectangle', 'box');\n"
    "SetProperty ('position', 0.25, 0.25);\n"
    "SetProperty ('rectangle.rect_width', 200);\n"
    "SetProperty ('rectangle.rect_height', 100);\n"
    "CreateComp ('Button', 'child');\n"
    "SetProperty ('parent', 'box');\n"
    "SetProperty ('position', 0.5, 0.5);\n"
    "CreateComp ('Rectangle', 'free');\n"
    "SetProperty ('position', 0.75, 0.5);\n";

struct Editor : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    std::unique_ptr<EditScreen> screen;
    UISet* set = nullptr;

    void SetUp() override {
        ASSERT_TRUE(e.started);
        wf::InstallFakes(r.table);
        r.table.CallExtension = Answer;
        r.Install();
        replies.clear();
        wf::StartScreens();
        sman.edit_selection = sman.isolated_comp = nullptr;
        screen.reset(new EditScreen("Edited"));
        WriteNative(e.UserPath("edited.lua"), kLayout);
        ASSERT_TRUE(screen->LoadUI("user://edited.lua"));
        set = screen->uiset;
        Screen::PreLoadScreen(screen.get(), false);
        sman.PushScreen(screen.get());
        for (int i = 0; i < set->comps.count; i++) set->comps[i]->UpdateDimensions();
    }
    void TearDown() override {
        ui_edit_menu.SetVisible(false);
        ui_edit_menu.Reset();
        sman.edit_selection = sman.isolated_comp = nullptr;
        sman.Shutdown();
        screen.reset();
        sman.UnlockCursors();
        ui_widget_hooks = UIWidgetHooks();
        lua_man.Shutdown();
    }
    UIComp* Comp(const char* n) { return set->GetComp(n); }
    int Key(int key) {
        kd_event_t ev{};
        ev.type = KD_EVENT_KEY_DOWN;
        ev.id = key;
        return sman.ProcessEditModeEvent(&ev);
    }
    void RightClick() {
        kd_event_t ev{};
        ev.type = KD_EVENT_BUTTON_DOWN;
        ev.button = 511;
        ev.x = 100;
        ev.y = 100;
        sman.ProcessEditModeEvent(&ev);
    }
    static void ExpectSamePlace(vec2_t a, vec2_t b) {
        EXPECT_NEAR(a.x, b.x, 1e-3);
        EXPECT_NEAR(a.y, b.y, 1e-3);
    }
};

}  // namespace

TEST_F(Editor, TheMenuNeedsASelectionAndTabStopsAtBothEnds) {
    RightClick();
    EXPECT_FALSE(ui_edit_menu.visible);
    // Tab without a selection takes the first component, and no more; at
    // the last it stays, and SHIFT+Tab stays at the first.
    Key(9);
    EXPECT_EQ(sman.edit_selection, Comp("box"));
    Key(9);
    EXPECT_EQ(sman.edit_selection, Comp("child"));
    Key(9);
    EXPECT_EQ(sman.edit_selection, Comp("free"));
    Key(9);
    EXPECT_EQ(sman.edit_selection, Comp("free"));
    kd->SetKeyStatei(16, 3);
    Key(9);
    Key(9);
    Key(9);
    kd->SetKeyStatei(16, 0);
    EXPECT_EQ(sman.edit_selection, Comp("box"));
    EXPECT_EQ(sman.cursor[0].focus, Comp("box"));

    RightClick();
    ASSERT_TRUE(ui_edit_menu.visible);
    EXPECT_EQ(ui_edit_menu.items.count, 6);
    EXPECT_STREQ(ui_edit_menu.items[4].label, "-");
    EXPECT_EQ(ui_edit_menu.items[4].kind, 0);
    // An item is its key: "edit_name" (any case) is 'N'; unknown ids are not taken.
    replies.push_back("renamed");
    EXPECT_TRUE(ui_edit_menu.ProcessClick("edit_name"));
    EXPECT_STREQ(Comp("renamed") ? Comp("renamed")->name : "", "renamed");
    EXPECT_FALSE(ui_edit_menu.ProcessClick("NO_SUCH"));
    Key(27);
    EXPECT_FALSE(ui_edit_menu.visible);
}

TEST_F(Editor, FRecentresAndBrowsesAndAnArrowIsOneVirtualPixel) {
    sman.edit_selection = Comp("child");
    const bool centred = sman.centre_virtual_screen;
    Key('F');
    EXPECT_NE(sman.centre_virtual_screen, centred);
    EXPECT_TRUE(Recorded::Has(rec().calls, "OpenFileDialog"));
    EXPECT_TRUE(Recorded::Has(rec().prints, "Browsing for component font or fx.."));

    UIComp* free = Comp("free");
    free->position_type = UI_POS_RELATIVE_TO_SCREEN;
    sman.edit_selection = free;
    const vec2_t before = free->GetStaticPos();
    Key(39);
    Key(40);
    ExpectSamePlace(free->GetStaticPos(), vec2_t{before.x + 1, before.y + 1});
    // A cancelled prompt changes nothing; an empty name and one another
    // component has are refused.
    Key('N');
    replies.push_back("  ");
    Key('N');
    EXPECT_TRUE(rec().PopupContains("Component 'free' keeps its name: a component needs a name."));
    replies.push_back("box");
    Key('N');
    EXPECT_TRUE(rec().PopupContains("'box' is already used in user://edited.lua"));
    EXPECT_STREQ(free->name, "free");
    EXPECT_STREQ(Comp("box")->name, "box");
}

TEST_F(Editor, ReparentingKeepsThePlaceForEveryPositionType) {
    UIComp* box = Comp("box");
    UIComp* free = Comp("free");
    for (int type : {UI_POS_ABSOLUTE, UI_POS_RELATIVE_TO_PARENT, UI_POS_RELATIVE_TO_SCREEN}) {
        free->parent = nullptr;
        free->position_type = type;
        free->position.x = type == UI_POS_ABSOLUTE ? 700 : 0.7f;
        free->position.y = type == UI_POS_ABSOLUTE ? 300 : 0.5f;
        const vec2_t at = free->GetStaticPos();
        UIEditorReparent(free, box);
        ExpectSamePlace(free->GetStaticPos(), at);
        UIEditorReparent(free, nullptr);
        ExpectSamePlace(free->GetStaticPos(), at);
    }
    // Through the prompt; a component's own subtree is refused.
    sman.edit_selection = free;
    replies.push_back("box");
    Key('P');
    EXPECT_EQ(free->parent, box);
    sman.edit_selection = box;
    replies.push_back("free");
    Key('P');
    EXPECT_EQ(box->parent, nullptr);
    EXPECT_TRUE(rec().PopupContains("cannot be the parent of 'box'"));
    replies.push_back("box");
    Key('P');
    EXPECT_EQ(box->parent, nullptr);
    replies.push_back("nobody");
    Key('P');
    EXPECT_TRUE(rec().PopupContains("No component name 'nobody' found to parent user://edited.lua/box."));
}

TEST_F(Editor, DeleteLeavesTheChildrenInPlaceAndNothingPointingAtIt) {
    UIComp* box = Comp("box");
    UIComp* child = Comp("child");
    const vec2_t at = child->GetStaticPos();
    sman.edit_selection = box;
    sman.isolated_comp = box;
    sman.cursor[0].focus = sman.cursor[1].over = box;
    set->current = box;
    Key(46);
    EXPECT_EQ(Comp("box"), nullptr);
    EXPECT_EQ(child->parent, nullptr);
    ExpectSamePlace(child->GetStaticPos(), at);
    EXPECT_EQ(sman.edit_selection, nullptr);
    EXPECT_EQ(sman.isolated_comp, nullptr);
    EXPECT_EQ(sman.cursor[0].focus, nullptr);
    EXPECT_EQ(sman.cursor[1].over, nullptr);
    EXPECT_EQ(set->current, nullptr);
    EXPECT_EQ(std::string(UILayoutExportText(set).c_str()).find("box"), std::string::npos);
}

TEST_F(Editor, BrowsedPathsAndNamesWithQuotesSurviveTheFile) {
    nString name;
    EXPECT_TRUE(UIEditorDataName("C:\\work\\data-hd\\ui\\gfx\\a.png", true, &name));
    EXPECT_STREQ(name.text, "ui/gfx/a.png");
    EXPECT_FALSE(UIEditorDataName("C:\\work\\data-hd\\ui\\b.png", false, &name));
    EXPECT_TRUE(UIEditorDataName("/w/data/ui/b.png", false, &name));
    EXPECT_STREQ(name.text, "ui/b.png");
    EXPECT_FALSE(UIEditorDataName("/w/art/b.png", true, &name));

    sman.edit_selection = Comp("free");
    replies.push_back("say \"hi\" \\ there");
    Key('N');
    ASSERT_STREQ(Comp("free") ? "ok" : "missing", "missing");
    nString text = UILayoutExportText(set);
    UISet copy("user://copy.lua", nullptr);
    ASSERT_TRUE(UILayoutRunString(&copy, text.c_str(), text.Length(), "copy"));
    EXPECT_NE(copy.GetComp("say \"hi\" \\ there"), nullptr) << text.c_str();
    UILayoutDeleteComps(&copy);
}

TEST_F(Editor, ReloadRebuildsTheSetAndFindsTheSelectionAgainByName) {
    UIComp* old_free = Comp("free");
    sman.edit_selection = old_free;
    sman.isolated_comp = Comp("box");
    screen->default_comp = Comp("child");
    old_free->position.x = 0.1f;  // an unsaved change the reload drops
    Key('L');
    ASSERT_NE(screen->uiset, set);
    set = screen->uiset;
    EXPECT_EQ(sman.edit_selection, Comp("free"));
    EXPECT_NE(sman.edit_selection, old_free);
    EXPECT_EQ(sman.isolated_comp, Comp("box"));
    // The game-pad cursor's default too: the old set goes with the next
    // update, and the cursor is placed on the default out of edit mode.
    EXPECT_EQ(screen->default_comp, Comp("child"));
    sman.UpdateScreens(0);
    EXPECT_FLOAT_EQ(Comp("free")->position.x, 0.75f);
    EXPECT_EQ(screen->trans, 1.0f);
    // A selection the file does not have is let go.
    UIComp* child = Comp("child");
    free(child->name);
    child->name = nStringDuplicate("gone");
    sman.edit_selection = Comp("gone");
    Key('L');
    set = screen->uiset;
    EXPECT_EQ(sman.edit_selection, nullptr);
    // Nor is one of another screen's set handed to the reloaded set's
    // component of its name.
    EditScreen other("Other");
    WriteNative(e.UserPath("other.lua"), "CreateComp ('Rectangle', 'free');\n");
    ASSERT_TRUE(other.LoadUI("user://other.lua"));
    sman.edit_selection = sman.isolated_comp = other.GetComp("free");
    Key('L');
    EXPECT_EQ(sman.edit_selection, nullptr);
    EXPECT_EQ(sman.isolated_comp, nullptr);
}

// A layout written past CreateComp's bounds would lose components when it
// is read again: the editor's add, clone and rename keep them.
TEST_F(Editor, AddCloneAndRenameKeepCreateCompsBounds) {
    UIComp* free = Comp("free");
    sman.edit_selection = free;
    const std::string too_long(UISet::kMaxCompName + 1, 'n'), longest(UISet::kMaxCompName - 5, 'm');
    replies.assign(1, too_long.c_str());
    Key('N');
    EXPECT_STREQ(free->name, "free");
    EXPECT_TRUE(rec().PopupContains("A component name may have at most 128 characters"));
    replies.assign(1, longest.c_str());
    Key('N');
    Key('C');  // its clone's name would be one too long
    EXPECT_EQ(set->comps.count, 3);
    lua_man.ExecLuaString(set->L, "for i = 4, 1024 do CreateComp ('Rectangle', 'r' .. i) end");
    ASSERT_EQ(set->comps.count, UISet::kMaxComps);
    sman.edit_selection = Comp("box");
    Key('C');
    replies.assign(1, "IMAGE");
    Key('A');
    EXPECT_EQ(set->comps.count, UISet::kMaxComps);
    EXPECT_TRUE(rec().PopupContains("user://edited.lua has 1024 components, all a layout may have"));
}

// A Ctrl+drag takes a component of the top set; one of the screen below,
// though the pointer is over it and it is selected, stays where it is.
TEST_F(Editor, ADragMovesOnlyTheTopSetsComponents) {
    r.table.GetKeyStatei = [](int key) { return key == 17 ? 1 : 0; };  // Ctrl held
    r.Install();
    UIComp* box = Comp("box");
    const vec2_t corner = box->GetStaticPos();
    vec2_t at = {corner.x + 50, corner.y + 25};  // well inside, wherever the static place is
    if (!box->IsPointOver(at)) at = vec2_t{corner.x - 50, corner.y - 25};
    ASSERT_TRUE(box->IsPointOver(at));
    sman.SetEditMode(true);
    auto step = [&](bool pressed, vec2_t p) {
        UICursor* c = &sman.cursor[0];
        c->pressed = pressed;
        c->position = p;
        sman.TopScreen()->trans = 1;
        sman.UpdateCursors(1 / 60.f);
    };
    auto drag = [&](float by) {
        step(true, at);
        step(true, vec2_t{at.x + by, at.y});
        step(false, vec2_t{at.x + by, at.y});
        step(false, vec2_t{at.x + by, at.y});
    };
    const float before = box->position.x;
    drag(40);
    EXPECT_GT(box->position.x, before) << "a drag on the top screen moves its component";
    const float moved = box->position.x;
    at.x += 40;  // where the pointer let go: over the box again
    EditScreen above("Above");
    WriteNative(e.UserPath("above.lua"), "CreateComp ('Rectangle', 'far');\nSetProperty ('position', 0.9, 0.9);\n");
    ASSERT_TRUE(above.LoadUI("user://above.lua"));
    Screen::PreLoadScreen(&above, false);
    sman.PushScreen(&above);
    above.blocks_input = false;
    sman.edit_selection = box;
    drag(40);
    EXPECT_EQ(box->position.x, moved);
    sman.SetEditMode(false);
    sman.PopScreen(&above, false);
}

// Ctrl+E and O in one frame: edit mode on and off, the window asked for
// and given back before the engine applies it, so no re-initialisation
// comes. The two that were counted on must not stay counted: the next
// real ones would save no player data.
static void UpdateScreens(float dt) { sman.Update(dt); }
TEST_F(Editor, AToolsWindowTakenBackInOneFrameLeavesNoReInitCounted) {
    sman.SwitchEditMode(true);
    EXPECT_TRUE(sman.ToolsReInit());
    sman.SwitchEditMode(false);
    FwRunFrames(3, 16, UpdateScreens, nullptr);
    EXPECT_FALSE(sman.ToolsReInit());
}
