// Argument reading of the script functions. See lua-args.h.
#include "lua-args.h"

#include <limits.h>
#include <string.h>

LuaArgs::LuaArgs(lua_State* state, const char* name) : L(state), fn(name ? name : "?"), top(lua_gettop(state)) {
    if (strncmp(fn, "luaf_", 5) == 0) fn += 5;
}

void LuaArgs::Report(int i, const char* what) const {
    failed = true;
    kd->Popupf(1, "Lua %s: argument %d should be %s.\n", fn, i, what);
}

const char* LuaArgs::Text(int i) const {
    const char* s = Has(i) ? lua_tolstring(L, i, nullptr) : nullptr;
    if (!s) Report(i, "a text");
    return s;
}

bool LuaArgs::Texts(int first, int count, const char** out) const {
    bool ok = true;
    for (int k = 0; k < count; k++) ok = (out[k] = Text(first + k)) != nullptr && ok;
    return ok;
}

const char* LuaArgs::OptText(int i) const {
    if (!Has(i) || lua_isnil(L, i)) return nullptr;
    return Text(i);
}

double LuaArgs::Number(int i) const {
    if (!Has(i) || !lua_isnumber(L, i)) {
        Report(i, "a number");
        return 0;
    }
    return lua_tonumber(L, i);
}

int LuaArgs::Int(int i) const {
    double d = Number(i);
    if (d != d) return 0;
    if (d >= (double)INT_MAX) return INT_MAX;
    if (d <= (double)INT_MIN) return INT_MIN;
    return (int)d;
}
