// Arbitrary bytes as a UI layout script in a UI set's own state, with a
// small template set and every widget kind registered, so that each
// kind's property table is reached; then the set is written as layout
// text and that text is read into a second set. Run time is bounded by an instruction
// hook and the one string builder that escapes it is capped; the engine
// is not started, so everything runs with a null interface table.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <lua.hpp>

#include "luaman.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"

namespace {

// Once spent, the hook runs at every instruction, so a script that
// catches the error (pcall in a loop) is stopped again at once.
void StopHook(lua_State* L, lua_Debug*) {
    lua_sethook(L, StopHook, LUA_MASKCOUNT, 1);
    luaL_error(L, "instruction budget spent");
}

int BoundedRep(lua_State* L) {
    size_t l;
    luaL_checklstring(L, 1, &l);
    lua_Number n = luaL_checknumber(L, 2);
    if (n * (lua_Number)(l ? l : 1) > 65536) return luaL_error(L, "string.rep result too long for the fuzzer");
    lua_getfield(L, lua_upvalueindex(1), "rep");
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

void Bound(lua_State* L) {
    lua_sethook(L, StopHook, LUA_MASKCOUNT, 200000);
    lua_getglobal(L, "string");
    lua_newtable(L);
    lua_getfield(L, -2, "rep");
    lua_setfield(L, -2, "rep");
    lua_pushcclosure(L, BoundedRep, 1);
    lua_setfield(L, -2, "rep");
    lua_pop(L, 1);
}

UISet* Templates() {
    static UISet* set = nullptr;
    if (set) return set;
    UIRegisterWidgetKinds();
    set = new UISet("ui/templates.lua", nullptr);
    const char* t =
        "CreateComp ('Button', 'DefaultButton'); SetProperty ('align', 'CENTER');\n"
        "CreateComp ('Button', 'BigButton'); SetProperty ('scale', 2);\n"
        "CreateComp ('Image', 'DefaultImage'); SetProperty ('OnClick', 'x.lua');\n"
        "CreateComp ('Textbox', 'DefaultTextbox'); SetProperty ('textbox.text', 'a\\\\nb');\n"
        "CreateComp ('Editbox', 'DefaultEditbox'); SetProperty ('editbox.max_chars', 4);\n"
        "CreateComp ('NinePatch', 'DefaultNinePatch'); SetProperty ('ninepatch.client_size', 9, 9);\n";
    UILayoutRunString(set, t, strlen(t), "ui/templates.lua");
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    ui_template_set = Templates();
    Screen screen;
    UISet* a = new UISet("ui/fuzz.lua", &screen);
    screen.uiset = a;
    if (!a->L) {
        delete a;
        return 0;
    }
    Bound(a->L);
    int top = lua_gettop(a->L);
    UILayoutRunString(a, (const char*)data, size, "fuzz.lua");
    if (lua_gettop(a->L) != top) abort();
    // Geometry of whatever was built must stay finite or at least not
    // crash, whatever the parents and sizes.
    for (int i = 0; i < a->GetNumberOfComps(); i++) {
        UIComp* c = a->GetCompByIndex(i);
        c->CalculateDynamicScale();
        c->IsPointOverExpandedArea(vec2_t{400, 300}, 16);
        c->IsInView();
        c->IsInteractive();
    }
    nString text = UILayoutExportText(a);
    UISet* b = new UISet("ui/fuzz.lua", &screen);
    if (b->L) {
        Bound(b->L);
        UILayoutRunString(b, text.c_str(), (size_t)text.Length(), "fuzz-out.lua");
    }
    UILayoutDeleteComps(b);
    delete b;
    UILayoutDeleteComps(a);
    delete a;
    return 0;
}
