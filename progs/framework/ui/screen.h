// The least screen and UI set that the components and the layout files
// need: a list of components in draw order, the current component of a
// layout being read, the file names, the set's own Lua state and its
// loaded flag, plus the screen values that layout reads.
//
// The screens work completes this: `Screen` gains its registry, stack
// state and virtual operations, `UISet` its look-ups, cache passes and Lua
// handlers, and the screen values move into the screen manager, which
// then keeps `ui_screen` up to date and owns the template set.
#ifndef FRAMEWORK_UI_SET_MIN_H
#define FRAMEWORK_UI_SET_MIN_H

#include <lua.hpp>

#include "kodo.h"
#include "luaman.h"
#include "nstring.h"

class UIComp;
class UISet;

class Screen {
public:
    UISet* uiset = nullptr;
};

// Screen values that the layout of components reads. Defaults describe an
// 800 x 600 virtual screen that fills an 800 x 600 display.
struct UIScreenValues {
    int virtual_width = 800, virtual_height = 600;  // VW, VH
    float virtual_x = 0, virtual_y = 0;             // VX, VY in actual pixels
    float scale_width = 1, scale_height = 1;        // SW, SH
    float scale_ref = 1;                            // SR
    int actual_width = 800, actual_height = 600;    // AW, AH
    // The two bitmap cache-flag words: for bitmaps asked for with the flag
    // set, and for the rest (4 = keep as a texture).
    int cache_flags[2] = {4, 4};
};

extern UIScreenValues ui_screen;

// The set of component templates ("ui/templates.lua"); null until loaded.
extern UISet* ui_template_set;

class UISet {
public:
    // Opens the set's own Lua state and anchors the set in it, so that the
    // script functions find "their" set.
    UISet(const char* file_name, Screen* owner_screen) : file(file_name ? file_name : ""), owner(owner_screen) {
        L = lua_man.OpenLuaState(0);
        if (L) LuaManager::SetLuaStateUserData(L, this);
    }
    // A set does not destroy its components (their owner does).
    ~UISet() {
        if (L) lua_man.CloseLuaState(L);
    }
    UISet(const UISet&) = delete;
    UISet& operator=(const UISet&) = delete;

    int GetNumberOfComps() const { return comps.count; }
    UIComp* GetCompByIndex(int i) const { return i >= 0 && i < comps.count ? comps.data[i] : nullptr; }
    UIComp* GetComp(const char* comp_name) const;  // ui-comps.cpp
    void Add(UIComp* c) { comps.InsertLast(c); }
    void Remove(UIComp* c) { comps.Remove(c); }
    static UISet* FromState(lua_State* state) { return (UISet*)LuaManager::GetLuaStateOwner(state); }

    nString file;
    nArray<UIComp*> comps;
    UIComp* current = nullptr;
    Screen* owner = nullptr;
    nString events_file;
    lua_State* L = nullptr;
    // Set while the set's bitmaps are held (between the enter and leave
    // cache passes).
    bool cache_applied = false;
};

#endif
