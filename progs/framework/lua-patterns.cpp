// The scripts' pattern functions (find, match, gmatch, gsub) on a matcher
// of our own, so that the time a match takes is counted as it goes rather
// than guessed beforehand: a backtracking pattern on a long text is stopped
// by the caller's tick, while an ordinary one costs what the library's does.
// Results, errors and their messages are the library's, checked against it
// by tests/framework/test_luaman.cpp and fuzz/fuzz_patterns.cpp.
//
// A pattern ends at its first zero byte, as the library reads it. Nothing
// here owns a destructor: the tick, a replacement function and every error
// leave by longjmp.
#include "lua-patterns.h"

#include <ctype.h>
#include <pthread.h>
#include <stddef.h>
#include <string.h>

#include <lua.hpp>

namespace {

enum { kMaxCaptures = 32 };
// A capture's length while its ')' is not reached, and for '()'.
const ptrdiff_t kOpen = -1, kPosition = -2;
// Left free below the deepest match, for the error it raises and for the
// handler that reports it.
const size_t kStackMargin = 256 * 1024;
// Sets longer than this are not used to skip bytes: the loop that skips
// spends the set's length at every byte before it counts its steps.
const ptrdiff_t kShortSet = 32;

struct Capture {
    const char* at;
    ptrdiff_t len;
};

struct Match {
    const char* text;
    const char* end;
    lua_State* L;
    PatternTick tick;
    ptrdiff_t budget;  // steps left before the next tick
    const char* stack_floor;
    int level;  // captures opened
    Capture cap[kMaxCaptures];
};

void NoTick(lua_State*) {}

// Where a match may recurse down to on this thread: the library's matcher
// recurses once per quantified item or capture, without a bound, so a long
// pattern could otherwise run off the stack.
const char* StackFloor() {
    static thread_local const char* floor;
    if (!floor) {
        char here;
        pthread_attr_t a;
        void* low = nullptr;
        size_t size = 0;
        if (pthread_getattr_np(pthread_self(), &a) == 0) {
            pthread_attr_getstack(&a, &low, &size);
            pthread_attr_destroy(&a);
        }
        // A small stack keeps a quarter free; one not known, a megabyte.
        floor = low ? (char*)low + (size / 4 < kStackMargin ? size / 4 : kStackMargin) : &here - 1024 * 1024;
    }
    return floor;
}

inline void Spend(Match* m, ptrdiff_t steps) {
    if ((m->budget -= steps) <= 0) {
        m->budget = kPatternTickSteps;
        m->tick(m->L);
    }
}

void Begin(Match* m, lua_State* L, PatternTick tick, const char* s, size_t n) {
    m->text = s;
    m->end = s + n;
    m->L = L;
    m->tick = tick;
    m->budget = kPatternTickSteps;
    m->stack_floor = StackFloor();
    m->level = 0;
}

PatternTick TickAt(lua_State* L, int upvalue) {
    return reinterpret_cast<PatternTick>(lua_touserdata(L, lua_upvalueindex(upvalue)));
}

// ---------------------------------------------------------------------------
// Single items: '.', '%x', '[set]' or a character

bool CtypeClass(int c, int cl) {
    int in;
    switch (tolower(cl)) {
        case 'a': in = isalpha(c); break;
        case 'c': in = iscntrl(c); break;
        case 'd': in = isdigit(c); break;
        case 'l': in = islower(c); break;
        case 'p': in = ispunct(c); break;
        case 's': in = isspace(c); break;
        case 'u': in = isupper(c); break;
        case 'w': in = isalnum(c); break;
        case 'x': in = isxdigit(c); break;
        case 'z': in = c == 0; break;
        default: return cl == c;  // '%' before anything else quotes it
    }
    return isupper(cl) ? !in : in != 0;
}

// A set of bytes.
struct Bytes {
    unsigned long long w[4];
    void Add(int c) { w[c >> 6] |= 1ull << (c & 63); }
    bool Has(int c) const { return (w[c >> 6] >> (c & 63)) & 1; }
};

// Each class letter's bytes (the upper case its complement), worked out
// once from the C library's character types; `known` marks the letters.
struct ClassTable {
    Bytes of[128] = {};
    bool known[128] = {};
    ClassTable() {
        for (int cl = 'A'; cl <= 'z'; cl++) {
            known[cl] = isalpha(cl) && strchr("acdlpsuwxz", tolower(cl));
            for (int c = 0; known[cl] && c < 256; c++)
                if (CtypeClass(c, cl)) of[cl].Add(c);
        }
    }
};
const ClassTable kClasses;

inline bool InClass(int c, int cl) { return cl < 128 && kClasses.known[cl] ? kClasses.of[cl].Has(c) : cl == c; }

// `open` is the set's '[', `close` its ']'.
bool InSet(int c, const char* open, const char* close) {
    const char* p = open + 1;
    bool negated = *p == '^';
    if (negated) p++;
    for (; p < close; p++) {
        if (*p == '%') {
            if (InClass(c, (unsigned char)*++p)) return !negated;
        } else if (p[1] == '-' && p + 2 < close) {
            if ((unsigned char)p[0] <= c && c <= (unsigned char)p[2]) return !negated;
            p += 2;
        } else if ((unsigned char)*p == c) {
            return !negated;
        }
    }
    return negated;
}

// Past the item starting at p. A set's first member may be ']' itself,
// and '%' quotes whatever follows it.
const char* ItemEnd(Match* m, const char* p) {
    char c = *p++;
    if (c == '%') {
        if (!*p) luaL_error(m->L, "malformed pattern (ends with '%%')");
        return p + 1;
    }
    if (c != '[') return p;
    if (*p == '^') p++;
    do {
        if (!*p) luaL_error(m->L, "malformed pattern (missing ']')");
        if (*p++ == '%' && *p) p++;
    } while (*p != ']');
    return p + 1;
}

// The bytes of set open..close; its members as InSet reads them.
void SetBytes(Bytes* b, const char* open, const char* close) {
    const char* p = open + 1;
    bool negated = *p == '^';
    if (negated) p++;
    memset(b, 0, sizeof *b);
    for (; p < close; p++) {
        int c = (unsigned char)*p;
        if (c == '%') {
            int cl = (unsigned char)*++p;
            if (cl < 128 && kClasses.known[cl])
                for (int i = 0; i < 4; i++) b->w[i] |= kClasses.of[cl].w[i];
            else
                b->Add(cl);
        } else if (p[1] == '-' && p + 2 < close) {
            for (int hi = (unsigned char)p[2]; c <= hi; c++) b->Add(c);
            p += 2;
        } else {
            b->Add(c);
        }
    }
    if (negated)
        for (auto& w : b->w) w = ~w;
}

inline bool ItemHolds(int c, const char* p, const char* ep) {
    switch (*p) {
        case '.': return true;
        case '%': return InClass(c, (unsigned char)p[1]);
        case '[': return InSet(c, p, ep - 1);
        default: return (unsigned char)*p == c;
    }
}

// ---------------------------------------------------------------------------
// The matcher: the end of a match of pattern p at s, or null

const char* MatchAt(Match* m, const char* s, const char* p);

// How many bytes from s on the item p..ep holds for. A set read member
// by member costs its length at each byte: past a few bytes its bytes are
// worked out once.
ptrdiff_t Span(const char* s, const char* end, const char* p, const char* ep) {
    const char* q = s;
    switch (*p) {
        case '.': return end - s;
        case '%':
            while (q < end && InClass((unsigned char)*q, (unsigned char)p[1])) q++;
            return q - s;
        case '[': {
            for (const char* stop = end - s > 16 ? s + 16 : end; q < stop; q++)
                if (!InSet((unsigned char)*q, p, ep - 1)) return q - s;
            if (q == end) return q - s;
            Bytes b;
            SetBytes(&b, p, ep - 1);
            while (q < end && b.Has((unsigned char)*q)) q++;
            return q - s;
        }
        default:
            while (q < end && *q == *p) q++;
            return q - s;
    }
}

const char* Greedy(Match* m, const char* s, const char* p, const char* ep) {
    ptrdiff_t n = Span(s, m->end, p, ep);
    Spend(m, n * (ep - p));
    for (;; n--) {
        if (const char* e = MatchAt(m, s + n, ep + 1)) return e;
        if (n == 0) return nullptr;
    }
}

// The byte the rest of a pattern must begin with, past captures opened or
// closed there, or -1 when it may begin otherwise.
int LeadingByte(const char* p) {
    while (*p == '(' || *p == ')') p++;
    int c = (unsigned char)*p;
    if (c == '%') {
        c = (unsigned char)*++p;
        if (!c || isalnum(c)) return -1;
    } else if (!c || strchr(".[$", c)) {
        return -1;
    }
    return p[1] && strchr("*?-", p[1]) ? -1 : c;
}

const char* Lazy(Match* m, const char* s, const char* p, const char* ep) {
    if (const char* e = MatchAt(m, s, ep + 1)) return e;
    // The rest tried once (so that any error in it is met), it is tried
    // again only where its first byte is, as it fails elsewhere.
    int lead = ep - p > kShortSet ? -1 : LeadingByte(ep + 1);
    for (;;) {
        const char* at = s;
        if (lead < 0 || *p != '.') {
            do {
                if (at == m->end || !ItemHolds((unsigned char)*at, p, ep)) return nullptr;
            } while (++at < m->end && lead >= 0 && (unsigned char)*at != lead);
        } else {
            if (at == m->end) return nullptr;
            at = (const char*)memchr(at + 1, lead, m->end - at - 1);
            if (!at) return nullptr;
        }
        Spend(m, (at - s) * (ep - p));
        s = at;
        if (const char* e = MatchAt(m, s, ep + 1)) return e;
    }
}

const char* OpenCapture(Match* m, const char* s, const char* p, ptrdiff_t len) {
    if (m->level >= kMaxCaptures) luaL_error(m->L, "too many captures");
    m->cap[m->level].at = s;
    m->cap[m->level].len = len;
    m->level++;
    const char* e = MatchAt(m, s, p);
    if (!e) m->level--;
    return e;
}

const char* CloseCapture(Match* m, const char* s, const char* p) {
    int l = m->level - 1;
    while (l >= 0 && m->cap[l].len != kOpen) l--;
    if (l < 0) luaL_error(m->L, "invalid pattern capture");
    m->cap[l].len = s - m->cap[l].at;
    const char* e = MatchAt(m, s, p);
    if (!e) m->cap[l].len = kOpen;
    return e;
}

// %bxy at s: past the y that balances the x at s.
const char* Balance(Match* m, const char* s, const char* p) {
    if (!p[0] || !p[1]) luaL_error(m->L, "unbalanced pattern");
    if (s == m->end || *s != p[0]) return nullptr;
    int depth = 1;
    for (const char* q = s + 1; q < m->end; q++) {
        if (*q == p[1]) {
            if (--depth == 0) {
                Spend(m, q - s);
                return q + 1;
            }
        } else if (*q == p[0]) {
            depth++;
        }
    }
    Spend(m, m->end - s);
    return nullptr;
}

// %1..%9 at s; a position capture never matches text.
const char* SameAsCapture(Match* m, const char* s, char digit) {
    int l = digit - '1';
    if (l < 0 || l >= m->level || m->cap[l].len == kOpen) luaL_error(m->L, "invalid capture index");
    ptrdiff_t len = m->cap[l].len;
    Spend(m, len + 1);
    if (len < 0 || m->end - s < len || memcmp(m->cap[l].at, s, len) != 0) return nullptr;
    return s + len;
}

const char* MatchAt(Match* m, const char* s, const char* p) {
    if ((const char*)__builtin_frame_address(0) < m->stack_floor) luaL_error(m->L, "pattern too complex");
    for (;;) {
        switch (*p) {
            case '\0': return s;
            case '(':
                if (p[1] == ')') return OpenCapture(m, s, p + 2, kPosition);
                return OpenCapture(m, s, p + 1, kOpen);
            case ')': return CloseCapture(m, s, p + 1);
            case '$':
                if (!p[1]) return s == m->end ? s : nullptr;
                break;  // elsewhere a plain '$'
            case '%':
                if (p[1] == 'b') {
                    s = Balance(m, s, p + 2);
                    if (!s) return nullptr;
                    p += 4;
                    continue;
                }
                if (p[1] == 'f') {
                    p += 2;
                    if (*p != '[') luaL_error(m->L, "missing '[' after '%%f' in pattern");
                    const char* ep = ItemEnd(m, p);
                    Spend(m, ep - p);
                    int before = s == m->text ? 0 : (unsigned char)s[-1];
                    int at = s == m->end ? 0 : (unsigned char)*s;
                    if (InSet(before, p, ep - 1) || !InSet(at, p, ep - 1)) return nullptr;
                    p = ep;
                    continue;
                }
                if (isdigit((unsigned char)p[1])) {
                    s = SameAsCapture(m, s, p[1]);
                    if (!s) return nullptr;
                    p += 2;
                    continue;
                }
                break;
        }
        const char* ep = ItemEnd(m, p);
        Spend(m, ep - p);
        bool holds = s < m->end && ItemHolds((unsigned char)*s, p, ep);
        switch (*ep) {
            case '?':
                if (holds)
                    if (const char* e = MatchAt(m, s + 1, ep + 1)) return e;
                p = ep + 1;
                continue;
            case '*': return Greedy(m, s, p, ep);
            case '+': return holds ? Greedy(m, s + 1, p, ep) : nullptr;
            case '-': return Lazy(m, s, p, ep);
            default:
                if (!holds) return nullptr;
                s++;
                p = ep;
        }
    }
}

// ---------------------------------------------------------------------------
// Where a match may start: where the pattern's first item holds. Skipping
// the other places gives what trying each would (no error is met before
// that item), at the cost of a loop rather than a match per byte.

struct Start {
    enum { kUnread, kAnywhere, kByte, kItem } kind;
    const char* p;
    const char* ep;
};

// The first item of an unanchored pattern, behind at most a few captures'
// '(' (more could mean "too many captures", which trying raises).
Start FirstItem(Match* m, const char* p) {
    for (int opened = 0; *p == '(' && opened < 8; opened++) p += p[1] == ')' ? 2 : 1;
    Start st = {Start::kAnywhere, p, p};
    switch (*p) {
        case '\0':
        case '(':
        case ')':
        case '.': return st;
        case '$':
            if (!p[1]) return st;
            break;
        case '%':
            if (p[1] == 'b' && p[2] && p[3]) {
                st.kind = Start::kByte;  // the opening byte
                st.p = p + 2;
                return st;
            }
            if (p[1] == 'b' || p[1] == 'f' || isdigit((unsigned char)p[1])) return st;
            break;
    }
    st.ep = ItemEnd(m, p);
    if (*st.ep == '*' || *st.ep == '?' || *st.ep == '-' || st.ep - p > kShortSet) return st;
    st.kind = *p == '%' || *p == '[' ? Start::kItem : Start::kByte;
    return st;
}

// The next place a match of p may start after one failed at `failed`, or
// null. The first item is read at the first failure: a match found at
// once costs nothing more.
const char* NextStart(Match* m, Start* st, const char* p, const char* failed) {
    if (failed == m->end) return nullptr;
    if (st->kind == Start::kUnread) *st = FirstItem(m, p);
    const char* from = failed + 1;
    const char* at = from;
    if (st->kind == Start::kByte) {
        at = (const char*)memchr(from, *st->p, m->end - from);
    } else if (st->kind == Start::kItem) {
        while (at < m->end && !ItemHolds((unsigned char)*at, st->p, st->ep)) at++;
        if (at == m->end) at = nullptr;
    }
    Spend(m, (at ? at : m->end) - from);
    return at;
}

// ---------------------------------------------------------------------------
// Captures to the stack

// Capture i of the match s..e; with no captures, capture 0 is the match.
void PushCapture(Match* m, int i, const char* s, const char* e) {
    lua_State* L = m->L;
    if (i >= m->level) {
        if (i != 0) luaL_error(L, "invalid capture index");
        lua_pushlstring(L, s, e - s);
        return;
    }
    ptrdiff_t len = m->cap[i].len;
    if (len == kOpen) luaL_error(L, "unfinished capture");
    if (len == kPosition)
        lua_pushinteger(L, m->cap[i].at - m->text + 1);
    else
        lua_pushlstring(L, m->cap[i].at, len);
}

// Every capture; the whole match when there are none and s is given.
int PushCaptures(Match* m, const char* s, const char* e) {
    int n = m->level == 0 && s ? 1 : m->level;
    luaL_checkstack(m->L, n, "too many captures");
    for (int i = 0; i < n; i++) PushCapture(m, i, s, e);
    return n;
}

// ---------------------------------------------------------------------------
// The library functions

// find's and match's results for the match from..e.
int Found(Match* m, bool find, const char* from, const char* e) {
    if (!find) return PushCaptures(m, from, e);
    lua_pushinteger(m->L, from - m->text + 1);
    lua_pushinteger(m->L, e - m->text);
    return PushCaptures(m, nullptr, nullptr) + 2;
}

int FindOrMatch(lua_State* L, bool find) {
    PatternTick tick = TickAt(L, 1);
    tick(L);
    size_t n, pn;
    const char* s = luaL_checklstring(L, 1, &n);
    const char* p = luaL_checklstring(L, 2, &pn);
    ptrdiff_t init = luaL_optinteger(L, 3, 1);
    if (init < 0) init += (ptrdiff_t)n + 1;
    ptrdiff_t start = init > 0 ? init - 1 : 0;
    if (start > (ptrdiff_t)n) start = (ptrdiff_t)n;
    if (find && (lua_toboolean(L, 4) || !strpbrk(p, "^$*+?.([%-"))) {
        // No pattern items: the whole of p, zero bytes included, as text.
        const char* at = (const char*)memmem(s + start, n - start, p, pn);
        if (!at) {
            lua_pushnil(L);
            return 1;
        }
        lua_pushinteger(L, at - s + 1);
        lua_pushinteger(L, at - s + (ptrdiff_t)pn);
        return 2;
    }
    Match m;
    Begin(&m, L, tick, s, n);
    bool anchored = *p == '^';
    if (anchored) p++;
    Start first = {Start::kUnread, p, p};
    const char* from = s + start;
    do {
        m.level = 0;
        if (const char* e = MatchAt(&m, from, p)) return Found(&m, find, from, e);
    } while (!anchored && (from = NextStart(&m, &first, p, from)));
    lua_pushnil(L);
    return 1;
}

int Find(lua_State* L) { return FindOrMatch(L, true); }
int MatchFirst(lua_State* L) { return FindOrMatch(L, false); }

// The iterator: upvalues text, pattern, where the next match may start
// and the tick. '^' is a plain character here, as in the library.
int GmatchNext(lua_State* L) {
    PatternTick tick = TickAt(L, 4);
    tick(L);
    size_t n;
    const char* s = lua_tolstring(L, lua_upvalueindex(1), &n);
    const char* p = lua_tostring(L, lua_upvalueindex(2));
    Match m;
    Begin(&m, L, tick, s, n);
    const char* from = s + (size_t)lua_tointeger(L, lua_upvalueindex(3));
    if (from > m.end) return 0;
    Start first = {Start::kUnread, p, p};
    do {
        m.level = 0;
        if (const char* e = MatchAt(&m, from, p)) {
            // An empty match moves the next start on by one.
            lua_pushinteger(L, e - s + (e == from));
            lua_replace(L, lua_upvalueindex(3));
            return PushCaptures(&m, from, e);
        }
    } while ((from = NextStart(&m, &first, p, from)));
    return 0;
}

int Gmatch(lua_State* L) {
    TickAt(L, 1)(L);
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushinteger(L, 0);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushcclosure(L, GmatchNext, 4);
    return 1;
}

// A replacement string: '%0'..'%9' are captures, '%' before anything else
// quotes it (a '%' at the very end stands for the string's zero byte).
void AddFromString(Match* m, luaL_Buffer* b, const char* s, const char* e) {
    size_t rn;
    const char* r = lua_tolstring(m->L, 3, &rn);
    const char* end = r + rn;
    while (r < end) {
        const char* pct = (const char*)memchr(r, '%', end - r);
        if (!pct) pct = end;
        luaL_addlstring(b, r, pct - r);
        if (pct == end) break;
        unsigned char c = pct[1];
        r = pct + 2;
        if (!isdigit(c)) {
            luaL_addchar(b, c);
        } else if (c == '0') {
            luaL_addlstring(b, s, e - s);
        } else {
            PushCapture(m, c - '1', s, e);
            luaL_addvalue(b);
        }
    }
}

void AddReplacement(Match* m, luaL_Buffer* b, const char* s, const char* e, int kind) {
    lua_State* L = m->L;
    if (kind == LUA_TFUNCTION) {
        lua_pushvalue(L, 3);
        lua_call(L, PushCaptures(m, s, e), 1);
    } else if (kind == LUA_TTABLE) {
        PushCapture(m, 0, s, e);
        lua_gettable(L, 3);
    } else {
        AddFromString(m, b, s, e);
        return;
    }
    if (!lua_toboolean(L, -1)) {  // nil or false: the match stays
        lua_pop(L, 1);
        lua_pushlstring(L, s, e - s);
    } else if (!lua_isstring(L, -1)) {
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    }
    luaL_addvalue(b);
}

int Gsub(lua_State* L) {
    PatternTick tick = TickAt(L, 1);
    tick(L);
    size_t n;
    const char* s = luaL_checklstring(L, 1, &n);
    const char* p = luaL_checkstring(L, 2);
    int kind = lua_type(L, 3);
    int most = luaL_optint(L, 4, (int)n + 1);
    luaL_argcheck(L, kind == LUA_TNUMBER || kind == LUA_TSTRING || kind == LUA_TFUNCTION || kind == LUA_TTABLE, 3,
                  "string/function/table expected");
    bool anchored = *p == '^';
    if (anchored) p++;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    Match m;
    Begin(&m, L, tick, s, n);
    const char* from = s;
    int count = 0;
    Start first = {Start::kUnread, p, p};
    while (count < most) {
        m.level = 0;
        const char* e = MatchAt(&m, from, p);
        if (e) {
            count++;
            AddReplacement(&m, &b, from, e, kind);
        }
        const char* at;
        if (e && e > from) {
            from = e;
        } else if (anchored && from < m.end) {
            luaL_addchar(&b, *from++);
        } else if (!anchored && (at = NextStart(&m, &first, p, from))) {
            luaL_addlstring(&b, from, at - from);
            from = at;
        } else {
            break;
        }
        if (anchored) break;
    }
    luaL_addlstring(&b, from, m.end - from);
    luaL_pushresult(&b);
    lua_pushinteger(L, count);
    return 2;
}

}  // namespace

void LuaInstallPatterns(lua_State* L, PatternTick tick) {
    static const struct {
        const char* name;
        lua_CFunction f;
    } kRows[] = {{"find", Find}, {"match", MatchFirst}, {"gmatch", Gmatch}, {"gsub", Gsub}};
    lua_getglobal(L, LUA_STRLIBNAME);
    for (const auto& row : kRows) {
        lua_pushlightuserdata(L, reinterpret_cast<void*>(tick ? tick : NoTick));
        lua_pushcclosure(L, row.f, 1);
        lua_setfield(L, -2, row.name);
    }
    // The library keeps gmatch's old name too; it must not stay a way round.
    lua_getfield(L, -1, "gfind");
    bool old_name = !lua_isnil(L, -1);
    lua_pop(L, 1);
    if (old_name) {
        lua_getfield(L, -1, "gmatch");
        lua_setfield(L, -2, "gfind");
    }
    lua_pop(L, 1);
}
