// Script functions: reading their arguments, answering their results, and
// the shape every file of them has (features.cpp is a short example,
// profiles.cpp one with aliases and guarded writes, lua-bindings.cpp the
// long one).
//
// A new binding file:
//
//   #include "lua-args.h"
//
//   namespace {
//
//   // Each function is `luaf_<Name>`; scripts call it as `<Name>`.
//   int luaf_FM_UsesPackage(lua_State* L) {
//       LuaArgs a(L, __func__);  // its reports say "FM_UsesPackage"
//       return LuaReturnBool(L, feature_man.UsesPackage(a.Text(1)));
//   }
//
//   // One table, a row per global name, in registration order.
//   const LuaBinding kFeatureBindings[] = {
//       LUA_BINDING(FM_UsesPackage),  // {"FM_UsesPackage", luaf_FM_UsesPackage}
//       {"UsesPackage", luaf_FM_UsesPackage},  // a second name: written out
//   };
//   // Scripts in the data call these names: a row goes or comes on purpose
//   // only.
//   static_assert(std::size(kFeatureBindings) == 2, "the feature functions");
//
//   }  // namespace
//
//   // One registration call, in the manager's start-up:
//   lua_man.AddLuaFunctions(kFeatureBindings);  // every state, now and later
//   // or, for the one state a manager owns:
//   LuaManager::RegisterLuaFuncs(own_state, kEffectBindings);
//
// Rules every binding keeps:
// - It never raises a Lua error: no luaL_check*, luaL_opt*, luaL_arg* or
//   luaL_error. A script's slip must not stop the rest of the script, and
//   an error unwinding through C++ frames skips their destructors.
// - A bad argument is reported by LuaArgs, one popup line naming the
//   function and the argument. The binding then carries on with the
//   stand-in value (null text, 0), or, where acting on the stand-in would
//   do harm (deleting profile 0 for a bad index), answers its default
//   without acting: test Failed() after reading the arguments.
// - It pushes exactly the results it returns (LuaReturn*).
// tests/framework/test_bindings.cpp calls every function of every state
// with wrong arguments and holds these rules; a new file's registration
// call goes there too, and its count into the total the test expects.
#ifndef FRAMEWORK_LUA_ARGS_H
#define FRAMEWORK_LUA_ARGS_H

#include <iterator>  // std::size, for the count checks of the tables

#include <lua.hpp>

#include "luaman.h"

// A table row whose global name is the function's name without "luaf_".
#define LUA_BINDING(Name) \
    { #Name, luaf_##Name }

// The arguments of one call of a script function, read by position with
// Lua's non-raising conversions.
class LuaArgs {
public:
    // `fn` names the function in reports: pass __func__ from a luaf_
    // function (the prefix is dropped), or a registered name.
    LuaArgs(lua_State* L, const char* fn);

    // The argument is there; an explicit nil counts as there.
    bool Has(int i) const { return i >= 1 && i <= top; }
    // A text (a number stands as its text). Null, reported, when it is
    // missing or of another kind.
    const char* Text(int i) const;
    // `count` texts from argument `first` on, into `out`; false when any
    // of them was bad (each one reported).
    bool Texts(int first, int count, const char** out) const;
    // A text that may be left out: null, unreported, when missing or nil;
    // null, reported, when of another kind.
    const char* OptText(int i) const;
    // A number (a numeric text counts). 0, reported, otherwise.
    double Number(int i) const;
    float Float(int i) const { return (float)Number(i); }
    // A number truncated toward zero like lua_tointeger, but clamped to
    // the int range (casting an out-of-range double is undefined); NaN 0.
    int Int(int i) const;
    // Lua's truth: false only for nil, false and a missing argument.
    bool Flag(int i) const { return Has(i) && lua_toboolean(L, i); }

    // True once any argument read so far has been reported.
    bool Failed() const { return failed; }
    // "Lua <fn>: argument <i> should be <what>.", a popup at level 1.
    void Report(int i, const char* what) const;

    lua_State* const L;

private:
    const char* fn;
    int top;
    mutable bool failed = false;
};

// Results: each pushes one value and answers the count to return, so a
// binding ends with `return LuaReturn...(L, value);`.
inline int LuaReturnBool(lua_State* L, bool value) {
    lua_pushboolean(L, value);
    return 1;
}
inline int LuaReturnInt(lua_State* L, lua_Integer value) {
    lua_pushinteger(L, value);
    return 1;
}
inline int LuaReturnNumber(lua_State* L, double value) {
    lua_pushnumber(L, value);
    return 1;
}
// A text, or no result at all (nil to the script) for null.
inline int LuaReturnText(lua_State* L, const char* text) {
    if (!text) return 0;
    lua_pushstring(L, text);
    return 1;
}

#endif
