// What the script limits cost: each case's script in a state of the Lua
// manager (the limits, the replacement functions) and in a plain state
// with the system library's functions, called the same number of times,
// sides alternated round by round in one run. Prints processor
// nanoseconds a call (the median of the rounds) for each side and their
// ratio.
//   bench_lua_limits [rounds]
// Build Release; the framework alone, no engine (nothing here logs).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include <lua.hpp>

#include "luaman.h"

namespace {

struct Case {
    const char* name;
    const char* script;  // defines F (x)
    double arg;
    int calls;  // a round's calls
};

const Case kCases[] = {
    {"trivial call", "function F (x) return x end", 1, 400000},
    // What a screen's OnUpdate does in a frame: fields, arithmetic, a
    // loop, a few library calls.
    {"update-style call",
     "local t = {x = 0, y = 0, items = {}}\n"
     "function F (dt)\n"
     "  t.x = t.x + dt * 60\n"
     "  t.y = math.sin (t.x) * 10\n"
     "  local s = tostring (math.floor (t.x))\n"
     "  if #s > 3 then s = string.sub (s, 1, 3) end\n"
     "  for i = 1, 10 do t.items[i] = (t.items[i] or 0) + i * dt end\n"
     "  return math.max (t.y, 0) + #s + select ('#', unpack (t.items))\n"
     "end\n",
     0.016, 100000},
};

// The thread's processor time: a busy machine's other work does not count.
double NowNs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

bool Load(lua_State* L, const char* script) {
    if (luaL_loadbuffer(L, script, strlen(script), "=bench") == 0 && lua_pcall(L, 0, 0, 0) == 0) return true;
    fprintf(stderr, "bench_lua_limits: %s\n", lua_tostring(L, -1));
    return false;
}

// A round in the manager's state: its call family, as the game calls.
double GuardedRound(lua_State* L, const Case& c) {
    double start = NowNs();
    double sum = 0;
    for (int i = 0; i < c.calls; i++) sum += lua_man.CallLuaFunctionN(L, "F", c.arg);
    double ns = (NowNs() - start) / c.calls;
    return sum == -1 ? 0 : ns;
}

// A round in the plain state: the same look-up, argument and call.
double PlainRound(lua_State* L, const Case& c) {
    double start = NowNs();
    double sum = 0;
    for (int i = 0; i < c.calls; i++) {
        lua_getglobal(L, "F");
        lua_pushnumber(L, c.arg);
        if (lua_pcall(L, 1, 1, 0) == 0) sum += lua_tonumber(L, -1);
        lua_pop(L, 1);
    }
    double ns = (NowNs() - start) / c.calls;
    return sum == -1 ? 0 : ns;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    printf("%-22s %12s %12s %8s\n", "case", "guarded ns", "plain ns", "ratio");
    for (const Case& c : kCases) {
        lua_State* guarded = lua_man.OpenBuiltinsOnlyLuaState();
        lua_State* plain = luaL_newstate();
        if (!guarded || !plain) return 1;
        luaL_openlibs(plain);
        if (!Load(guarded, c.script) || !Load(plain, c.script)) return 1;
        std::vector<double> g, p;
        GuardedRound(guarded, c);  // warm both
        PlainRound(plain, c);
        for (int r = 0; r < rounds; r++) {
            g.push_back(GuardedRound(guarded, c));
            p.push_back(PlainRound(plain, c));
        }
        const double gm = Median(g), pm = Median(p);
        printf("%-22s %12.1f %12.1f %8.2f\n", c.name, gm, pm, gm / pm);
        lua_man.CloseLuaState(guarded);
        lua_close(plain);
    }
    return 0;
}
