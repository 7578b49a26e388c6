// The built-in native functions that every Lua state receives, in their
// fixed registration order. Scripts in the data call them by these global
// names, so names, argument orders, defaults and results never change.
//
// Every binding reads its arguments with Lua's non-raising conversions
// (LuaArgs, lua-args.h): a wrong or missing argument is reported once as a
// developer popup and stands as null text / 0, and a binding whose text
// argument is missing returns without touching the engine. No binding
// raises a Lua error. The Lua manager registers the table in every state.
#ifndef FRAMEWORK_LUA_BINDINGS_H
#define FRAMEWORK_LUA_BINDINGS_H

#include "luaman.h"

extern const LuaBinding lua_builtin_bindings[];
extern const int lua_builtin_binding_count;

// Key or input id of a key name (exact, case-sensitive); 0 for null or an
// unknown name.
int KD_GetKeyByName(const char* name);

// Alignment flags of the drawing functions' alignment text: "BOTTOM" 2,
// "RIGHT" 1, "HCENTER" 8, "VCENTER" 4, and "CENTER" 12 when neither of the
// two centres occurs. Not the UI's ParseAlignFlags: "BOTTOM CENTER" is 14
// here and 2 there, each fixed by the texts already written for it.
int ParseDrawAlignFlags(const char* text);

#endif
