// The scripts' pattern functions against the library's: a pattern, a
// replacement, a start and a text from the input, every function run on
// them in a stock state and in one with LuaInstallPatterns, and any
// difference in results or error messages aborts. Input: byte 0 the start
// (signed), byte 1 the pattern's length, byte 2 the replacement's, byte 3
// gsub's count (128 and up: none), then pattern, replacement and text.
#include <ctype.h>
#include <math.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The library's matcher cannot be stopped, and ours skips work the
// library does, so our ticks do not bound its time. Where its repeated
// items and back-references on a text this long could reach millions of
// steps, it runs in a child given two seconds; empty when it needs more.
bool MayRunLong(const std::string& p, size_t n) {
    int repeats = 1;
    for (size_t i = 0; i < p.size(); i++) {
        if (p[i] == '*' || p[i] == '+' || p[i] == '-' || p[i] == '?') repeats++;
        if (p[i] == '%' && i + 1 < p.size() && (isdigit((unsigned char)p[i + 1]) || p[i + 1] == 'b')) repeats++;
    }
    return pow((double)n + 1, repeats) > 1e7;
}

std::string StockInChild(lua_State* stock, const std::string& s, const std::string& p, int init, const std::string& r,
                         int most) {
    int fds[2];
    if (pipe(fds) != 0) abort();
    pid_t child = fork();
    if (child == 0) {
        std::string want = RunPatternProbe(stock, s, p, init, r, most);
        ssize_t ignored = write(fds[1], want.data(), want.size());
        (void)ignored;
        _exit(0);
    }
    close(fds[1]);
    std::string want;
    struct pollfd pfd = {fds[0], POLLIN, 0};
    char buf[4096];
    bool done = false;
    while (poll(&pfd, 1, 2000) > 0) {
        ssize_t got = read(fds[0], buf, sizeof buf);
        if (got <= 0) {
            done = true;
            break;
        }
        want.append(buf, (size_t)got);
    }
    close(fds[0]);
    if (!done) kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return done ? want : std::string();
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
    std::string want = MayRunLong(p, s.size()) ? StockInChild(stock, s, p, (int8_t)data[0], r, most)
                                               : RunPatternProbe(stock, s, p, (int8_t)data[0], r, most);
    if (want.empty()) return 0;  // the library's side ran too long
    if (got != want) {
        fprintf(stderr, "pattern [%s] text [%s] init %d repl [%s] most %d\n ours:  %s\n stock: %s\n", p.c_str(),
                s.c_str(), (int8_t)data[0], r.c_str(), most, got.c_str(), want.c_str());
        abort();
    }
    return 0;
}
