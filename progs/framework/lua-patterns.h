// The pattern functions of the script states (string.find, match, gmatch
// and gsub), with Lua 5.1's results, on a matcher that counts its steps:
// a match that backtracks without end is stopped by the caller's limits.
#ifndef FRAMEWORK_LUA_PATTERNS_H
#define FRAMEWORK_LUA_PATTERNS_H

struct lua_State;
typedef void (*PatternTick)(lua_State* L);  // may raise a Lua error (longjmp) to stop the call
enum { kPatternTickSteps = 4096 };
// Replaces string.find/match/gmatch/gsub in the state's string table; calls tick on entry and every kPatternTickSteps
// steps.
void LuaInstallPatterns(lua_State* L, PatternTick tick);

#endif
