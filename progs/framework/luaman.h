// The Lua manager: owner of every Lua state of the program and of the list
// of native functions that every state receives.
//
// Each state gets the base, math, string and table libraries only, under
// the limits of lua-limits.h (no `newproxy`: a script cannot make a
// finalizer; every library function checks the limits when entered;
// loaders refuse precompiled chunks), the
// built-in bindings (lua-bindings.h) and every function a manager has
// added with AddLuaFunction(s), in order of addition; a function added
// later reaches every state that is open at that moment and every state
// opened afterwards. How a file of script functions is written: lua-args.h.
//
// Scripts never take the program down: compile and run errors are shown as
// popups or log lines (with the file and line, chunk names are "@path"),
// the call returns normally with a default, and every call from C leaves
// the Lua stack as it found it.
#ifndef FRAMEWORK_LUAMAN_H
#define FRAMEWORK_LUAMAN_H

#include <stddef.h>

#include <lua.hpp>

#include "framework-kd.h"
#include "kodo.h"
#include "lua-limits.h"
#include "nstring.h"

// Bytes of the per-state owner block (the first word is the owner pointer).
enum { LUA_OWNER_SPACE = 64 };

// One row of a binding file's table: the global name scripts call, and the
// host function behind it.
struct LuaBinding {
    const char* name;
    lua_CFunction fn;
};

struct LuaFunctionEntry {
    char* name = nullptr;  // heap copy, owned by the manager
    lua_CFunction fn = nullptr;
    bool operator==(const LuaFunctionEntry& o) const { return name == o.name && fn == o.fn; }
};

class LuaManager {
public:
    LuaManager() {}
    // Frees the storage of both lists; states are their owners' business.
    ~LuaManager() {}
    LuaManager(const LuaManager&) = delete;
    LuaManager& operator=(const LuaManager&) = delete;

    bool Initialize();
    void Shutdown();

    // The flags are ignored (callers pass 0). Null when Lua cannot allocate.
    lua_State* OpenLuaState(int flags);
    // A state of its own kind: the stock set-up and the built-in functions
    // only. It is on no list, so functions added with AddLuaFunction, before
    // or after, never reach it; its owner registers what it needs and
    // closes it.
    lua_State* OpenBuiltinsOnlyLuaState();
    void CloseLuaState(lua_State* L);

    void AddLuaFunction(const char* name, lua_CFunction fn);
    static void RegisterLuaFunc(lua_State* L, const char* name, lua_CFunction fn);
    // A binding file's whole table, in its order: for every state
    // (AddLuaFunctions), or for the one state a manager owns.
    void AddLuaFunctions(const LuaBinding* rows, int count);
    static void RegisterLuaFuncs(lua_State* L, const LuaBinding* rows, int count);
    template <size_t N>
    void AddLuaFunctions(const LuaBinding (&rows)[N]) {
        AddLuaFunctions(rows, (int)N);
    }
    template <size_t N>
    static void RegisterLuaFuncs(lua_State* L, const LuaBinding (&rows)[N]) {
        RegisterLuaFuncs(L, rows, (int)N);
    }

    // A null state means the main state.
    void ExecLuaFile(lua_State* L, const char* path);
    bool ExecLuaString(lua_State* L, const char* text);
    bool DoesLuaFunctionExist(lua_State* L, const char* name);

    // The owner lives in a block of LUA_OWNER_SPACE bytes anchored in the
    // state's registry, so coroutines of the state find it too.
    static void SetLuaStateUserData(lua_State* L, void* owner);
    // The start of the owner block (its first word is the owner), or null
    // for a state that was not opened here.
    static void* GetLuaStateUserData(lua_State* L);
    static void* GetLuaStateOwner(lua_State* L);

    // lua_pcall (no message handler) under the instruction budget, the
    // time limit and the memory caps of the states opened here: the
    // outermost call starts the count and the clock.
    static int PCall(lua_State* L, int nargs, int nresults);
    // lua_cpcall under the same limits: `body` pushes what it calls and
    // its arguments itself, so nothing that can allocate (and so raise)
    // runs outside the protected call.
    static int CPCall(lua_State* L, lua_CFunction body, void* ud);
    // True when the last call in the state was stopped by its budget, its
    // time limit, a memory cap or a library call refused as too long.
    static bool BudgetSpent(lua_State* L);
    // True while a protected call of the state runs.
    static bool IsRunning(lua_State* L);

    // Call a global script function with one result. A null state gives 0;
    // an error shows "Unable to call '%s'\n\n%s\n" and gives 0. A function
    // that spends its budget is reported in the log and not called again.
    double CallLuaFunction(lua_State* L, const char* name);
    double CallLuaFunctionN(lua_State* L, const char* name, double a);
    double CallLuaFunction2N(lua_State* L, const char* name, double a, double b);
    double CallLuaFunction3N(lua_State* L, const char* name, double a, double b, double c);
    double CallLuaFunctionS(lua_State* L, const char* name, const char* s);
    double CallLuaFunction2S(lua_State* L, const char* name, const char* s1, const char* s2);
    int CallLuaFunctionI(lua_State* L, const char* name, int i);
    int CallLuaFunction2I(lua_State* L, const char* name, int i, int j);
    double CallLuaFunctionFFSI(lua_State* L, const char* name, double a, double b, const char* s, int i);

    lua_State* GetMainState() const { return main_state; }
    int GetNumberOfOpenStates() const { return states.count; }
    int GetNumberOfFunctions() const { return functions.count; }
    bool IsStateOpen(lua_State* L) const { return states.Find(L) >= 0; }

private:
    friend struct LuaFunctionNamesAtExit;  // frees the name copies at exit

    struct CallArg {
        char kind;  // 'n' number, 'i' integer, 's' string
        double n;
        lua_Integer i;
        const char* s;
    };
    // Pushes the global and the arguments inside one protected call, so
    // neither a metatable on the globals nor an allocation can raise
    // outside it; restores the top.
    struct GlobalCall;
    static int CallGlobalInside(lua_State* L);
    bool CallGlobal(lua_State* L, const char* name, const CallArg* args, int count, double* number,
                    lua_Integer* integer);
    static int SetUpState(lua_State* L);
    static lua_State* NewState(bool builtins_only);
    static void CloseState(lua_State* L);

    lua_State* main_state = nullptr;
    nArray<LuaFunctionEntry> functions;
    nArray<lua_State*> states;
};

extern LuaManager lua_man;

// The replacement of `string.format` that every state gets (exposed for
// the fuzz target and the tests): each item is produced into 256 bytes, so
// it is cut at 255 characters, whatever width or precision is asked for;
// a "%s" item without precision of 100 characters or more is kept whole.
int LuaStringFormat(lua_State* L);

#endif
