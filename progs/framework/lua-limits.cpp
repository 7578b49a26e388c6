// The limits of script calls and loads. See lua-limits.h.
#include "lua-limits.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "framework-kd.h"
#include "kodo.h"
#include "lua-patterns.h"
#include "nstring.h"
#include "processor-clock.h"

// Each state's record, the allocator's own block (so every thread of the
// state finds it without a look-up): the instruction count and the clock
// of the outermost protected call of the state, how deep the calls are,
// whether a limit stopped the call, whether the allocator refused growth,
// and the bytes the state holds.
struct CallBudget {
    long used;
    int depth;
    bool spent;
    bool refused;
    size_t bytes;
    // The thread's processor clock at the outermost call's start, or a
    // little later (never earlier), and the wall clock's reading from
    // which that clock is worth reading again (nanoseconds). The clock is
    // started at the call's first check, not at its start: a call that
    // meets no check (most handlers) reads no clock.
    bool started;
    long long cpu_start;
    long long check_at;
    // A thread of the state has been hooked at every instruction by a stop.
    bool armed;
    lua_State* state;  // the main thread, whose stack names the place
    // The chunk being parsed: it names the place of a limit met while no
    // script runs (a file's parse).
    const char* loading;
    // The parse is the whole limited call (a file's, a layout's), whose
    // time stop says it did not compile, whichever check meets it.
    bool parse_call;
    // Library functions entered until the clock is read again.
    int entries;
    // A sort writes its result into the script's table: no growth is
    // refused (see BoundedSort).
    bool writing_sorted;
    // The report of the limit that stopped the call (or of the first
    // refused growth): where the script ran, and which limit.
    char stop[LUA_IDSIZE + 160];
};

// Bytes of all the states opened here, and how many are open.
static std::atomic<size_t> all_states_bytes{0};
static std::atomic<int> open_states{0};

// The hook runs every this many instructions.
enum { kHookStep = 1000 };
// Growth of this many bytes or more checks the clock.
enum { kTimedGrowth = 64 << 10 };

// ---------------------------------------------------------------------------
// The time limit's clocks
//
// The limit counts processor time, whose clock costs a system call; the
// coarse monotonic clock costs a few nanoseconds (it ticks every few
// milliseconds). A thread cannot spend more processor time than the wall
// time that passes, so the processor clock is read only once the wall
// clock says the limit could have passed, and then the wall clock waits
// again for what is left. A call's start borrows the thread's last
// reading of the processor clock, at most kAnchorAgeNs old, pushed on by
// the wall time since: the start is taken late by at most that age and a
// tick, so a call is stopped at most so much after its limit, never
// before it. The start is taken at the call's first check, which comes
// before any work that could take long: the first library function
// entered, the first growth of 64 KB, the first piece of a parse, or the
// hook's first thousand instructions.

static const long long kLimitNs = (long long)UI_SCRIPT_TIME_LIMIT_MS * 1000000;
static const long long kAnchorAgeNs = 10000000;

struct WallClock {
    clockid_t id;
    long long tick;  // how far behind the true time a reading may be
};

static WallClock PickWallClock() {
    timespec r;
#ifdef CLOCK_MONOTONIC_COARSE
    if (clock_getres(CLOCK_MONOTONIC_COARSE, &r) == 0 && r.tv_sec == 0 && r.tv_nsec <= kAnchorAgeNs)
        return {CLOCK_MONOTONIC_COARSE, r.tv_nsec};
#endif
    clock_getres(CLOCK_MONOTONIC, &r);
    return {CLOCK_MONOTONIC, r.tv_nsec + 1};
}

// (States are opened from main on, after every file's statics are made.)
static const WallClock wall_clock = PickWallClock();
static const WallClock& Wall() { return wall_clock; }

// A test's clock in place of both (LuaSetLimitClock), or null.
static std::atomic<long long (*)()> test_clock{nullptr};

static long long WallNs() {
    if (long long (*clock)() = test_clock.load(std::memory_order_relaxed)) return clock();
    timespec t;
    clock_gettime(Wall().id, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

// The thread's processor clock and the wall clock read just before it.
struct Anchor {
    long long wall = -1;
    long long cpu = 0;
};
static thread_local Anchor anchor;

static long long ProcessorNs() {
    if (long long (*clock)() = test_clock.load(std::memory_order_relaxed)) return clock();
    return ThreadProcessorNs();
}

void LuaSetLimitClock(long long (*clock)()) {
    test_clock = clock;
    anchor = Anchor();  // the thread's last reading was of the other clock
}

static void StartClock(CallBudget* b) {
    const long long now = WallNs();
    if (anchor.wall < 0 || now - anchor.wall > kAnchorAgeNs) {
        anchor.wall = now;
        anchor.cpu = ProcessorNs();
    }
    b->cpu_start = anchor.cpu + (now - anchor.wall) + Wall().tick;
    b->check_at = now + kLimitNs - Wall().tick;
    b->started = true;
}

static bool Late(CallBudget* b) {
    if (b->depth == 0) return false;
    if (!b->started) {
        StartClock(b);
        return false;
    }
    const long long now = WallNs();
    if (now < b->check_at) return false;
    const long long left = kLimitNs - (ProcessorNs() - b->cpu_start);
    if (left < 0) return true;
    b->check_at = now + left - Wall().tick;
    return false;
}

// ---------------------------------------------------------------------------
// Stopping a call

// The name a chunk's loader gave, as a line names it: a file's path, or
// "a string".
static const char* ChunkPlace(const char* chunk) {
    if (!chunk) return "?";
    return *chunk == '@' || *chunk == '=' ? chunk + 1 : "a string";
}

// Names the first script function on the stack (a library function that
// asked for the memory has no line of its own), or else the chunk being
// parsed.
static void WhereScriptRuns(lua_State* L, char* out, size_t size, const char* loading = nullptr) {
    lua_Debug ar;
    snprintf(out, size, "%s", ChunkPlace(loading));
    for (int level = 0; lua_getstack(L, level, &ar); level++) {
        if (!lua_getinfo(L, "Sl", &ar) || ar.currentline < 0) continue;
        snprintf(out, size, "%s:%d", ar.short_src, ar.currentline);
        return;
    }
}

// Writes the report "<where>: <what>" of a limit.
static void NoteStop(CallBudget* b, lua_State* L, const char* what) {
    char where[LUA_IDSIZE + 16];
    WhereScriptRuns(L, where, sizeof where, b->loading);
    snprintf(b->stop, sizeof b->stop, "%s: %s", where, what);
}

static const char kTimeText[] = "ran longer than %d ms in one call (an endless loop?)";
static const char kCompileText[] = "took longer than %d ms to compile; not loaded";
static const char* TimeText(const CallBudget* b) { return b->parse_call ? kCompileText : kTimeText; }

// Marks the call stopped with the report of the limit (written first with
// `format`, unless a limit stopped the call already).
static void MarkStopped(lua_State* L, CallBudget* b, const char* format, ...) N_PRINTF_LIKE(3, 4);
static void MarkStopped(lua_State* L, CallBudget* b, const char* format, ...) {
    if (b->spent) return;
    char what[128];
    va_list ap;
    va_start(ap, format);
    vsnprintf(what, sizeof what, format, ap);
    va_end(ap);
    NoteStop(b, L, what);
    b->spent = true;
}

// Growth beyond a cap is refused only while a script of the state runs:
// what the program itself does in a state between calls (a function
// registered, an argument pushed) is small, and a refusal there, outside
// any protected call, would end the process. A refusal of the time limit
// stops the call as the budget does; one of a cap is the script's to
// catch, as a coroutine's error is.
static void* CappedAlloc(void* ud, void* ptr, size_t osize, size_t nsize) {
    CallBudget* b = (CallBudget*)ud;
    if (nsize == 0) {
        free(ptr);
        b->bytes -= osize;
        all_states_bytes -= osize;
        return nullptr;
    }
    if (nsize > osize && b->depth > 0 && !b->writing_sorted) {
        const size_t grow = nsize - osize;
        const char* what = nullptr;
        int limit = 0;
        if (b->bytes + grow > UI_SCRIPT_MEMORY_CAP) {
            what = "needed more than %d MB of memory (the limit of a script)";
            limit = (int)(UI_SCRIPT_MEMORY_CAP >> 20);
        } else if (b->bytes + grow > UI_SCRIPT_SMALL_STATE && all_states_bytes + grow > UI_SCRIPTS_MEMORY_CAP) {
            what = "needed more memory than the %d MB all scripts together may hold";
            limit = (int)(UI_SCRIPTS_MEMORY_CAP >> 20);
        }
        const bool late = !what && grow >= kTimedGrowth && (b->spent || Late(b));
        if (late) {
            what = TimeText(b);
            limit = UI_SCRIPT_TIME_LIMIT_MS;
        }
        if (what) {
            // The first refusal is reported, unless a limit stopped the call.
            if (!b->spent && (late || !b->refused)) {
                char text[128];
                snprintf(text, sizeof text, what, limit);
                NoteStop(b, b->state, text);
            }
            b->refused = true;
            b->spent = b->spent || late;
            return nullptr;
        }
    }
    void* p = realloc(ptr, nsize);
    if (p) {
        b->bytes = b->bytes - osize + nsize;
        all_states_bytes += nsize;
        all_states_bytes -= osize;
    }
    return p;
}

static CallBudget* BudgetOf(lua_State* L) {
    void* ud = nullptr;
    return lua_getallocf(L, &ud) == CappedAlloc ? (CallBudget*)ud : nullptr;
}

static void CountHook(lua_State* L, lua_Debug*);

// From a stop on, the hook runs at every instruction and raises again, so
// a script that catches the error (pcall, a coroutine, load's reader,
// xpcall's handler) is stopped at its next instruction, up to the
// outermost call. (A hook of the state's owner other than the count's, a
// test's, stays.)
static void ArmStop(lua_State* L, CallBudget* b) {
    lua_sethook(L, lua_gethook(L) ? lua_gethook(L) : CountHook, LUA_MASKCOUNT, 1);
    b->armed = true;
}

static int RaiseStop(lua_State* L, CallBudget* b) {
    ArmStop(L, b);
    lua_pushstring(L, b->stop);
    return lua_error(L);
}

static void CountHook(lua_State* L, lua_Debug*) {
    CallBudget* b = BudgetOf(L);
    if (!b) return;
    // A thread left hooked at every instruction by an earlier stop counts
    // one a run from now on; what runs outside a limited call is not
    // counted.
    b->used += lua_gethookcount(L);
    if (lua_gethookcount(L) != kHookStep) lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookStep);
    if (b->depth == 0) return;
    if (b->spent) RaiseStop(L, b);
    if (b->used > UI_SCRIPTABLE_BUDGET) {
        MarkStopped(L, b, "ran more than %d instructions in one call (an endless loop?)", (int)UI_SCRIPTABLE_BUDGET);
        RaiseStop(L, b);
    }
    if (Late(b)) {
        MarkStopped(L, b, TimeText(b), (int)UI_SCRIPT_TIME_LIMIT_MS);
        RaiseStop(L, b);
    }
}

// True when the running call is over its limits (and marked stopped).
static bool OverLimits(lua_State* L, CallBudget* b) {
    if (!b || b->depth == 0) return false;
    if (!b->spent && Late(b)) MarkStopped(L, b, TimeText(b), (int)UI_SCRIPT_TIME_LIMIT_MS);
    return b->spent;
}

// Library functions entered between two readings of the clock. A library
// function's own work is bounded (by the memory caps, or by its own
// checks: a match or a sort checks every few thousand steps), so the
// clock read every so many entries keeps the bound, at a fraction of the
// cost of a reading at each.
enum { kEntriesPerClock = 32 };

// Where the hook does not reach (a library function, called from a script
// or from another library function, a step of a pattern match or of a
// sort): stops the running call once it is over its limits.
static void CheckLimits(lua_State* L) {
    CallBudget* b = BudgetOf(L);
    if (!b || (!b->spent && --b->entries > 0)) return;
    b->entries = kEntriesPerClock;
    if (OverLimits(L, b)) RaiseStop(L, b);
}

int LuaLimitedCall(lua_State* L, int (*call)(lua_State* L, void* ctx), void* ctx) {
    CallBudget* b = BudgetOf(L);
    if (!b) return call(L, ctx);
    if (b->depth++ == 0) {
        b->used = 0;
        b->spent = false;
        b->refused = false;
        b->entries = 1;
        b->started = false;
        b->writing_sorted = false;  // left set by a write the machine's memory stopped
        if (b->armed && lua_gethookcount(L) != kHookStep && lua_gethook(L) == CountHook)
            lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookStep);
        b->armed = false;
    }
    int status = call(L, ctx);
    b->depth--;
    if (b->depth > 0) return status;
    // The memory the script took goes back before anything else is asked
    // of the state (also when the script caught the refusal itself), and
    // the report names where it ran.
    bool stopped = status != 0 && (b->spent || (status == LUA_ERRMEM && b->refused));
    if (stopped) lua_pop(L, 1);
    if (b->refused) lua_gc(L, LUA_GCCOLLECT, 0);
    if (stopped) {
        b->spent = true;
        lua_pushstring(L, b->stop);
    }
    return status;
}

bool LuaLimitedCallRuns(lua_State* L) {
    CallBudget* b = L ? BudgetOf(L) : nullptr;
    return b && b->depth > 0;
}

bool LuaLimitSpent(lua_State* L) {
    CallBudget* b = L ? BudgetOf(L) : nullptr;
    return b && b->spent;
}

// ---------------------------------------------------------------------------
// States

lua_State* LuaLimitedState() {
    if (all_states_bytes >= UI_SCRIPTS_MEMORY_CAP || open_states >= UI_SCRIPT_STATES) {
        kd->PrintDebugf(
            KD_LOG_WARNING, "LuaManager: no new script state: %d states hold %d MB (at most %d states, %d MB).\n",
            (int)open_states, (int)(all_states_bytes >> 20), (int)UI_SCRIPT_STATES, (int)(UI_SCRIPTS_MEMORY_CAP >> 20));
        return nullptr;
    }
    CallBudget* b = (CallBudget*)calloc(1, sizeof(CallBudget));
    lua_State* L = b ? lua_newstate(CappedAlloc, b) : nullptr;
    if (!L) {
        free(b);
        return nullptr;
    }
    open_states++;
    b->state = L;
    return L;
}

void LuaCloseLimitedState(lua_State* L) {
    CallBudget* b = BudgetOf(L);
    lua_close(L);
    if (b) open_states--;
    free(b);
}

// ---------------------------------------------------------------------------
// Loading script text

// Lua's parser takes time out of proportion to some texts (a long chain
// of `elseif`s), and takes it between two reads: text is handed to it in
// pieces of kLoadPiece bytes, and the time limit is checked with the
// clock read before each, so a parse is stopped at most one piece's work
// after the limit.
enum { kLoadPiece = 1024 };
namespace {
struct Pieces {
    lua_Reader read;
    void* ud;
    const char* chunk;
    bool first;
    bool refused;
};
struct Text {
    const char* text;
    size_t size;
};
}  // namespace

// The parser tells a precompiled chunk by its first byte: the first piece
// decides.
static const char* ReadScriptText(lua_State* L, void* ud, size_t* size) {
    Pieces* p = (Pieces*)ud;
    CallBudget* b = BudgetOf(L);
    if (b && b->depth > 0) {
        if (!b->spent && Late(b)) MarkStopped(L, b, TimeText(b), (int)UI_SCRIPT_TIME_LIMIT_MS);
        if (b->spent) RaiseStop(L, b);
    }
    const char* piece = p->read(L, p->ud, size);
    const bool first = p->first;
    p->first = false;
    if (first && piece && *size > 0 && piece[0] == LUA_SIGNATURE[0]) {
        p->refused = true;
        lua_pushfstring(L, "%s: a precompiled chunk is refused; only script text is loaded", ChunkPlace(p->chunk));
        lua_error(L);
    }
    return piece;
}

static int LoadChecked(lua_State* L, lua_Reader read, void* ud, const char* chunk, bool* refused,
                       bool whole_call = false) {
    Pieces p = {read, ud, chunk, true, false};
    CallBudget* b = BudgetOf(L);
    const char* outer = b ? b->loading : nullptr;
    const bool outer_parse = b && b->parse_call;
    if (b) {
        b->loading = chunk;
        b->parse_call = whole_call;
    }
    int status = lua_load(L, ReadScriptText, &p, chunk);
    if (b) {
        b->loading = outer;
        b->parse_call = outer_parse;
    }
    if (refused) *refused = p.refused;
    return status;
}

static const char* ReadInPieces(lua_State*, void* ud, size_t* size) {
    Text* t = (Text*)ud;
    *size = t->size < kLoadPiece ? t->size : (size_t)kLoadPiece;
    const char* piece = t->text;
    t->text += *size;
    t->size -= *size;
    return *size ? piece : nullptr;
}

static int LoadTextChecked(lua_State* L, const char* text, size_t size, const char* chunk, bool* refused,
                           bool whole_call = false) {
    Text t = {text, size};
    return LoadChecked(L, ReadInPieces, &t, chunk, refused, whole_call);
}

namespace {
struct LoadCall {
    const char* text;
    size_t size;
    const char* chunk;
};
}  // namespace

static int RunLoad(lua_State* L, void* ctx) {
    const LoadCall* c = (const LoadCall*)ctx;
    CallBudget* b = BudgetOf(L);
    return LoadTextChecked(L, c->text, c->size, c->chunk, nullptr, b && b->depth == 1);
}

// A parse is a limited call of its own (or a part of the running one):
// the time limit and the memory caps hold for it as for a script's run.
int LuaLoadText(lua_State* L, const char* text, size_t size, const char* chunk) {
    LoadCall c = {text, size, chunk};
    return LuaLimitedCall(L, RunLoad, &c);
}

// loadstring's and load's answer: the function, or nil and the message;
// a refused precompiled chunk leaves a line naming the script's place.
static int LoadAnswer(lua_State* L, int status, bool refused, const char* loader) {
    if (status == 0) return 1;
    if (refused) {
        char where[LUA_IDSIZE + 16];
        WhereScriptRuns(L, where, sizeof where);
        kd->PrintDebugf(KD_LOG_WARNING, "%s: %s: a precompiled chunk is refused; not loaded.\n", where, loader);
    }
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

static int ScriptLoadstring(lua_State* L) {
    size_t size;
    const char* text = luaL_checklstring(L, 1, &size);
    const char* chunk = luaL_optstring(L, 2, text);
    bool refused;
    int status = LoadTextChecked(L, text, size, chunk, &refused);
    return LoadAnswer(L, status, refused, "loadstring");
}

// load's pieces come from the script's function (argument 1); each stays
// in slot 3 while the parser reads it. Nil, nothing or "" ends the text.
static const char* ReadFromScript(lua_State* L, void*, size_t* size) {
    luaL_checkstack(L, 2, "too many nested functions");
    lua_pushvalue(L, 1);
    lua_call(L, 0, 1);
    *size = 0;
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return nullptr;
    }
    if (!lua_isstring(L, -1)) luaL_error(L, "reader function must return a string");
    lua_replace(L, 3);
    return lua_tolstring(L, 3, size);
}

static int ScriptLoad(lua_State* L) {
    const char* chunk = luaL_optstring(L, 2, "=(load)");
    luaL_checktype(L, 1, LUA_TFUNCTION);
    lua_settop(L, 3);
    bool refused;
    int status = LoadChecked(L, ReadFromScript, nullptr, chunk, &refused);
    return LoadAnswer(L, status, refused, "load");
}

// ---------------------------------------------------------------------------
// Library functions under the limits

// Lua runs xpcall's handler where the error is raised, with the hook off
// when the hook raised it (a limit's stop): a handler there could run
// without end. A stopped call's handler is not run (its answer is the
// stop's report, and the stop is raised again at the next instruction).
// Every stop is marked before it is raised, and nothing but a stop is
// raised inside the hook: any other error leaves the hook on, and its
// handler is called in place, as Lua calls it, so that its calls count
// towards Lua's own bound on nested C calls (a handler that calls xpcall
// again ends as Lua's does, not with the thread's stack).
static int HandlerUnderLimits(lua_State* L) {
    CallBudget* b = BudgetOf(L);
    if (OverLimits(L, b)) {
        ArmStop(L, b);
        lua_pushstring(L, b->stop);
        return 1;
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

static int GuardedXpcall(lua_State* L) {
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    if (lua_isfunction(L, 2)) {
        lua_pushvalue(L, 2);
        lua_pushcclosure(L, HandlerUnderLimits, 1);
        lua_replace(L, 2);
    }
    lua_insert(L, 1);
    int status = lua_pcall(L, 0, LUA_MULTRET, 1);
    lua_pushboolean(L, status == 0);
    lua_replace(L, 1);
    return lua_gettop(L);
}

// Calls the stock function (upvalue 1) with the arguments as they are.
static int CallStock(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

// A full collection takes as long as the heap is large, far longer than
// any other library function: the clock is read at the next entry.
static int CollectThenCheck(lua_State* L) {
    const int results = CallStock(L);
    CallBudget* b = BudgetOf(L);
    if (b) b->entries = 1;
    return results;
}

// The largest text one string.rep may make: an eighth of a state's cap
// (what its buffer takes while being built stays well within the cap);
// an empty text repeated counts one a repetition, as its loop does.
static const double kRepLimit = (double)(UI_SCRIPT_MEMORY_CAP >> 3);

static int BoundedRep(lua_State* L) {
    CallBudget* b = BudgetOf(L);
    size_t l;
    luaL_checklstring(L, 1, &l);
    double n = (double)luaL_checknumber(L, 2);
    if (b && (double)(l ? l : 1) * n > kRepLimit) {
        MarkStopped(L, b, "string.rep: %.0f times %lu characters is more than the %d MB one call may make", n,
                    (unsigned long)l, (int)(UI_SCRIPT_MEMORY_CAP >> 23));
        RaiseStop(L, b);
    }
    return CallStock(L);
}

// table.sort: a merge sort, bottom up, so no order of the elements costs
// more than n log2 n comparisons, and equal elements keep their order.
// The elements are read raw, from 1 to the length, into a scratch table,
// and the passes merge their places in it (two arrays of them), never the
// script's table: only once the order is known is the table written, in
// one pass of raw sets. A sort stopped before that (an error of the order
// or of a `__lt`, a limit) leaves the table as it was, and only the
// machine's own want of memory could stop that pass halfway: it calls
// nothing of the script's, checks no limit, and is refused no growth
// (which it asks for only where the order removed elements while the
// sort ran, or where nil elements move, and then for no more room than
// the elements need). The limits are checked every kSortStep
// comparisons, which run in C when the order is `<`. Before the write,
// each neighbour pair of the result is asked its order: an order under
// which one is still out of place (it says a < b and b < a, or a < a) is
// refused as "invalid order function for sorting".
namespace {
enum { kSortStep = 1024 };
// Stack slots: the table, the order (or nil), the scratch copy of the
// elements, the arrays of places (a userdata), and the heads of the two
// runs being merged.
enum { kSorted = 1, kOrder = 2, kCopy = 3, kPlaces = 4, kLeftHead = 5, kRightHead = 6 };
struct MergeSort {
    lua_State* L;
    bool by_function;  // the order is the function in kOrder, not `<`
    unsigned steps;

    // True when the value at stack index a goes before the one at b.
    bool Less(int a, int b) {
        if (++steps % kSortStep == 0) CheckLimits(L);
        if (!by_function) return lua_lessthan(L, a, b);
        lua_pushvalue(L, kOrder);
        lua_pushvalue(L, a);
        lua_pushvalue(L, b);
        lua_call(L, 2, 1);
        const bool less = lua_toboolean(L, -1);
        lua_pop(L, 1);
        return less;
    }
    // The element at `place` of the copy, into the stack slot.
    void Head(int slot, int place) {
        lua_rawgeti(L, kCopy, place);
        lua_replace(L, slot);
    }
    // Merges `from`'s runs [lo, mid) and [mid, hi) into `to`'s [lo, hi);
    // of two equal heads the left one goes first.
    void Merge(const int* from, int* to, int lo, int mid, int hi) {
        int i = lo, j = mid, k = lo;
        Head(kLeftHead, from[i]);
        Head(kRightHead, from[j]);
        for (;;) {
            const bool right = Less(kRightHead, kLeftHead);
            to[k++] = right ? from[j] : from[i];
            if (right ? ++j == hi : ++i == mid) break;
            if (right)
                Head(kRightHead, from[j]);
            else
                Head(kLeftHead, from[i]);
        }
        std::copy(from + i, from + mid, to + k);
        std::copy(from + j, from + hi, to + k + (mid - i));
    }
    // Sorts the places 1..n of the copy, in `from` and `to` (n each):
    // answers the array that holds them in order.
    const int* Sort(int n, int* from, int* to) {
        for (int k = 0; k < n; k++) from[k] = k + 1;
        for (long long width = 1; width < n; width *= 2) {
            for (long long lo = 0; lo < n; lo += 2 * width) {
                const int mid = (int)std::min<long long>(lo + width, n);
                const int hi = (int)std::min<long long>(lo + 2 * width, n);
                if (mid < hi)
                    Merge(from, to, (int)lo, mid, hi);
                else
                    std::copy(from + lo, from + hi, to + lo);
            }
            std::swap(from, to);
        }
        for (int k = 0; k + 1 < n; k++) {
            Head(kLeftHead, from[k]);
            Head(kRightHead, from[k + 1]);
            if (Less(kRightHead, kLeftHead)) luaL_error(L, "invalid order function for sorting");
        }
        return from;
    }
};
}  // namespace

static int BoundedSort(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    const int n = (int)lua_objlen(L, 1);
    luaL_checkstack(L, 8, "");
    if (!lua_isnoneornil(L, 2)) luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    if (n < 2) return 0;
    lua_createtable(L, n, 0);
    for (int k = 1; k <= n; k++) {
        lua_rawgeti(L, kSorted, k);
        lua_rawseti(L, kCopy, k);
    }
    int* places = (int*)lua_newuserdata(L, 2 * sizeof(int) * (size_t)n);
    lua_settop(L, kRightHead);
    MergeSort sort = {L, !lua_isnil(L, kOrder), 0};
    const int* order = sort.Sort(n, places, places + n);
    CallBudget* b = BudgetOf(L);
    if (b) b->writing_sorted = true;
    for (int k = 0; k < n; k++) {
        lua_rawgeti(L, kCopy, order[k]);
        lua_rawseti(L, kSorted, k + 1);
    }
    if (b) b->writing_sorted = false;
    return 0;
}

// A library function entered: the limits checked, then the function
// itself called in place (no frame of its own, so levels, names in
// errors and yields stay what they were), with its own N upvalues first
// and its address last.
template <int N>
static int Entered(lua_State* L) {
    CheckLimits(L);
    return (*(lua_CFunction*)lua_touserdata(L, lua_upvalueindex(N + 1)))(L);
}
static const lua_CFunction kEntered[] = {Entered<0>, Entered<1>, Entered<2>, Entered<3>};
static const int kEnteredUpvalues = (int)(sizeof kEntered / sizeof kEntered[0]) - 1;

// Another C function with more upvalues than kEntered serves: called.
static int EnteredByCall(lua_State* L) {
    CheckLimits(L);
    return CallStock(L);
}

// Puts the C function at the top of the stack under the entry check.
static void GuardFunction(lua_State* L) {
    const int fn = lua_gettop(L);
    int n = 0;
    while (n <= kEnteredUpvalues && lua_getupvalue(L, fn, n + 1)) n++;
    if (n > kEnteredUpvalues) {
        lua_settop(L, fn);
        lua_pushcclosure(L, EnteredByCall, 1);
        return;
    }
    *(lua_CFunction*)lua_newuserdata(L, sizeof(lua_CFunction)) = lua_tocfunction(L, fn);
    lua_pushcclosure(L, kEntered[n], n + 1);
    lua_replace(L, fn);
}

// Library functions that go without the entry check: their work is
// constant, or a copy no larger than the memory it takes (whose growth the
// allocator checks), or a script's metamethod (which the hook counts), so
// they can take long only when called without end, and whatever calls
// them so runs instructions or checks the limits itself (a match, a sort,
// a parse). They are the calls a frame's script makes most, at their
// stock cost. ("math.*" is the whole library.)
static const char* const kWithoutEntryCheck[] = {
    "math.*",       "string.byte", "string.char", "string.len", "string.lower", "string.reverse", "string.sub",
    "string.upper", "ipairs",      "next",        "pairs",      "rawequal",     "rawget",         "rawset",
    "select",       "tonumber",    "tostring",    "type",       "unpack",
};

static bool WithoutEntryCheck(const char* lib, const char* name) {
    char full[64];
    snprintf(full, sizeof full, "%s%s%s", lib, *lib ? "." : "", name);
    const size_t lib_size = strlen(lib);
    for (const char* entry : kWithoutEntryCheck) {
        if (strcmp(entry, full) == 0) return true;
        if (*lib && strncmp(entry, lib, lib_size) == 0 && strcmp(entry + lib_size, ".*") == 0) return true;
    }
    return false;
}

// Every C function of the table at `t` (an absolute index), the library
// `lib` ("" for the globals).
static void GuardTable(lua_State* L, int t, const char* lib) {
    lua_pushnil(L);
    while (lua_next(L, t)) {
        if (lua_iscfunction(L, -1) &&
            !(lua_type(L, -2) == LUA_TSTRING && WithoutEntryCheck(lib, lua_tostring(L, -2)))) {
            GuardFunction(L);
            lua_pushvalue(L, -2);
            lua_insert(L, -2);
            lua_rawset(L, t);
        } else {
            lua_pop(L, 1);
        }
    }
}

static void PatternTickCheck(lua_State* L) { CheckLimits(L); }

void LuaGuardLibraries(lua_State* L) {
    // A finalizer (`__gc`, which only a userdata from `newproxy` gets) runs
    // with the hook off, at whatever allocation the collector steps in,
    // also outside any protected call: it could neither be stopped nor
    // fail without ending the process. Scripts get no way to make one.
    lua_pushnil(L);
    lua_setfield(L, LUA_GLOBALSINDEX, "newproxy");
    lua_pushcfunction(L, GuardedXpcall);
    lua_setfield(L, LUA_GLOBALSINDEX, "xpcall");
    lua_pushcfunction(L, ScriptLoadstring);
    lua_setfield(L, LUA_GLOBALSINDEX, "loadstring");
    lua_pushcfunction(L, ScriptLoad);
    lua_setfield(L, LUA_GLOBALSINDEX, "load");
    lua_getglobal(L, "collectgarbage");
    lua_pushcclosure(L, CollectThenCheck, 1);
    lua_setglobal(L, "collectgarbage");
    lua_getglobal(L, LUA_STRLIBNAME);
    if (lua_istable(L, -1)) {
        lua_getfield(L, -1, "rep");
        lua_pushcclosure(L, BoundedRep, 1);
        lua_setfield(L, -2, "rep");
    }
    lua_pop(L, 1);
    lua_getglobal(L, LUA_TABLIBNAME);
    if (lua_istable(L, -1)) {
        lua_pushcfunction(L, BoundedSort);
        lua_setfield(L, -2, "sort");
    }
    lua_pop(L, 1);

    // The libraries are the globals' C functions and the tables of them.
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    const int globals = lua_gettop(L);
    lua_pushnil(L);
    while (lua_next(L, globals)) {
        if (lua_istable(L, -1) && !lua_rawequal(L, -1, globals) && lua_type(L, -2) == LUA_TSTRING)
            GuardTable(L, lua_gettop(L), lua_tostring(L, -2));
        lua_pop(L, 1);
    }
    GuardTable(L, globals, "");
    lua_pop(L, 1);
    // The pattern functions check the limits themselves when entered.
    LuaInstallPatterns(L, PatternTickCheck);
    lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookStep);
}
