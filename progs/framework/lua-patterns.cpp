// The scripts' pattern functions (find, match, gmatch, gsub), written for
// this project from the language manual's description of patterns; the
// library they replace is only the yardstick of the differential tests.
//
// A pattern is compiled once into a program: a flat list of items (a byte
// set of 256 bits with its repetition, a literal run, capture marks, a
// back-reference, a balance, a frontier, the end anchor, or a fault that
// raises its message when reached), kept in a small cache keyed by the
// pattern string itself. Patterns have no alternation, so which captures
// are open or closed at each item is known when compiling: broken patterns
// become a fault item at the place where a match would first meet the
// fault, and no capture state needs undoing on backtracking.
//
// The match runs on an explicit stack of choice points (one per repeated
// item passed), kept per state and bounded, never on the C stack, so the
// depth limit is the same on every thread. For each repeated item the
// compiler also works out which bytes the rest of the pattern can start
// with; a repetition then only stops or backs off where the rest might
// match, and a search only tries start places the first items allow.
#include "lua-patterns.h"

#include <ctype.h>
#include <stdint.h>
#include <string.h>

#include <lua.hpp>

namespace {

const size_t kNone = (size_t)-1;

struct ByteSet {
    uint64_t w[4];
    bool Has(unsigned char c) const { return (w[c >> 6] >> (c & 63)) & 1; }
    void Add(unsigned char c) { w[c >> 6] |= (uint64_t)1 << (c & 63); }
    void Merge(const ByteSet& o) {
        for (int i = 0; i < 4; i++) w[i] |= o.w[i];
    }
    void Invert() {
        for (uint64_t& x : w) x = ~x;
    }
    int Count() const {
        return __builtin_popcountll(w[0]) + __builtin_popcountll(w[1]) + __builtin_popcountll(w[2]) +
               __builtin_popcountll(w[3]);
    }
    // The member of a set of one.
    unsigned char Only() const {
        for (int i = 0; i < 4; i++)
            if (w[i]) return (unsigned char)(i * 64 + __builtin_ctzll(w[i]));
        return 0;
    }
};

const ByteSet kAll = {{~0ull, ~0ull, ~0ull, ~0ull}};

// The classes %a %c %d %l %p %s %u %w %x %z by their letter, as the C
// library's character tests see them; other letters stand for themselves.
struct Classes {
    ByteSet of[26];
    bool is[26];
    Classes() : of(), is() {
        int (*const tests[])(int) = {isalpha, iscntrl, isdigit, islower, ispunct, isspace, isupper, isalnum, isxdigit};
        const char letters[] = "acdlpsuwx";
        for (int t = 0; t < 9; t++) {
            int l = letters[t] - 'a';
            is[l] = true;
            for (int c = 0; c < 256; c++)
                if (tests[t](c)) of[l].Add((unsigned char)c);
        }
        is['z' - 'a'] = true;
        of['z' - 'a'].Add(0);
    }
};

const Classes& TheClasses() {
    static const Classes classes;
    return classes;
}

// What `%c` stands for, inside a set or out.
void AddEscaped(ByteSet* set, unsigned char c) {
    int l = tolower(c) - 'a';
    if (l < 0 || l >= 26 || !TheClasses().is[l] || !isalpha(c)) {
        set->Add(c);
        return;
    }
    ByteSet cls = TheClasses().of[l];
    if (isupper(c)) cls.Invert();
    set->Merge(cls);
}

enum Op : uint8_t { kSingle, kText, kOpen, kPosition, kClose, kBackRef, kBalance, kFrontier, kAtEnd, kFault };
enum Rep : uint8_t { kOnce, kMany, kSome, kMaybe, kFew };  // none, *, +, ?, -
enum CaptureKind : uint8_t { kUnfinished, kClosed, kPlace };

const char* const kFaults[] = {"malformed pattern (ends with '%')",
                               "malformed pattern (missing ']')",
                               "missing '[' after '%f' in pattern",
                               "unbalanced pattern",
                               "invalid capture index",
                               "invalid pattern capture",
                               "too many captures"};
enum Fault { kEndsWithEscape, kNoSetEnd, kNoFrontierSet, kUnbalanced, kBadIndex, kBadClose, kTooMany };

enum { kMostCaptures = 32 };

struct Item {
    Op op;
    Rep rep;
    uint8_t a, b;   // kBalance: its bytes; capture items: the capture; kFault: the message;
                    // b of a repeated kSingle: whether the rest may match at the subject's end
    uint32_t set;   // kSingle, kFrontier: its set; kText: where its bytes start
    uint32_t len;   // kText: how many
    uint32_t next;  // repeated kSingle: the set of bytes the rest may start with
};

// Compiled pattern, in one block: header, items, sets, literal bytes.
struct Program {
    uint32_t items, sets, bytes, captures;
    bool anchored;
    bool lead_at_end;  // the whole pattern may match at the subject's end
    int need;          // a byte every match has at or after its start, or -1
    CaptureKind kind[kMostCaptures];
    const Item* Items() const { return (const Item*)(this + 1); }
    const ByteSet* Sets() const { return (const ByteSet*)(Items() + items); }
    const char* Text() const { return (const char*)(Sets() + sets); }
    // Set 0 is the bytes a match may start with.
    const ByteSet& Lead() const { return Sets()[0]; }
};

size_t ProgramSize(uint32_t items, uint32_t sets, uint32_t bytes) {
    return sizeof(Program) + items * sizeof(Item) + sets * sizeof(ByteSet) + bytes;
}

// Reads a pattern into items. Run once to count (out == null) and once
// to fill a block of the size counted.
struct Compiler {
    const char* p;
    size_t n;
    bool gmatch;
    Program* out;
    uint32_t items = 0, sets = 1, bytes = 0, repeats = 0;
    uint32_t captures = 0;
    CaptureKind kind[kMostCaptures] = {};

    Item* Add(Op op) {
        Item* it = out ? (Item*)out->Items() + items : nullptr;
        items++;
        if (it) *it = Item{op, kOnce, 0, 0, 0, 0, 0};
        return it;
    }
    ByteSet* NewSet(uint32_t* index) {
        *index = sets++;
        ByteSet* s = out ? (ByteSet*)out->Sets() + *index : nullptr;
        if (s) *s = ByteSet{};
        return s;
    }
    void AddFault(Fault f) {
        if (Item* it = Add(kFault)) it->a = (uint8_t)f;
    }

    // The set at p[i] == '['; the index past its ']', or kNone when the
    // pattern ends first. Its first byte is a member even when it is ']'.
    size_t ReadSet(size_t i, ByteSet* set) {
        size_t j = i + 1;
        bool negate = j < n && p[j] == '^';
        if (negate) j++;
        size_t k = j;
        for (;;) {
            if (k >= n) return kNone;
            if (p[k] == '%') k++;
            if (++k >= n) return kNone;
            if (p[k] == ']') break;
        }
        if (!set) return k + 1;
        for (size_t q = j; q < k;) {
            unsigned char c = (unsigned char)p[q];
            if (c == '%') {
                AddEscaped(set, (unsigned char)p[q + 1]);
                q += 2;
            } else if (q + 2 < k && p[q + 1] == '-') {
                for (unsigned x = c; x <= (unsigned char)p[q + 2]; x++) set->Add((unsigned char)x);
                q += 3;
            } else {
                set->Add(c);
                q++;
            }
        }
        if (negate) set->Invert();
        return k + 1;
    }

    // A class item at p[i]: its set, and the index past it, or kNone
    // after adding the fault.
    size_t ReadClass(size_t i, ByteSet* set) {
        unsigned char c = (unsigned char)p[i];
        if (c == '.') {
            *set = kAll;
            return i + 1;
        }
        if (c == '%') {
            if (i + 1 >= n) return AddFault(kEndsWithEscape), kNone;
            AddEscaped(set, (unsigned char)p[i + 1]);
            return i + 2;
        }
        if (c == '[') {
            size_t end = ReadSet(i, set);
            if (end == kNone) AddFault(kNoSetEnd);
            return end;
        }
        set->Add(c);
        return i + 1;
    }

    void Run() {
        size_t i = 0;
        if (!gmatch && n > 0 && p[0] == '^') i = 1;
        Item* text = nullptr;  // the literal run being extended
        bool in_text = false;
        while (i < n) {
            unsigned char c = (unsigned char)p[i];
            unsigned char d = i + 1 < n ? (unsigned char)p[i + 1] : 0;
            bool was_text = in_text;
            in_text = false;
            if (c == '(') {
                if (captures >= kMostCaptures) return AddFault(kTooMany);
                bool place = d == ')';
                kind[captures] = place ? kPlace : kUnfinished;
                if (Item* it = Add(place ? kPosition : kOpen)) it->a = (uint8_t)captures;
                captures++;
                i += place ? 2 : 1;
            } else if (c == ')') {
                int open = (int)captures - 1;
                while (open >= 0 && kind[open] != kUnfinished) open--;
                if (open < 0) return AddFault(kBadClose);
                kind[open] = kClosed;
                if (Item* it = Add(kClose)) it->a = (uint8_t)open;
                i++;
            } else if (c == '$' && i + 1 == n) {
                Add(kAtEnd);
                i++;
            } else if (c == '%' && d == 'b') {
                if (i + 3 >= n) return AddFault(kUnbalanced);
                if (Item* it = Add(kBalance)) it->a = (uint8_t)p[i + 2], it->b = (uint8_t)p[i + 3];
                i += 4;
            } else if (c == '%' && d == 'f') {
                i += 2;
                if (i >= n || p[i] != '[') return AddFault(kNoFrontierSet);
                uint32_t index;
                ByteSet* set = NewSet(&index);
                i = ReadSet(i, set);
                if (i == kNone) return AddFault(kNoSetEnd);
                if (Item* it = Add(kFrontier)) it->set = index;
            } else if (c == '%' && isdigit(d)) {
                int k = d - '1';
                if (k < 0 || k >= (int)captures || kind[k] == kUnfinished) return AddFault(kBadIndex);
                if (Item* it = Add(kBackRef)) it->a = (uint8_t)k;
                i += 2;
            } else {
                ByteSet set{};
                size_t end = ReadClass(i, &set);
                if (end == kNone) return;
                Rep rep = kOnce;
                if (end < n) {
                    switch (p[end]) {
                        case '*': rep = kMany; break;
                        case '+': rep = kSome; break;
                        case '?': rep = kMaybe; break;
                        case '-': rep = kFew; break;
                    }
                }
                // A single byte said once joins the literal run before it.
                bool literal = rep == kOnce && (c != '.' && c != '[' && (c != '%' || !isalnum(d)));
                if (literal) {
                    char byte = c == '%' ? (char)d : (char)c;
                    if (!was_text) {
                        text = Add(kText);
                        if (text) text->set = bytes, text->len = 0;
                    }
                    if (text) ((char*)out->Text())[bytes] = byte, text->len++;
                    bytes++;
                    in_text = true;
                } else {
                    uint32_t index;
                    if (ByteSet* kept = NewSet(&index)) *kept = set;
                    if (Item* it = Add(kSingle)) it->rep = rep, it->set = index;
                }
                if (!literal && rep != kOnce) repeats++;  // a set for what may follow it
                i = end + (rep != kOnce);
            }
        }
    }
};

// The bytes the rest of the pattern from item k may start with, and
// whether it may match at the subject's end, working backwards; a fault
// or a back-reference may be met anywhere. Stores the set after each
// repeated item and the lead in set 0.
void PlanLookahead(Program* prog, uint32_t spare) {
    Item* items = (Item*)prog->Items();
    ByteSet* sets = (ByteSet*)prog->Sets();
    ByteSet ahead = kAll;
    bool at_end = true;
    for (uint32_t k = prog->items; k-- > 0;) {
        Item& it = items[k];
        const char* text = prog->Text();
        switch (it.op) {
            case kSingle:
                if (it.rep != kOnce) {
                    it.next = spare++;
                    sets[it.next] = ahead;
                    it.b = at_end;  // the rest may match at the subject's end
                }
                if (it.rep == kOnce || it.rep == kSome) {
                    ahead = sets[it.set];
                    at_end = false;
                } else {
                    ahead.Merge(sets[it.set]);
                }
                break;
            case kText:
                ahead = ByteSet{};
                ahead.Add((unsigned char)text[it.set]);
                at_end = false;
                break;
            case kBalance:
                ahead = ByteSet{};
                ahead.Add(it.a);
                at_end = false;
                break;
            case kAtEnd:
                ahead = ByteSet{};
                at_end = true;
                break;
            case kBackRef:
            case kFault:
                ahead = kAll;
                at_end = true;
                break;
            default:  // marks and frontiers take no byte
                break;
        }
    }
    sets[0] = ahead;
    prog->lead_at_end = at_end;
    // A byte some item before any fault must take.
    prog->need = -1;
    for (uint32_t k = 0; k < prog->items && prog->need < 0; k++) {
        const Item& it = items[k];
        if (it.op == kFault) break;
        if (k == 0) continue;  // the lead is searched for already
        if (it.op == kText) prog->need = (unsigned char)prog->Text()[it.set];
        if (it.op == kSingle && (it.rep == kOnce || it.rep == kSome) && sets[it.set].Count() == 1)
            prog->need = sets[it.set].Only();
    }
}

// What every call shares, in a userdata of the state: the tick, the stack
// of choice points and the cache of programs.
struct Choice {
    size_t from, count;
    uint32_t item;
};
enum { kSlots = 16, kCachedLength = 256, kFirstChoices = 64, kMostChoices = 1 << 18 };

struct Shared {
    PatternTick tick;
    Choice* choices;
    size_t room;
    struct Slot {
        const char* key;
        bool gmatch;
        Program* prog;
    } slot[kSlots];
};

// Upvalues of the four functions.
enum { kSharedUp = 1, kAnchorsUp = 2 };
// The anchors table: programs at 1..kSlots, their keys after them, the
// choice stack at 0.

Shared* SharedOf(lua_State* L) { return (Shared*)lua_touserdata(L, lua_upvalueindex(kSharedUp)); }

Program* Compile(lua_State* L, const char* p, size_t n, bool gmatch) {
    n = strnlen(p, n);  // a pattern ends at a zero byte, as the library's does
    Compiler count{p, n, gmatch, nullptr, 0, 1, 0, 0, 0, {}};
    count.Run();
    uint32_t sets = count.sets + count.repeats;
    Program* prog = (Program*)lua_newuserdata(L, ProgramSize(count.items, sets, count.bytes));
    memset(prog, 0, sizeof(Program));
    prog->items = count.items;
    prog->sets = sets;
    prog->bytes = count.bytes;
    Compiler fill{p, n, gmatch, prog, 0, 1, 0, 0, 0, {}};
    fill.Run();
    prog->captures = fill.captures;
    prog->anchored = !gmatch && n > 0 && p[0] == '^';
    memcpy(prog->kind, fill.kind, sizeof fill.kind);
    PlanLookahead(prog, count.sets);
    return prog;
}

// The program for the pattern at `arg`, pushed (anchoring it for calls
// that run scripts in between) when `push`.
Program* ProgramFor(lua_State* L, int arg, bool gmatch, bool push) {
    size_t n;
    const char* p = lua_tolstring(L, arg, &n);
    Shared* sh = SharedOf(L);
    // Long patterns are compiled each call and stay on the stack for it.
    if (n > kCachedLength) return Compile(L, p, n, gmatch);
    unsigned h = (unsigned)(((uintptr_t)p >> 4) ^ ((uintptr_t)p >> 9)) % kSlots;
    Shared::Slot& s = sh->slot[h];
    if (s.key == p && s.gmatch == gmatch) {
        if (push) lua_rawgeti(L, lua_upvalueindex(kAnchorsUp), (int)h + 1);
        return s.prog;
    }
    Program* prog = Compile(L, p, n, gmatch);
    lua_pushvalue(L, -1);
    lua_rawseti(L, lua_upvalueindex(kAnchorsUp), (int)h + 1);
    lua_pushvalue(L, arg);
    lua_rawseti(L, lua_upvalueindex(kAnchorsUp), (int)h + 1 + kSlots);
    s.key = p;
    s.gmatch = gmatch;
    s.prog = prog;
    if (!push) lua_pop(L, 1);
    return prog;
}

// One search or match in progress.
struct Matcher {
    lua_State* L;
    Shared* sh;
    int anchors;  // stack index of the anchors table
    const Program* prog;
    const unsigned char* s;
    size_t len;
    long budget;
    size_t need_at;  // where the needed byte was last found
    size_t cap_from[kMostCaptures], cap_to[kMostCaptures];

    void Spend(size_t steps) {
        budget -= (long)steps;
        while (budget <= 0) {  // a long scan is paid for tick by tick
            budget += kPatternTickSteps;
            sh->tick(L);
        }
    }

    Choice* Grow(Choice* top) {
        size_t used = (size_t)(top - sh->choices);
        if (sh->room >= kMostChoices) luaL_error(L, "pattern too complex");
        size_t room = sh->room * 2;
        Choice* bigger = (Choice*)lua_newuserdata(L, room * sizeof(Choice));
        memcpy(bigger, sh->choices, used * sizeof(Choice));
        lua_rawseti(L, anchors, 0);
        sh->choices = bigger;
        sh->room = room;
        return bigger + used;
    }

    // May the rest after repeated item `it` start at `at`?
    bool Fits(const Item& it, size_t at) const { return at < len ? prog->Sets()[it.next].Has(s[at]) : it.b != 0; }

    // The longest run from `at` of the set's bytes, at most `most`.
    size_t Run(const ByteSet& set, size_t at, size_t most) {
        size_t k = 0;
        while (k < most && set.Has(s[at + k])) k++;
        Spend(k);
        return k;
    }

    // Where a match of the whole program starting at `at` ends, or kNone.
    size_t MatchAt(size_t at) {
        const Item* items = prog->Items();
        const ByteSet* sets = prog->Sets();
        const uint32_t n = prog->items;
        Choice* base = sh->choices;
        Choice* top = base;
        Choice* limit = base + sh->room;
        uint32_t k = 0;
        for (;;) {
            if (--budget <= 0) Spend(0);
            if (k == n) return at;
            const Item& it = items[k];
            switch (it.op) {
                case kText:
                    Spend(it.len);
                    if (len - at >= it.len && memcmp(s + at, prog->Text() + it.set, it.len) == 0) {
                        at += it.len;
                        k++;
                        continue;
                    }
                    break;
                case kSingle: {
                    const ByteSet& set = sets[it.set];
                    if (it.rep == kOnce) {
                        if (at < len && set.Has(s[at])) {
                            at++;
                            k++;
                            continue;
                        }
                        break;
                    }
                    size_t least = it.rep == kSome, count;
                    if (it.rep == kFew) {
                        count = 0;
                        while (!Fits(it, at + count)) {
                            if (at + count >= len || !set.Has(s[at + count])) {
                                Spend(count);
                                goto fail;
                            }
                            count++;
                        }
                        Spend(count);
                    } else {
                        count = Run(set, at, it.rep == kMaybe ? (at < len) : len - at);
                        if (count < least) break;
                        while (!Fits(it, at + count)) {
                            if (count == least) goto fail;
                            count--;
                        }
                    }
                    if (it.rep == kFew || count > least) {
                        if (top == limit) {
                            top = Grow(top);
                            base = sh->choices;
                            limit = base + sh->room;
                        }
                        *top++ = Choice{at, count, k};
                    }
                    at += count;
                    k++;
                    continue;
                }
                case kOpen:
                case kPosition:
                    cap_from[it.a] = at;
                    k++;
                    continue;
                case kClose:
                    cap_to[it.a] = at;
                    k++;
                    continue;
                case kBackRef: {
                    if (prog->kind[it.a] == kPlace) break;
                    size_t l = cap_to[it.a] - cap_from[it.a];
                    Spend(l);
                    if (len - at >= l && memcmp(s + at, s + cap_from[it.a], l) == 0) {
                        at += l;
                        k++;
                        continue;
                    }
                    break;
                }
                case kBalance: {
                    if (at >= len || s[at] != it.a) break;
                    size_t depth = 1, j = at + 1;
                    for (; j < len; j++) {
                        if (s[j] == it.b) {
                            if (--depth == 0) break;
                        } else if (s[j] == it.a) {
                            depth++;
                        }
                    }
                    Spend(j - at);
                    if (j >= len) break;
                    at = j + 1;
                    k++;
                    continue;
                }
                case kFrontier: {
                    const ByteSet& set = sets[it.set];
                    if (set.Has(at ? s[at - 1] : 0) || !set.Has(at < len ? s[at] : 0)) break;
                    k++;
                    continue;
                }
                case kAtEnd:
                    if (at != len) break;
                    k++;
                    continue;
                case kFault: luaL_error(L, "%s", kFaults[it.a]); return kNone;
            }
        fail:
            // Back to the latest choice with another way left.
            for (;;) {
                if (top == base) return kNone;
                Choice& c = top[-1];
                const Item& r = items[c.item];
                const ByteSet& set = sets[r.set];
                size_t count = c.count;
                bool more;
                if (r.rep == kFew) {
                    do {
                        if (c.from + count >= len || !set.Has(s[c.from + count])) {
                            Spend(count - c.count);
                            goto popped;
                        }
                        count++;
                    } while (!Fits(r, c.from + count));
                    more = true;
                } else {
                    size_t least = r.rep == kSome;
                    do {
                        if (count == least) goto popped;
                        count--;
                    } while (!Fits(r, c.from + count));
                    more = count > least;
                }
                Spend(count > c.count ? count - c.count : c.count - count);
                at = c.from + count;
                k = c.item + 1;
                if (more)
                    c.count = count;
                else
                    top--;
                break;
            popped:
                top--;
            }
        }
    }

    // The first place from `at` where the program matches, with the end
    // of the match in *end, or kNone.
    size_t Search(size_t at, size_t* end) {
        if (prog->need >= 0 && (need_at == kNone || need_at < at)) {
            const void* hit = at < len ? memchr(s + at, prog->need, len - at) : nullptr;
            if (!hit) return kNone;
            need_at = (size_t)((const unsigned char*)hit - s);
        }
        const ByteSet& lead = prog->Lead();
        const int one = lead.Count() == 1 ? lead.Only() : -1;
        for (;;) {
            if (!prog->anchored) {
                if (one >= 0) {
                    const void* hit = at < len ? memchr(s + at, one, len - at) : nullptr;
                    size_t next = hit ? (size_t)((const unsigned char*)hit - s) : len;
                    Spend((next - at) >> 4);
                    at = next;
                } else {
                    size_t from = at;
                    while (at < len && !lead.Has(s[at])) at++;
                    Spend((at - from) >> 2);
                }
                if (at == len && !prog->lead_at_end) return kNone;
            }
            size_t e = MatchAt(at);
            if (e != kNone) {
                *end = e;
                return at;
            }
            if (prog->anchored || at >= len) return kNone;
            at++;
        }
    }

    // Capture i of the match [from, to) pushed; with no captures, 0 is
    // the whole match.
    void PushCapture(int i, size_t from, size_t to) {
        if (i >= (int)prog->captures) {
            if (i != 0) luaL_error(L, "invalid capture index");
            lua_pushlstring(L, (const char*)s + from, to - from);
        } else if (prog->kind[i] == kUnfinished) {
            luaL_error(L, "unfinished capture");
        } else if (prog->kind[i] == kPlace) {
            lua_pushinteger(L, (lua_Integer)cap_from[i] + 1);
        } else {
            lua_pushlstring(L, (const char*)s + cap_from[i], cap_to[i] - cap_from[i]);
        }
    }
    // All captures, or the whole match; how many pushed.
    int PushCaptures(size_t from, size_t to, bool whole) {
        int n = prog->captures == 0 && whole ? 1 : (int)prog->captures;
        luaL_checkstack(L, n, "too many captures");
        for (int i = 0; i < n; i++) PushCapture(i, from, to);
        return n;
    }
};

Matcher Begin(lua_State* L, const Program* prog, const char* s, size_t len, int anchors) {
    Matcher m;
    m.L = L;
    m.sh = SharedOf(L);
    m.anchors = anchors;
    m.prog = prog;
    m.s = (const unsigned char*)s;
    m.len = len;
    m.budget = kPatternTickSteps;
    m.need_at = kNone;
    return m;
}

// A 1-based, possibly negative start turned into an offset in [0, len].
size_t StartOffset(lua_Integer init, size_t len) {
    if (init < 0) init += (lua_Integer)len + 1;
    if (init < 1) return 0;
    return (size_t)init - 1 > len ? len : (size_t)init - 1;
}

// What find needs to know of a pattern's bytes: kMagicByte marks those
// that make it a pattern (before a zero byte: find takes the rest as
// plain text, as the library does); the others say how common the byte is
// in the texts scripts search (words, spaces, lines), the search below
// jumping on the needle's least common byte.
const uint8_t kMagicByte = 255;
struct ByteKinds {
    uint8_t of[256] = {};
    ByteKinds() {
        const char* letters = "zqxjkvbpygfwmucldrhsnioate";  // rarest first
        for (int i = 0; letters[i]; i++) of[(unsigned char)letters[i]] = (uint8_t)(10 + i);
        for (int c = 'A'; c <= 'Z'; c++) of[c] = 5;
        for (int c = '0'; c <= '9'; c++) of[c] = 4;
        of[(unsigned char)' '] = 40;
        of[(unsigned char)'\n'] = 8;
        of[(unsigned char)','] = of[(unsigned char)'.'] = 6;
        for (const char* c = "%.[(^$-?*+"; *c; c++) of[(unsigned char)*c] = kMagicByte;
    }
};
const ByteKinds kKinds;

// The place in t[from, m) of the least common byte, `k` the best so far.
size_t LeastCommon(const char* t, size_t m, size_t from, size_t k) {
    for (size_t i = from; i < m; i++)
        if (kKinds.of[(unsigned char)t[i]] < kKinds.of[(unsigned char)t[k]]) k = i;
    return k;
}

// Whether find takes `p` as plain text; if so, its least common byte's
// place in *k. One pass over the bytes up to a zero byte does both.
bool IsPlainText(const char* p, size_t m, size_t* k) {
    size_t best = 0, i = 0;
    for (; i < m; i++) {
        uint8_t kind = kKinds.of[(unsigned char)p[i]];
        if (kind == kMagicByte) return false;
        if (kind < kKinds.of[(unsigned char)p[best]]) best = i;
        if (!p[i]) break;
    }
    *k = i < m ? LeastCommon(p, m, i, best) : best;
    return true;
}

// The first place of `t` in `s`, or kNone: a jump with memchr to each
// place of t[k] (its least common byte), then a compare of the whole.
// Where those compares have cost several times the text, the C library's
// search, linear in the worst case, takes the rest: plain find has no
// tick to stop it.
size_t FindText(const char* s, size_t n, const char* t, size_t m, size_t k) {
    if (m == 0) return 0;
    if (m > n) return kNone;
    const char* last = s + (n - m) + k;  // the last place byte k can be
    size_t spent = 0;
    for (const char* at = s + k; at <= last;) {
        at = (const char*)memchr(at, t[k], (size_t)(last - at) + 1);
        if (!at) return kNone;
        if (memcmp(at - k, t, m) == 0) return (size_t)(at - k - s);
        at++;
        if ((spent += m) > 4 * n + 4096) {
            const char* hit = (const char*)memmem(at - k, (size_t)(s + n - (at - k)), t, m);
            return hit ? (size_t)(hit - s) : kNone;
        }
    }
    return kNone;
}

// find or match by the pattern at 2 from the offset `at`: kept out of
// find's plain path, which needs none of its state.
__attribute__((noinline)) int Matched(lua_State* L, const char* s, size_t len, size_t at, bool find) {
    const Program* prog = ProgramFor(L, 2, false, false);
    Matcher m = Begin(L, prog, s, len, lua_upvalueindex(kAnchorsUp));
    size_t end;
    size_t from = m.Search(at, &end);
    if (from == kNone) {
        lua_pushnil(L);
        return 1;
    }
    if (!find) return m.PushCaptures(from, end, true);
    lua_pushinteger(L, (lua_Integer)from + 1);
    lua_pushinteger(L, (lua_Integer)end);
    return 2 + m.PushCaptures(from, end, false);
}

int Find(lua_State* L) {
    size_t len, plen;
    const char* s = luaL_checklstring(L, 1, &len);
    const char* p = luaL_checklstring(L, 2, &plen);
    size_t at = StartOffset(luaL_optinteger(L, 3, 1), len);
    size_t k;
    if (lua_toboolean(L, 4))
        k = LeastCommon(p, plen, 1, 0);
    else if (!IsPlainText(p, plen, &k))
        return Matched(L, s, len, at, true);
    size_t hit = FindText(s + at, len - at, p, plen, k);
    if (hit == kNone) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushinteger(L, (lua_Integer)(at + hit) + 1);
    lua_pushinteger(L, (lua_Integer)(at + hit + plen));
    return 2;
}

int Match(lua_State* L) {
    size_t len;
    const char* s = luaL_checklstring(L, 1, &len);
    luaL_checkstring(L, 2);
    return Matched(L, s, len, StartOffset(luaL_optinteger(L, 3, 1), len), false);
}

// gmatch's iterator; upvalues: the text, the program, where to go on,
// and the shared block and anchors as the functions have them.
int GmatchStep(lua_State* L) {
    size_t len;
    const char* s = lua_tolstring(L, lua_upvalueindex(3), &len);
    const Program* prog = (const Program*)lua_touserdata(L, lua_upvalueindex(4));
    size_t at = (size_t)lua_tointeger(L, lua_upvalueindex(5));
    if (at > len) return 0;
    Matcher m = Begin(L, prog, s, len, lua_upvalueindex(kAnchorsUp));
    size_t end;
    size_t from = m.Search(at, &end);
    if (from == kNone) {
        lua_pushinteger(L, (lua_Integer)len + 1);
        lua_replace(L, lua_upvalueindex(5));
        return 0;
    }
    lua_pushinteger(L, (lua_Integer)(end == from ? end + 1 : end));
    lua_replace(L, lua_upvalueindex(5));
    return m.PushCaptures(from, end, true);
}

int Gmatch(lua_State* L) {
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_pushvalue(L, lua_upvalueindex(kSharedUp));
    lua_pushvalue(L, lua_upvalueindex(kAnchorsUp));
    lua_pushvalue(L, 1);
    ProgramFor(L, 2, true, true);
    lua_pushinteger(L, 0);
    lua_pushcclosure(L, GmatchStep, 5);
    return 1;
}

// The replacement for the match [from, to) added to the buffer.
void AddReplacement(Matcher* m, luaL_Buffer* b, size_t from, size_t to) {
    lua_State* L = m->L;
    const char* whole = (const char*)m->s + from;
    int type = lua_type(L, 3);
    if (type == LUA_TSTRING || type == LUA_TNUMBER) {
        size_t n;
        const char* r = lua_tolstring(L, 3, &n);
        size_t i = 0;
        while (i < n) {
            const char* esc = (const char*)memchr(r + i, '%', n - i);
            size_t plain = esc ? (size_t)(esc - r) - i : n - i;
            luaL_addlstring(b, r + i, plain);
            i += plain;
            if (i >= n) break;
            // '%' and the byte after it; a '%' at the very end adds a zero byte.
            char c = i + 1 < n ? r[i + 1] : '\0';
            i += 2;
            if (c == '0') {
                luaL_addlstring(b, whole, to - from);
            } else if (isdigit((unsigned char)c)) {
                m->PushCapture(c - '1', from, to);
                luaL_addvalue(b);
            } else {
                luaL_addchar(b, c);
            }
        }
        return;
    }
    if (type == LUA_TTABLE) {
        m->PushCapture(0, from, to);
        lua_gettable(L, 3);
    } else {
        lua_pushvalue(L, 3);
        int n = m->PushCaptures(from, to, true);
        lua_call(L, n, 1);
    }
    if (!lua_toboolean(L, -1)) {
        lua_pop(L, 1);
        luaL_addlstring(b, whole, to - from);
    } else if (!lua_isstring(L, -1)) {
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    } else {
        luaL_addvalue(b);
    }
}

int Gsub(lua_State* L) {
    size_t len;
    const char* s = luaL_checklstring(L, 1, &len);
    luaL_checkstring(L, 2);
    int type = lua_type(L, 3);
    int most = luaL_optint(L, 4, (int)len + 1);
    luaL_argcheck(L, type == LUA_TNUMBER || type == LUA_TSTRING || type == LUA_TFUNCTION || type == LUA_TTABLE, 3,
                  "string/function/table expected");
    const Program* prog = ProgramFor(L, 2, false, true);
    Matcher m = Begin(L, prog, s, len, lua_upvalueindex(kAnchorsUp));
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    size_t at = 0;
    int n = 0;
    while (n < most) {
        size_t end, from = m.Search(at, &end);
        if (from == kNone) break;
        luaL_addlstring(&b, s + at, from - at);
        n++;
        AddReplacement(&m, &b, from, end);
        if (end > from) {
            at = end;
        } else {
            if (from >= len) {
                at = len;
                break;
            }
            luaL_addchar(&b, s[from]);
            at = from + 1;
        }
        if (prog->anchored) break;
    }
    luaL_addlstring(&b, s + at, len - at);
    luaL_pushresult(&b);
    lua_pushinteger(L, n);
    return 2;
}

}  // namespace

void LuaInstallPatterns(lua_State* L, PatternTick tick) {
    lua_getglobal(L, LUA_STRLIBNAME);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    Shared* sh = (Shared*)lua_newuserdata(L, sizeof(Shared));
    memset(sh, 0, sizeof *sh);
    sh->tick = tick;
    lua_createtable(L, 2 * kSlots, 1);
    sh->choices = (Choice*)lua_newuserdata(L, kFirstChoices * sizeof(Choice));
    sh->room = kFirstChoices;
    lua_rawseti(L, -2, 0);
    const struct {
        const char* name;
        lua_CFunction fn;
    } fns[] = {{"find", Find}, {"match", Match}, {"gmatch", Gmatch}, {"gsub", Gsub}};
    for (const auto& f : fns) {
        lua_pushvalue(L, -2);
        lua_pushvalue(L, -2);
        lua_pushcclosure(L, f.fn, 2);
        lua_setfield(L, -4, f.name);
    }
    // gmatch's old name.
    lua_getfield(L, -3, "gmatch");
    lua_setfield(L, -4, "gfind");
    lua_pop(L, 3);
}
