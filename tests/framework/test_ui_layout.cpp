// UI layout files: reading the statements, writing only what differs from
// the template, a set written and read back equal, faulty scripts reported
// with file and line, and writes that fail leaving the old file.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "fw-support.h"
#include "recording-kd.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-props.h"

namespace {

struct LayoutFixture : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    UISet* templates = nullptr;
    Screen screen;
    void SetUp() override {
        ASSERT_TRUE(e.started);
        r.Install();
        ui_screen = UIScreenValues();
        templates = new UISet("ui/templates.lua", nullptr);
        ui_template_set = templates;
        const char* t = "CreateComp ('Button', 'DefaultButton');\n"
            "SetProperty ('align', 'CENTER');\n"
            "SetProperty ('OnClick', 'ui/click.lua');\n"
            "CreateComp ('Button', 'BigButton');\n"
            "SetProperty ('scale', 2);\n"
            "CreateComp ('Image', 'DefaultImage');\n";
        ASSERT_TRUE(UILayoutRunString(templates, t, strlen(t), "ui/templates.lua"));
    }
    void TearDown() override {
        ui_template_set = nullptr;
        UILayoutDeleteComps(templates);
        delete templates;
    }
    UISet* Load(const std::string& text, const char* file = "ui/menu.lua") {
        UISet* set = new UISet(file, &screen);
        screen.uiset = set;
        UILayoutRunString(set, text.c_str(), text.size(), file);
        return set;
    }
    void Free(UISet* set) {
        UILayoutDeleteComps(set);
        if (screen.uiset == set) screen.uiset = nullptr;
        delete set;
    }
    static std::string Text(UISet* set) { return UILayoutExportText(set).c_str(); }
};

// Every field that the layout format carries.
void ExpectSameComp(UIComp* a, UIComp* b) {
    ASSERT_TRUE(a && b);
    EXPECT_STREQ(a->name, b->name);
    EXPECT_EQ(a->type, b->type);
    EXPECT_EQ(a->template_comp, b->template_comp);
    EXPECT_STREQ(a->tags, b->tags);
    EXPECT_EQ(a->inherit_scale, b->inherit_scale);
    EXPECT_EQ(a->localize, b->localize);
    EXPECT_EQ(a->cache_mode, b->cache_mode);
    EXPECT_EQ(a->visible, b->visible);
    EXPECT_EQ(a->active, b->active);
    EXPECT_EQ(a->interactive, b->interactive);
    EXPECT_FLOAT_EQ(a->expanded_hit_area, b->expanded_hit_area);
    EXPECT_EQ(a->scale_type, b->scale_type);
    EXPECT_EQ(a->blend_mode, b->blend_mode);
    EXPECT_EQ(a->pixel_filter, b->pixel_filter);
    EXPECT_EQ(a->draw_mode, b->draw_mode);
    EXPECT_EQ(a->fading, b->fading);
    EXPECT_FLOAT_EQ(a->fading_akey, b->fading_akey);
    EXPECT_EQ(a->custom_draw, b->custom_draw);
    EXPECT_STREQ(a->parent ? a->parent->name : "", b->parent ? b->parent->name : "");
    EXPECT_EQ(a->screen_origin, b->screen_origin);
    EXPECT_EQ(a->parent_anchor, b->parent_anchor);
    EXPECT_EQ(a->position_type, b->position_type);
    EXPECT_NEAR(a->position.x, b->position.x, 1e-5);
    EXPECT_NEAR(a->position.y, b->position.y, 1e-5);
    EXPECT_FLOAT_EQ(a->color.r, b->color.r);
    EXPECT_FLOAT_EQ(a->color.a, b->color.a);
    EXPECT_FLOAT_EQ(a->angle, b->angle);
    EXPECT_FLOAT_EQ(a->scale, b->scale);
    EXPECT_EQ(a->align, b->align);
    for (int h = 0; h < UI_NUM_HANDLERS; h++) EXPECT_STREQ(a->GetHandler(h), b->GetHandler(h));
}

const char* kMenu =
    "-- ui/menu.lua\n"
    "UIEvents (\"ui/menu-events.lua\");\n"
    "CreateComp (\"Image\", \"frame\");\n"
    "SetProperty (\"position\", 0.5, 0.5);\n"
    "SetProperty (\"align\", \"CENTER\");\n"
    "SetProperty (\"tags\", 'say \"hi\"\\\\ \\n two');\n"
    "CreateComp (\"Button\", \"play\");\n"
    "SetProperty (\"inherit\", \"BigButton\");\n"
    "SetProperty (\"inherit_scale\", false);\n"
    "SetProperty (\"parent\", \"frame\");\n"
    "SetProperty (\"parent_anchor\", \"BOTTOMRIGHT\");\n"
    "SetProperty (\"position\", -0.25, 0.125);\n"
    "SetProperty (\"color\", 1, 0.5, 0.25, 0.75);\n"
    "SetProperty (\"angle\", 0.5);\n"
    "SetProperty (\"cache_mode\", \"PRELOAD\");\n"
    "SetProperty (\"scale_type\", \"FIT_INSIDE_SCREEN\");\n"
    "SetProperty (\"blend_mode\", \"ADDITIVE\");\n"
    "SetProperty (\"pixel_filter\", \"POINT\");\n"
    "SetProperty (\"draw_mode\", \"MIRRORED_VERTICAL\");\n"
    "SetProperty (\"fading\", 1);\n"
    "SetProperty (\"fading_akey\", 0.5);\n"
    "SetProperty (\"visible\", 0);\n"
    "SetProperty (\"active\", 0);\n"
    "SetProperty (\"interactive\", 0);\n"
    "SetProperty (\"localize\", 0);\n"
    "SetProperty (\"custom_draw\", 1);\n"
    "SetProperty (\"expanded_hit_area\", 12);\n"
    "SetProperty (\"screen_origin\", \"ACTUAL\");\n"
    "SetProperty (\"OnEnter\", \"ui/enter.lua\");\n"
    "SetProperty (\"align\", \"BOTTOMCENTER\");\n"
    "CreateComp (\"Button\", \"quit\");\n"
    "SetProperty (\"position_type\", \"RELATIVE_TO_SCREEN\");\n"
    "SetProperty (\"parent\", \"frame\");\n";

}  // namespace

// ---------------------------------------------------------------------------
// Reading

TEST_F(LayoutFixture, StatementsBuildTheSetFromTemplates) {
    UISet* set = Load(kMenu);
    EXPECT_STREQ(set->events_file.c_str(), "ui/menu-events.lua");
    ASSERT_EQ(set->GetNumberOfComps(), 3);
    UIComp* frame = set->GetComp("frame");
    UIComp* play = set->GetComp("play");
    ASSERT_TRUE(frame && play);
    EXPECT_EQ(frame->type, UI_IMAGE);
    EXPECT_EQ(frame->owner, &screen);
    EXPECT_STREQ(frame->tags, "say \"hi\"\\ \n two");
    EXPECT_EQ(play->template_comp, templates->GetComp("BigButton"));
    EXPECT_FLOAT_EQ(play->scale, 2);
    EXPECT_EQ(play->parent, frame);
    EXPECT_EQ(play->parent_anchor, 3);
    EXPECT_EQ(play->align, 14);
    EXPECT_STREQ(play->GetHandler(1), "ui/click.lua");  // BigButton took it from DefaultButton
    EXPECT_STREQ(play->GetHandler(2), "ui/enter.lua");
    EXPECT_EQ(set->current, set->GetComp("quit"));
    EXPECT_STREQ(set->GetComp("quit")->GetHandler(1), "ui/click.lua");  // from DefaultButton
    Free(set);
}

TEST_F(LayoutFixture, LayoutFilesAreReadThroughTheEngine) {
    WriteNative(e.UserPath("menu.lua"), kMenu);
    UISet set("user://menu.lua", &screen);
    EXPECT_TRUE(UILayoutRun(&set, "user://menu.lua"));
    EXPECT_EQ(set.GetNumberOfComps(), 3);
    UILayoutDeleteComps(&set);
    rec().Clear();
    EXPECT_FALSE(UILayoutRun(&set, "user://missing.lua"));
    EXPECT_TRUE(rec().DebugContains("UI layout 'user://missing.lua' not found or not readable.\n"));
    EXPECT_EQ(set.GetNumberOfComps(), 0);
}

TEST_F(LayoutFixture, FaultyScriptsNameFileAndLineAndKeepWhatWasBuilt) {
    WriteNative(e.UserPath("bad.lua"), "CreateComp ('Button', 'a');\n\nSetProperty ('position' 1);\nCreateComp ('Button', 'b');\n");
    UISet set("user://bad.lua", &screen);
    rec().Clear();
    EXPECT_FALSE(UILayoutRun(&set, "user://bad.lua"));
    EXPECT_TRUE(rec().DebugContains("UI layout 'user://bad.lua' does not compile: user://bad.lua:3:"));
    EXPECT_EQ(set.GetNumberOfComps(), 0);

    WriteNative(e.UserPath("stops.lua"), "CreateComp ('Button', 'a');\nlocal x = nil + 1\nCreateComp ('Button', 'b');\n");
    rec().Clear();
    EXPECT_FALSE(UILayoutRun(&set, "user://stops.lua"));
    EXPECT_TRUE(rec().DebugContains("user://stops.lua:2:"));
    EXPECT_EQ(set.GetNumberOfComps(), 1);  // "a" is kept
    UILayoutDeleteComps(&set);

    // Values and statements out of place: the line is named, the run goes on.
    WriteNative(e.UserPath("odd.lua"),
                "SetProperty ('alpha', 0.5);\n"
                "CreateComp ('Button');\n"
                "CreateComp ('Button', 'a');\n"
                "SetProperty ('alpha', 'half');\n"
                "SetProperty ('colour', 1);\n"
                "SetProperty (7, 1);\n"
                "CreateComp ('Button', 'a');\n"
                "UIEvents ();\n");
    rec().Clear();
    EXPECT_TRUE(UILayoutRun(&set, "user://odd.lua"));
    EXPECT_TRUE(rec().PopupContains("user://odd.lua:1: SetProperty: no component has been created yet; 'alpha' ignored."));
    EXPECT_TRUE(rec().PopupContains("user://odd.lua:2: CreateComp: a type and a name"));
    EXPECT_TRUE(rec().PopupContains("user://odd.lua:4: SetProperty: 'alpha' of 'a' expects a number, got string; read as 0"));
    EXPECT_TRUE(rec().PopupContains("user://odd.lua:5: SetProperty: Unknown Property 'colour' for 'a' (Button)."));
    EXPECT_TRUE(rec().PopupContains("user://odd.lua:6: SetProperty: the property name must be a text"));
    EXPECT_FALSE(rec().PopupContains("user://odd.lua:7:")) << "a second component of a name is allowed";
    EXPECT_TRUE(rec().PopupContains("user://odd.lua:8: UIEvents:"));
    ASSERT_EQ(set.GetNumberOfComps(), 2);
    EXPECT_FLOAT_EQ(set.GetCompByIndex(0)->alpha, 0);
    UILayoutDeleteComps(&set);
}

// ---------------------------------------------------------------------------
// Writing

TEST_F(LayoutFixture, WrittenSetReadsBackEqual) {
    UISet* a = Load(kMenu);
    std::string text = Text(a);
    ASSERT_TRUE(UILayoutExportTo(a, "user://out/menu.lua"));
    EXPECT_EQ(ReadNative(e.UserPath("out/menu.lua")), text);
    EXPECT_EQ(text.rfind("-- ui/menu.lua\n\nUIEvents (\"ui/menu-events.lua\");\n\nCreateComp (\"Image\", \"frame\");\n", 0),
              0u)
        << text;

    UISet* b = new UISet("ui/menu.lua", &screen);
    ASSERT_TRUE(UILayoutRun(b, "user://out/menu.lua")) << text;
    ASSERT_EQ(b->GetNumberOfComps(), a->GetNumberOfComps());
    for (int i = 0; i < a->GetNumberOfComps(); i++) ExpectSameComp(a->GetCompByIndex(i), b->GetCompByIndex(i));
    EXPECT_STREQ(b->events_file.c_str(), a->events_file.c_str());
    EXPECT_EQ(Text(b), text);  // and writes the same text again
    Free(a);
    Free(b);
}

TEST_F(LayoutFixture, OnlyDifferencesFromTheTemplateAreWritten) {
    UISet* set = Load(
        "CreateComp ('Button', 'plain');\n"
        "CreateComp ('Button', 'child');\n"
        "SetProperty ('parent', 'plain');\n"
        "SetProperty ('position', 0.0000001, 0);\n"
        "SetProperty ('color.a', 0.5);\n"
        "SetProperty ('inherit_scale', false);\n");
    std::string text = Text(set);
    EXPECT_NE(text.find("CreateComp (\"Button\", \"plain\");\nSetProperty (\"OnClick\", \"ui/click.lua\");\n\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("CreateComp (\"Button\", \"child\");\n"
                        "SetProperty (\"inherit_scale\", false);\n"
                        "SetProperty (\"parent\", \"plain\");\n"
                        "SetProperty (\"color.a\", 0.5);\n"
                        "SetProperty (\"OnClick\", \"ui/click.lua\");\n\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("position"), std::string::npos);
    EXPECT_EQ(text.find("color.r"), std::string::npos);
    Free(set);
}

TEST_F(LayoutFixture, AbsoluteComponentsAreConvertedWhenWritten) {
    UISet* set = Load(
        "CreateComp ('Image', 'logo');\n"
        "SetProperty ('position_type', 'ABSOLUTE');\n"
        "SetProperty ('position', 400, 300);\n"
        "CreateComp ('Image', 'free');\n"
        "SetProperty ('position_type', 'RELATIVE_TO_SCREEN');\n"
        "SetProperty ('position', 0.25, 0.5);\n");
    rec().Clear();
    std::string text = Text(set);
    EXPECT_TRUE(rec().PopupContains("Autoconvert: Converting UI Comp 'logo' position type from ABSOLUTE to RELATIVE TO "
                                    "PARENT for future compatibility.\n"));
    EXPECT_NE(text.find("CreateComp (\"Image\", \"logo\");\nSetProperty (\"position\", 0.5, 0.5);\n\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("CreateComp (\"Image\", \"free\");\nSetProperty (\"position\", 0.25, 0.5);\n\n"),
              std::string::npos)
        << text;
    UIComp* logo = set->GetComp("logo");
    EXPECT_EQ(logo->position_type, UI_POS_RELATIVE_TO_PARENT);  // changed in memory too
    EXPECT_EQ(set->GetComp("free")->position_type, UI_POS_RELATIVE_TO_PARENT);
    Free(set);
}

TEST_F(LayoutFixture, OddNamesAreQuotedSoTheyReadBack) {
    UISet* set = Load("CreateComp ('Button', 'say \"x\"');\nSetProperty ('tags', 'a\\\\b\\n\\r');\n");
    std::string text = Text(set);
    UISet* back = Load(text);
    ASSERT_EQ(back->GetNumberOfComps(), 1);
    EXPECT_STREQ(back->GetCompByIndex(0)->name, "say \"x\"");
    EXPECT_STREQ(back->GetCompByIndex(0)->tags, "a\\b\n\r");
    Free(back);
    Free(set);
}

TEST_F(LayoutFixture, AFailedWriteKeepsTheOldFile) {
    UISet* set = Load("CreateComp ('Button', 'a');\n");
    WriteNative(e.UserPath("keep.lua"), "old");
    // A folder where the temporary file would go makes the write fail.
    ASSERT_EQ(system(("mkdir -p '" + e.UserPath("keep.lua.tmp") + "'").c_str()), 0);
    rec().Clear();
    EXPECT_FALSE(UILayoutExportTo(set, "user://keep.lua"));
    EXPECT_TRUE(rec().PopupContains("Unable to save to file 'user://keep.lua'.\n"));
    EXPECT_EQ(ReadNative(e.UserPath("keep.lua")), "old");
    Free(set);
}

TEST_F(LayoutFixture, TargetPathPrefersAnExistingCopy) {
    EXPECT_EQ(std::string(UILayoutTargetPath("ui/none-such.lua").c_str()).find("none-such.lua") != std::string::npos,
              true);
    WriteNative(e.UserPath("here.lua"), "-- x\n");
    nString p = UILayoutTargetPath("here.lua");
    EXPECT_EQ(std::string(p.c_str()).find("res://"), std::string::npos);
    EXPECT_NE(std::string(p.c_str()).find("here.lua"), std::string::npos);
}

// A developer's save of a layout goes to "res://data/<file>", which the
// engine's path layer writes under "user://": the bundled tree stays as it
// was, and the file reads back by its name.
TEST_F(LayoutFixture, SavedLayoutGoesToTheWritablePlaceAndLoadsBack) {
    std::string bundled = e.dir + "/app/native";
    ASSERT_EQ(system(("mkdir -p '" + bundled + "/ui'").c_str()), 0);
    UISet* set = Load("CreateComp ('Button', 'ok');\n"
                      "SetProperty ('position', 0.25, 0.75);\n"
                      "SetProperty ('inherit_angle', false);\n",
                      "ui/saved.lua");
    ASSERT_TRUE(set->ExportLua("ui/saved.lua"));
    bool in_bundle = !ReadNative(bundled + "/ui/saved.lua").empty() || !ReadNative(bundled + "/data/ui/saved.lua").empty();
    if (in_bundle) GTEST_SKIP() << "this engine writes \"res://\" names into the bundled tree";
    EXPECT_NE(ReadNative(e.UserPath("ui/saved.lua")).find("CreateComp (\"Button\", \"ok\");"), std::string::npos);
    kd->AddSearchPath("user://", true);
    UISet back("ui/saved.lua", &screen);
    EXPECT_TRUE(UILayoutRun(&back, "ui/saved.lua"));
    EXPECT_EQ(Text(&back), Text(set));
    kd->RemoveSearchPath("user://");
    UILayoutDeleteComps(&back);
    Free(set);
}
