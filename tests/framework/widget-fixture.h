// The common fixture of the widget kind tests: the engine on the null
// renderer, the recording table with the fakes, a clean screen, the kinds
// registered and clicks recorded through the widget hooks; plus running
// layout text into a set and writing it back.
#ifndef WIDGET_FIXTURE_H
#define WIDGET_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "fw-support.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"
#include "widget-fakes.h"

struct WidgetFixture : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    Screen screen;
    std::vector<UISet*> sets;
    void SetUp() override {
        ASSERT_TRUE(e.started);
        wf::InstallFakes(r.table);
        r.Install();
        ui_screen = UIScreenValues();
        ui_template_set = nullptr;
        ui_widget_hooks = UIWidgetHooks();
        ui_widget_hooks.send_component_click = wf::RecordClick;
        wf::Clicks().clear();
        UIRegisterWidgetKinds();
    }
    void TearDown() override {
        for (UISet* s : sets) {
            UILayoutDeleteComps(s);
            delete s;
        }
        ui_widget_hooks = UIWidgetHooks();
    }
    UISet* Load(const std::string& text, const char* file = "ui/test.lua") {
        UISet* set = new UISet(file, &screen);
        sets.push_back(set);
        EXPECT_TRUE(UILayoutRunString(set, text.c_str(), text.size(), file));
        for (int i = 0; i < set->comps.count; i++) set->comps[i]->owner = &screen;
        return set;
    }
    static std::string Text(UISet* set) { return UILayoutExportText(set).c_str(); }
    // Runs one SetProperty statement on a component outside any layout.
    static int Set(UIComp* c, const std::string& lua_args) {
        lua_State* L = luaL_newstate();
        std::string code = "return " + lua_args;
        int rc = -2;
        if (luaL_loadstring(L, code.c_str()) == 0 && lua_pcall(L, 0, LUA_MULTRET, 0) == 0) {
            const char* prop = lua_tostring(L, 1);
            rc = c->SetProperty(prop, L);
        }
        lua_close(L);
        return rc;
    }
    // Reads one property as text ("" when it gives no value).
    static std::string Get(UIComp* c, const char* prop) {
        lua_State* L = luaL_newstate();
        luaL_openlibs(L);
        lua_pushstring(L, prop);
        int n = c->GetProperty(prop, L);
        std::string s;
        if (n > 0) {
            lua_getglobal(L, "tostring");
            lua_pushvalue(L, -1 - n);
            lua_call(L, 1, 1);
            s = lua_tostring(L, -1);
        } else {
            s = "<none>";
        }
        lua_close(L);
        return s;
    }
};

#endif
