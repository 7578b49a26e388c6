// Arbitrary bytes as a script in a framework Lua state: the built-in
// bindings, the feature, game and profile functions, the silent
// print/loadfile/dofile and the replacement string.format. Run time and
// memory are bounded by the state's own limits, as the program's scripts
// are (the script runs as the program runs them, through
// LuaManager::PCall, with the limits' own count hook: a hook of the
// target's would raise where the limits do not look, and an xpcall
// handler would then run unhooked); the engine is not started, so
// bindings run on the do-nothing interface table and must cope.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <lua.hpp>

#include "feature-manager.h"
#include "luaman.h"
#include "profiles.h"
#include "ui/gameman.h"

namespace {

// string.rep builds one string in C without the hook ever running; cap
// it so a pattern or format argument cannot grow past what the budget
// could build step by step.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    static bool registered = false;
    if (!registered) {
        feature_man.Initialize();
        game_man.Initialize();
        profile_man.RegisterLuaInterface();
        registered = true;
    }
    lua_State* L = lua_man.OpenLuaState(0);
    if (!L) return 0;
    // Keep the stock rep as an upvalue of the bounded one.
    lua_getglobal(L, "string");
    lua_newtable(L);
    lua_getfield(L, -2, "rep");
    lua_setfield(L, -2, "rep");
    lua_pushcclosure(L, BoundedRep, 1);
    lua_setfield(L, -2, "rep");
    lua_pop(L, 1);

    int top = lua_gettop(L);
    if (LuaLoadText(L, (const char*)data, size, "@fuzz.lua") == 0) LuaManager::PCall(L, 0, LUA_MULTRET);
    lua_settop(L, top);
    // Calls from C into whatever the script left behind.
    lua_man.CallLuaFunctionN(L, "OnUpdate", 0.016);
    lua_man.CallLuaFunctionS(L, "OnClick", "button");
    if (lua_gettop(L) != top) abort();
    lua_man.CloseLuaState(L);
    // Drops the profiles and settings the script made, so that inputs do
    // not pile them up.
    profile_man.LoadProfiles();
    return 0;
}
