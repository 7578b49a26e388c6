#pragma once
struct lua_State;
// Called by the matcher every kPatternTickSteps matching steps (bytes
// scanned, items tried, choices taken back), never on entry: the caller's
// own entry check is the one check a short call pays. It may raise a Lua
// error (lua_error, a longjmp) to stop the call, so the matcher keeps no
// C++ object with a destructor alive across it.
typedef void (*PatternTick)(lua_State* L);
enum { kPatternTickSteps = 4096 };
// Replaces string.find, string.match, string.gmatch and string.gsub in the
// state's `string` table (which is also the strings' metatable __index)
// by the project's own matcher: stock Lua 5.1 results, errors and messages,
// at about stock cost, calling `tick` as above. Needs the string library open.
void LuaInstallPatterns(lua_State* L, PatternTick tick);
