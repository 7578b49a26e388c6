// What the scripts' limits cost: each case is the same script run in a
// plain state (the system library's functions) and in a state of the Lua
// manager (the limits, its own pattern functions), called as the game
// calls, in one run, then a table of the two medians and their ratio. A
// case is a row of kCases: a script defining run(x), called with ordinary
// prose of each listed size, or with a number where the size is 0 (a
// call's own cost).
// Times are processor time, the medians of the repetitions:
//   build-opt/bench/bench_lua_limits [--benchmark_filter=lines] [--benchmark_repetitions=5]
//       [--benchmark_enable_random_interleaving=true]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <lua.hpp>

#include "lua-patterns.h"
#include "luaman.h"

namespace {

struct Case {
    const char* name;
    const char* script;
    std::vector<int> sizes_kb;
};

const std::vector<int> kWithMega = {1, 10, 100, 1024};

const std::vector<int> kNoText = {0};

// Defines sorted(order), which sorts a fresh copy of `base`, made by
// make(n, as_words) (the case's script goes on with its arguments).
#define SORT_PRELUDE                                                                     \
    "local base = {}\n"                                                                  \
    "local function sorted(order) local t = {} for i = 1, #base do t[i] = base[i] end\n" \
    "  table.sort(t, order) return t[1] end\n"                                           \
    "local function make(n, as_words) local seed = 12345 for i = 1, n do\n"              \
    "  seed = (seed * 1103515245 + 12345) % 2147483648\n"                                \
    "  base[i] = as_words and ('w' .. seed % 100000) or seed end end\n"                  \
    "make("

const Case kCases[] = {
    {"trivial call", "function run(x) return x end", kNoText},
    // What a screen's OnUpdate does in a frame: fields, arithmetic, a
    // loop, a few library calls.
    {"update-style call",
     "local t = {x = 0, y = 0, items = {}}\n"
     "function run(dt)\n"
     "  t.x = t.x + dt * 60\n"
     "  t.y = math.sin(t.x) * 10\n"
     "  local s = tostring(math.floor(t.x))\n"
     "  if #s > 3 then s = string.sub(s, 1, 3) end\n"
     "  for i = 1, 10 do t.items[i] = (t.items[i] or 0) + i * dt end\n"
     "  return math.max(t.y, 0) + #s + select('#', unpack(t.items))\n"
     "end\n",
     kNoText},
    // Library calls, whose entry check is all the limits add: 300 of
    // math, 200 of string.sub and #, a match that fails at its first
    // character.
    {"300 math calls",
     "local sin, floor, max = math.sin, math.floor, math.max\n"
     "function run(x) local s = 0 for i = 1, 100 do s = s + max(floor(sin(i * x) * 10), 0) end return s end",
     kNoText},
    {"200 sub/len calls",
     "local sub, len, t = string.sub, string.len, 'the worm crawls over a green hill'\n"
     "function run(x) local n = 0 for i = 1, 100 do n = n + len(sub(t, i % 20, i % 20 + 5)) end return n end",
     kNoText},
    {"100 failing matches",
     "local find, t = string.find, 'the worm crawls over a green hill'\n"
     "function run(x) local n = 0 for i = 1, 100 do if find(t, '^%d') then n = n + 1 end end return n end",
     kNoText},
    // table.sort on a copy of 1,000 and of 100,000 numbers in no order, by
    // `<` and by a function, and of 1,000 words: the system library's
    // sort against the limits' merge sort.
    {"sort 1000 numbers", SORT_PRELUDE "1000)\nfunction run(x) return sorted() end", kNoText},
    {"sort 1000 by function", SORT_PRELUDE "1000)\nfunction run(x) return sorted(function(a, b) return a > b end) end",
     kNoText},
    {"sort 100000 numbers", SORT_PRELUDE "100000)\nfunction run(x) return sorted() end", kNoText},
    {"sort 1000 words", SORT_PRELUDE "1000, true)\nfunction run(x) return sorted() end", kNoText},
    {"lines", "function run(s) return (select(2, s:gsub('(.-)\\n', function(l) end))) end", kWithMega},
    {"fields", "function run(s) return (select(2, s:gsub('(.-),', function(f) end))) end", kWithMega},
    {"first sentence", "function run(s) return s:match('(.-)%.') end", kWithMega},
    {"tag pair", "function run(s) return s:match('<(%w+)>(.-)</%1>') end", kWithMega},
    {"key = value", "function run(s) return s:match('(%w+)%s*=%s*(%w+)') end", kWithMega},
    {"gmatch lines", "function run(s) local n = 0 for l in s:gmatch('[^\\n]+') do n = n + 1 end return n end",
     kWithMega},
    {"trim", "function run(s) return #s:match('^%s*(.-)%s*$') end", kWithMega},
    {"balanced", "function run(s) local n = 0 for b in s:gmatch('%b()') do n = n + 1 end return n end", kWithMega},
    {"words from pos",
     "function run(s) local pos, n = 1, 0 while true do local a, b = s:find('%a+', pos) "
     "if not a then return n end n = n + 1 pos = b + 1 end end",
     kWithMega},
    {"first word", "function run(s) return s:match('(%a+)') end", kWithMega},
    {"plain find", "function run(s) return s:find('<b>', 1, true) end", kWithMega},
    {"find without magic", "function run(s) return s:find('bold</b>') end", kWithMega},
    {"plain find, common lead", "function run(s) return s:find('the stone under grey skies', 1, true) end", kWithMega},
};

// Words, commas, asides in brackets, sentences and lines of about 70
// characters; one tag pair at the very end.
std::string Prose(size_t size) {
    static const char* const kWords[] = {"the",   "worm",  "crawls", "over",  "a",      "green", "hill",
                                         "while", "rain",  "falls",  "on",    "every",  "leaf",  "and",
                                         "stone", "under", "grey",   "skies", "slowly", "home"};
    std::string s;
    unsigned seed = 12345, line = 0;
    while (s.size() < size) {
        seed = seed * 1103515245 + 12345;
        unsigned r = seed >> 16;
        const char* w = kWords[r % 20];
        if (r % 97 == 0) {
            s += "(";
            s += w;
            s += " aside)";
        } else {
            s += w;
        }
        s += r % 11 == 0 ? ". " : r % 7 == 0 ? ", " : " ";
        if (s.size() - line > 70) {
            s.back() = '\n';
            line = s.size();
        }
    }
    s.resize(size - std::min<size_t>(size, 12));
    return s + "<b>bold</b>\n";
}

// The sides: how each state is made, called and closed. The matcher side
// is a plain state with only the pattern functions replaced (its tick does
// nothing), run on the cases with a text.
struct Side {
    const char* name;
    lua_State* (*open)();
    int (*call)(lua_State* L, int nargs, int nresults);
    void (*close)(lua_State* L);
};
const Side kSides[] = {
    {"plain",
     [] {
         lua_State* L = luaL_newstate();
         if (L) luaL_openlibs(L);
         return L;
     },
     [](lua_State* L, int nargs, int nresults) { return lua_pcall(L, nargs, nresults, 0); }, lua_close},
    {"guarded", [] { return lua_man.OpenBuiltinsOnlyLuaState(); }, LuaManager::PCall,
     [](lua_State* L) { lua_man.CloseLuaState(L); }},
    {"matcher",
     [] {
         lua_State* L = luaL_newstate();
         if (L) luaL_openlibs(L), LuaInstallPatterns(L, [](lua_State*) {});
         return L;
     },
     [](lua_State* L, int nargs, int nresults) { return lua_pcall(L, nargs, nresults, 0); }, lua_close},
};
const size_t kMatcherSide = 2;

void Run(benchmark::State& st, const Case& c, const Side& side, int kb) {
    lua_State* L = side.open();
    if (!L) {
        st.SkipWithError("no state");
        return;
    }
    if (luaL_loadstring(L, c.script) != 0 || side.call(L, 0, 0) != 0) {
        st.SkipWithError(lua_tostring(L, -1));
        side.close(L);
        return;
    }
    std::string text = kb ? Prose((size_t)kb * 1024) : std::string();
    lua_getglobal(L, "run");
    int run = lua_gettop(L);
    if (kb)
        lua_pushlstring(L, text.data(), text.size());
    else
        lua_pushnumber(L, 0.016);
    int arg = lua_gettop(L);
    for (auto _ : st) {
        lua_pushvalue(L, run);
        lua_pushvalue(L, arg);
        if (side.call(L, 1, 1) != 0) {
            st.SkipWithError(lua_tostring(L, -1));
            break;
        }
        lua_pop(L, 1);
    }
    side.close(L);
}

// Keeps each row's time per side, for the table of ratios at the end.
struct RatioReporter : benchmark::ConsoleReporter {
    std::map<std::string, std::map<std::string, double>> us;  // row -> side -> microseconds
    std::vector<std::string> order;                           // as registered
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred || (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median")) continue;
            std::string name = r.run_name.function_name;
            size_t cut = name.rfind('/');
            std::string row = name.substr(0, cut), side = name.substr(cut + 1);
            us[row][side] = r.GetAdjustedCPUTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        printf("\n%-36s %14s %14s %8s %14s %8s\n", "case", kSides[0].name, kSides[1].name, "ratio",
               kSides[kMatcherSide].name, "ratio");
        for (const std::string& row : order) {
            auto& t = us[row];
            double a = t[kSides[0].name], b = t[kSides[1].name], m = t[kSides[kMatcherSide].name];
            printf("%-36s %11.4f us %11.4f us %7.2fx", row.c_str(), a, b, a > 0 ? b / a : 0.0);
            if (m > 0) printf(" %11.4f us %7.2fx", m, a > 0 ? m / a : 0.0);
            printf("\n");
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    for (const Case& c : kCases)
        for (int kb : c.sizes_kb)
            for (const Side& side : kSides) {
                if (kb == 0 && &side == &kSides[kMatcherSide]) continue;
                std::string name = std::string(c.name) + (kb ? "/" + std::to_string(kb) + "KB" : "") + "/" + side.name;
                benchmark::RegisterBenchmark(name.c_str(), [&c, &side, kb](benchmark::State& st) {
                    Run(st, c, side, kb);
                })->Unit(benchmark::kMicrosecond);
            }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    for (const Case& c : kCases)
        for (int kb : c.sizes_kb)
            reporter.order.push_back(std::string(c.name) + (kb ? "/" + std::to_string(kb) + "KB" : ""));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
