// The scripts' pattern functions against the library's: a pattern, a
// replacement, a start and a text from the input, every function run on
// them in a stock state and in one with LuaInstallPatterns, and any
// difference in results or error messages aborts. Input: byte 0 the start
// (signed), byte 1 the pattern's length, byte 2 the replacement's, byte 3
// gsub's count (128 and up: none), then pattern, replacement and text.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "../tests/framework/pattern-probe.h"
#include "lua-patterns.h"

namespace {

// Ticks left before a run counts as runaway: the stock side, which cannot
// be stopped, is then not run at all.
int ticks_left;
const char kSpent[] = "fuzz: steps spent";

void Tick(lua_State* L) {
    if (--ticks_left < 0) luaL_error(L, kSpent);
}

lua_State* Open(bool ours) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    if (ours) LuaInstallPatterns(L, Tick);
    if (!LoadPatternProbe(L)) abort();
    return L;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 4096) return 0;
    static lua_State* stock = Open(false);
    static lua_State* ours = Open(true);
    std::string in((const char*)data + 4, size - 4);
    size_t pn = std::min<size_t>(data[1], in.size());
    size_t rn = std::min<size_t>(data[2], in.size() - pn);
    std::string p = in.substr(0, pn), r = in.substr(pn, rn), s = in.substr(pn + rn);
    int most = data[3] < 128 ? data[3] % 8 : -1;
    ticks_left = 400;
    std::string got = RunPatternProbe(ours, s, p, (int8_t)data[0], r, most);
    if (got.find(kSpent) != std::string::npos) return 0;
    std::string want = RunPatternProbe(stock, s, p, (int8_t)data[0], r, most);
    if (got != want) {
        fprintf(stderr, "pattern [%s] text [%s] init %d repl [%s] most %d\n ours:  %s\n stock: %s\n", p.c_str(),
                s.c_str(), (int8_t)data[0], r.c_str(), most, got.c_str(), want.c_str());
        abort();
    }
    return 0;
}
