#include "luaman.h"

#include <ctype.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <atomic>

#include "lua-bindings.h"
#include "manager.h"

LuaManager lua_man;

// The registered names live as long as the process: states opened at any
// time receive them, so Shutdown keeps them, and the manager's destructor
// frees only the list storage. They go at exit, just before lua_man itself
// (objects of one file are destroyed in reverse order of definition).
struct LuaFunctionNamesAtExit {
    ~LuaFunctionNamesAtExit() {
        for (int i = 0; i < lua_man.functions.count; i++) {
            nStringFree(lua_man.functions[i].name);
            lua_man.functions[i].name = nullptr;
        }
    }
};
static LuaFunctionNamesAtExit lua_function_names_at_exit;

// ---------------------------------------------------------------------------
// State set-up

// Key of the owner block in each state's registry.
static char owner_key;

// An error outside any protected call ends the process (Lua exits after
// the panic function returns). The framework makes all its script calls
// protected, so only a failed allocation outside them lands here; the log
// keeps a trace of it.
static int SilentPanic(lua_State* L) {
    {
        const char* msg = lua_tostring(L, -1);
        kd->PrintDebugf(KD_LOG_WARNING, "LuaManager: unprotected Lua error: %s\n", msg ? msg : "?");
    }
    return 0;
}

// Scripts have nowhere to print to: arguments go through `tostring` as in
// stock Lua, and the text is dropped.
static int SilentPrint(lua_State* L) {
    int n = lua_gettop(L);
    lua_getglobal(L, "tostring");
    for (int i = 1; i <= n; i++) {
        lua_pushvalue(L, -1);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        if (!lua_tostring(L, -1)) return luaL_error(L, LUA_QL("tostring") " must return a string to " LUA_QL("print"));
        lua_pop(L, 1);
    }
    return 0;
}

// Files are reached only through the engine's search paths (LuaInclude);
// `loadfile` hands back its argument and loads nothing.
static int InertLoadfile(lua_State* L) {
    lua_settop(L, 1);
    return 1;
}

static int FailingDofile(lua_State* L) {
    const char* name = lua_tostring(L, 1);
    return luaL_error(L, "dofile('%s') is not available: use LuaInclude", name ? name : "");
}

// Stock globals replaced in every state. Not bindings: they keep the stock
// library's errors for script mistakes (lua-args.h's rules do not apply).
static const LuaBinding kReplacedStockGlobals[] = {
    {"print", SilentPrint},
    {"loadfile", InertLoadfile},
    {"dofile", FailingDofile},
};

// ---------------------------------------------------------------------------
// The instruction budget, the time limit and the memory caps

// Each state's record, the allocator's own block (so every thread of the
// state finds it without a look-up): the instruction count and the start
// of the outermost protected call of the state, how deep the calls are,
// whether a limit stopped the call, whether the allocator refused growth,
// and the bytes the state holds.
struct CallBudget {
    long used;
    int depth;
    bool spent;
    bool refused;
    size_t bytes;
    double started;    // milliseconds, monotonic
    lua_State* state;  // the main thread, whose stack names the place
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

// The calling thread's processor time: a host that stops the game now and
// then, or a machine busy with other work, stretches a call's wall time
// but not what the call itself spends.
static double NowMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

static bool Late(const CallBudget* b) { return b->depth > 0 && NowMs() - b->started > UI_SCRIPT_TIME_LIMIT_MS; }

// Names the first script function on the stack (a library function that
// asked for the memory has no line of its own).
static void WhereScriptRuns(lua_State* L, char* out, size_t size) {
    lua_Debug ar;
    snprintf(out, size, "?");
    for (int level = 0; lua_getstack(L, level, &ar); level++) {
        if (!lua_getinfo(L, "Sl", &ar) || ar.currentline < 0) continue;
        snprintf(out, size, "%s:%d", ar.short_src, ar.currentline);
        return;
    }
}

// Writes the report "<where>: <what>" of a limit.
static void NoteStop(CallBudget* b, lua_State* L, const char* what) {
    char where[LUA_IDSIZE + 16];
    WhereScriptRuns(L, where, sizeof where);
    snprintf(b->stop, sizeof b->stop, "%s: %s", where, what);
}

static const char kTimeText[] = "ran longer than %d ms in one call (an endless loop?)";

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
    if (nsize > osize && b->depth > 0) {
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
            what = kTimeText;
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

// (A hook of the state's owner other than the count's, a test's, stays.)
static int RaiseStop(lua_State* L, CallBudget* b) {
    lua_sethook(L, lua_gethook(L) ? lua_gethook(L) : CountHook, LUA_MASKCOUNT, 1);
    lua_pushstring(L, b->stop);
    return lua_error(L);
}

// Stops the running call with the report of the limit (written first with
// `format`, unless a limit stopped the call already). From then on the
// hook runs at every instruction and raises again, so a script that
// catches the error (pcall, a coroutine, load's reader) is stopped at its
// next instruction, up to the outermost call.
static int StopCall(lua_State* L, CallBudget* b, const char* format, ...) N_PRINTF_LIKE(3, 4);
static int StopCall(lua_State* L, CallBudget* b, const char* format, ...) {
    if (!b->spent) {
        char what[128];
        va_list ap;
        va_start(ap, format);
        vsnprintf(what, sizeof what, format, ap);
        va_end(ap);
        NoteStop(b, L, what);
        b->spent = true;
    }
    return RaiseStop(L, b);
}

static void CountHook(lua_State* L, lua_Debug*) {
    CallBudget* b = BudgetOf(L);
    if (!b) return;
    if (b->spent && b->depth > 0) RaiseStop(L, b);
    // A thread left hooked at every instruction by an earlier stop counts
    // one a run from now on.
    b->used += lua_gethookcount(L);
    if (lua_gethookcount(L) != kHookStep) lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookStep);
    if (b->used > UI_SCRIPTABLE_BUDGET)
        StopCall(L, b, "ran more than %d instructions in one call (an endless loop?)", (int)UI_SCRIPTABLE_BUDGET);
    if (Late(b)) StopCall(L, b, kTimeText, (int)UI_SCRIPT_TIME_LIMIT_MS);
}

// Runs `call` as the outermost or a nested call of the state: the
// outermost starts the count and the clock, and afterwards gives back
// the memory a refused script took and reports the limit that stopped it.
template <class Call>
static int UnderLimits(lua_State* L, Call call) {
    CallBudget* b = BudgetOf(L);
    if (!b) return call();
    if (b->depth++ == 0) {
        b->used = 0;
        b->spent = false;
        b->refused = false;
        b->started = NowMs();
        if (lua_gethook(L) == CountHook) lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookStep);
    }
    int status = call();
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

int LuaManager::PCall(lua_State* L, int nargs, int nresults) {
    return UnderLimits(L, [&] { return lua_pcall(L, nargs, nresults, 0); });
}

int LuaManager::CPCall(lua_State* L, lua_CFunction body, void* ud) {
    return UnderLimits(L, [&] { return lua_cpcall(L, body, ud); });
}

bool LuaManager::IsRunning(lua_State* L) {
    CallBudget* b = L ? BudgetOf(L) : nullptr;
    return b && b->depth > 0;
}

bool LuaManager::BudgetSpent(lua_State* L) {
    CallBudget* b = L ? BudgetOf(L) : nullptr;
    return b && b->spent;
}

// ---------------------------------------------------------------------------
// Library calls that one instruction can make long

// Stops the call when the time limit has passed (library calls do not
// reach the hook).
static CallBudget* CheckTime(lua_State* L) {
    CallBudget* b = BudgetOf(L);
    if (b && b->depth > 0 && (b->spent || Late(b))) StopCall(L, b, kTimeText, (int)UI_SCRIPT_TIME_LIMIT_MS);
    return b;
}

// Calls the stock function (upvalue 1) with the arguments as they are.
static int CallStock(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

// The largest text one string.rep may make: an eighth of a state's cap
// (what its buffer takes while being built stays well within the cap);
// an empty text repeated counts one a repetition, as its loop does.
static const double kRepLimit = (double)(UI_SCRIPT_MEMORY_CAP >> 3);

static int BoundedRep(lua_State* L) {
    CallBudget* b = CheckTime(L);
    size_t l;
    luaL_checklstring(L, 1, &l);
    double n = (double)luaL_checknumber(L, 2);
    if (b && (double)(l ? l : 1) * n > kRepLimit)
        StopCall(L, b, "string.rep: %.0f times %lu characters is more than the %d MB one call may make", n,
                 (unsigned long)l, (int)(UI_SCRIPT_MEMORY_CAP >> 23));
    return CallStock(L);
}

// Pattern matching backtracks: an item repeated with `*`, `+` or `-` may
// try as many lengths as the longest run of characters its class matches
// in the subject, one with `?` two, and every branch walks the rest of
// the pattern (a balance `%b` or a back-reference scans the subject). The
// product, times the start positions, bounds the steps of one call; one
// whose bound passes kPatternSteps (some tenths of a second) is refused
// before it starts, as is one whose captures and repeated items nest
// deeper than the matcher's recursion may go on the C stack.
static const double kPatternSteps = 1e8;
enum { kPatternDepth = 200 };

// Whether `c` is in the class of the letter after '%' (upper case: the
// complement); another character stands for itself.
static bool InClass(int c, int letter) {
    int in;
    switch (tolower(letter)) {
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
        default: return letter == c;
    }
    return isupper(letter) ? !in : in != 0;
}

// A set "[...]" from `p` (its '[') to `close` (its ']').
static bool InSet(int c, const char* p, const char* close) {
    bool found = true;
    if (p[1] == '^') {
        found = false;
        p++;
    }
    while (++p < close) {
        if (*p == '%') {
            if (InClass(c, (unsigned char)*++p)) return found;
        } else if (p[1] == '-' && p + 2 < close) {
            if ((unsigned char)*p <= c && c <= (unsigned char)p[2]) return found;
            p += 2;
        } else if ((unsigned char)*p == c) {
            return found;
        }
    }
    return !found;
}

// The end of the single-character item at `p`, or null when it is
// malformed (the stock function reports that).
static const char* ItemEnd(const char* p) {
    if (*p == '%') return p[1] ? p + 2 : nullptr;
    if (*p != '[') return p + 1;
    const char* q = p + 1;
    if (*q == '^') q++;
    do {
        if (!*q) return nullptr;
        if (*q++ == '%' && *q) q++;
    } while (*q != ']');
    return q + 1;
}

static bool ItemMatches(int c, const char* p, const char* end) {
    if (*p == '.') return true;
    if (*p == '%') return InClass(c, (unsigned char)p[1]);
    if (*p == '[') return InSet(c, p, end - 1);
    return (unsigned char)*p == c;
}

static size_t LongestRun(const char* s, size_t n, const char* p, const char* end) {
    if (*p == '.') return n;
    size_t best = 0, run = 0;
    for (size_t i = 0; i < n; i++) {
        run = ItemMatches((unsigned char)s[i], p, end) ? run + 1 : 0;
        if (run > best) best = run;
    }
    return best;
}

// Null when the call may run, else why not.
static const char* PatternRefusal(const char* s, size_t n, const char* p, size_t plen, bool anchors, bool plain) {
    const double len = (double)n + 1;
    if (plain) return len * ((double)plen + 1) > kPatternSteps ? "could take too long" : nullptr;
    double starts = len, branches = 1, walk = 1, scanned = 0;
    int depth = 0;
    if (anchors && *p == '^') {
        starts = 1;
        p++;
    }
    while (*p) {
        const char* end = nullptr;
        if (*p == '(' || *p == ')') {
            depth++;
            end = p + 1;
        } else if (*p == '$' && !p[1]) {
            end = p + 1;
        } else if (*p == '%' && p[1] == 'b') {
            if (!p[2] || !p[3]) return nullptr;
            walk += len;
            end = p + 4;
        } else if (*p == '%' && p[1] == 'f') {
            if (p[2] != '[' || !(end = ItemEnd(p + 2))) return nullptr;
        } else if (*p == '%' && p[1] >= '0' && p[1] <= '9') {
            walk += len;
            end = p + 2;
        } else {
            if (!(end = ItemEnd(p))) return nullptr;
            if (*end == '*' || *end == '+' || *end == '-') {
                scanned += len;
                branches *= (double)LongestRun(s, n, p, end) + 1;
                depth++;
                end++;
            } else if (*end == '?') {
                branches *= 2;
                depth++;
                end++;
            }
        }
        walk++;
        p = end;
        if (depth > kPatternDepth) return "is too complex (too many captures and repeated items)";
        if (starts * branches * walk + scanned > kPatternSteps) return "could take too long";
    }
    return nullptr;
}

enum PatternCall { kFind, kMatch, kGmatch, kGsub };
static const char* const kPatternCallNames[] = {"find", "match", "gmatch", "gsub"};

static int BoundedPattern(lua_State* L) {
    CallBudget* b = CheckTime(L);
    int call = (int)lua_tointeger(L, lua_upvalueindex(2));
    size_t n, plen;
    const char* s = luaL_checklstring(L, 1, &n);
    const char* p = luaL_checklstring(L, 2, &plen);
    bool plain = call == kFind && (lua_toboolean(L, 4) || !strpbrk(p, "^$*+?.([%-"));
    const char* refusal = b ? PatternRefusal(s, n, p, plen, call != kGmatch, plain) : nullptr;
    if (refusal)
        StopCall(L, b, "string.%s: the pattern '%.40s' on %lu characters %s; not run", kPatternCallNames[call], p,
                 (unsigned long)n, refusal);
    return CallStock(L);
}

int LuaManager::SetUpState(lua_State* L) {
    static const luaL_Reg libs[] = {
        {"", luaopen_base},
        {LUA_MATHLIBNAME, luaopen_math},
        {LUA_STRLIBNAME, luaopen_string},
        {LUA_TABLIBNAME, luaopen_table},
    };
    for (const luaL_Reg& lib : libs) {
        lua_pushcfunction(L, lib.func);
        lua_pushstring(L, lib.name);
        lua_call(L, 1, 0);
    }
    RegisterLuaFuncs(L, kReplacedStockGlobals);
    // A finalizer (`__gc`, which only a userdata from `newproxy` gets) runs
    // with the hook off, at whatever allocation the collector steps in,
    // also outside any protected call: it could neither be stopped nor
    // fail without ending the process. Scripts get no way to make one.
    lua_pushnil(L);
    lua_setfield(L, LUA_GLOBALSINDEX, "newproxy");
    lua_getglobal(L, LUA_STRLIBNAME);
    if (lua_istable(L, -1)) {
        lua_pushcfunction(L, LuaStringFormat);
        lua_setfield(L, -2, "format");
        lua_getfield(L, -1, "rep");
        lua_pushcclosure(L, BoundedRep, 1);
        lua_setfield(L, -2, "rep");
        for (int call = kFind; call <= kGsub; call++) {
            lua_getfield(L, -1, kPatternCallNames[call]);
            lua_pushinteger(L, call);
            lua_pushcclosure(L, BoundedPattern, 2);
            lua_setfield(L, -2, kPatternCallNames[call]);
        }
    }
    lua_pop(L, 1);

    lua_pushlightuserdata(L, &owner_key);
    void* block = lua_newuserdata(L, LUA_OWNER_SPACE);
    memset(block, 0, LUA_OWNER_SPACE);
    lua_rawset(L, LUA_REGISTRYINDEX);
    lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookStep);

    RegisterLuaFuncs(L, lua_builtin_bindings, lua_builtin_binding_count);
    bool builtins_only = lua_touserdata(L, 1) != nullptr;
    if (builtins_only) return 0;
    const nArray<LuaFunctionEntry>& fns = lua_man.functions;
    for (int i = 0; i < fns.count; i++) RegisterLuaFunc(L, fns[i].name, fns[i].fn);
    return 0;
}

// Set-up runs protected: a failed allocation closes the state instead of
// ending the process.
lua_State* LuaManager::NewState(bool builtins_only) {
    if (all_states_bytes >= UI_SCRIPTS_MEMORY_CAP || open_states >= UI_SCRIPT_STATES) {
        kd->PrintDebugf(
            KD_LOG_WARNING, "LuaManager: no new script state: %d states hold %d MB (at most %d states, %d MB).\n",
            (int)open_states, (int)(all_states_bytes >> 20), (int)UI_SCRIPT_STATES, (int)(UI_SCRIPTS_MEMORY_CAP >> 20));
        return nullptr;
    }
    CallBudget* limits = (CallBudget*)calloc(1, sizeof(CallBudget));
    lua_State* L = limits ? lua_newstate(CappedAlloc, limits) : nullptr;
    if (!L) {
        free(limits);
        return nullptr;
    }
    open_states++;
    limits->state = L;
    lua_atpanic(L, SilentPanic);
    static char builtins_only_mark;
    if (lua_cpcall(L, SetUpState, builtins_only ? &builtins_only_mark : nullptr) != 0) {
        kd->PrintDebugf(KD_LOG_WARNING, "LuaManager::OpenLuaState: %s\n",
                        lua_tostring(L, -1) ? lua_tostring(L, -1) : "?");
        CloseState(L);
        return nullptr;
    }
    return L;
}

void LuaManager::CloseState(lua_State* L) {
    CallBudget* limits = BudgetOf(L);
    lua_close(L);
    if (limits) open_states--;
    free(limits);
}

lua_State* LuaManager::OpenLuaState(int) {
    lua_State* L = NewState(false);
    if (L) states.InsertLast(L);
    return L;
}

lua_State* LuaManager::OpenBuiltinsOnlyLuaState() { return NewState(true); }

void LuaManager::CloseLuaState(lua_State* L) {
    if (!L) return;
    CloseState(L);
    states.Remove(L);
}

bool LuaManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "LuaManager::Initialize.\n");
    main_state = OpenLuaState(0);
    return true;
}

void LuaManager::Shutdown() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "LuaManager::Shutdown.\n");
    if (main_state) CloseLuaState(main_state);
    main_state = nullptr;
}

// Set raw: a script's `__newindex` on the globals must not run (and could
// raise) outside a protected call.
void LuaManager::RegisterLuaFunc(lua_State* L, const char* name, lua_CFunction fn) {
    if (!L || !name || !fn) return;
    lua_pushstring(L, name);
    lua_pushcclosure(L, fn, 0);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

void LuaManager::RegisterLuaFuncs(lua_State* L, const LuaBinding* rows, int count) {
    for (int i = 0; i < count; i++) RegisterLuaFunc(L, rows[i].name, rows[i].fn);
}

void LuaManager::AddLuaFunctions(const LuaBinding* rows, int count) {
    for (int i = 0; i < count; i++) AddLuaFunction(rows[i].name, rows[i].fn);
}

void LuaManager::AddLuaFunction(const char* name, lua_CFunction fn) {
    if (!name || !fn) return;
    if (Manager::GetParms()->developer_mode && !kd->IsMainThread())
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Adding lua-function '%s' from non-main thread! Should not do this unless you're doing this "
                        "within kd->Synchronize block.\n",
                        name);
    for (int i = 0; i < functions.count; i++) {
        if (nStringsMatch(functions[i].name, name)) {
            kd->Popupf(1, "LuaManager::AddLuaFunction: adding function with name %s multiple times!\n", name);
            return;
        }
    }
    LuaFunctionEntry e;
    e.name = nStringDuplicate(name);
    e.fn = fn;
    functions.InsertLast(e);
    for (int i = 0; i < states.count; i++) RegisterLuaFunc(states[i], name, fn);
}

// ---------------------------------------------------------------------------
// Owner block

void* LuaManager::GetLuaStateUserData(lua_State* L) {
    if (!L) return nullptr;
    lua_pushlightuserdata(L, &owner_key);
    lua_rawget(L, LUA_REGISTRYINDEX);
    void* block = lua_touserdata(L, -1);
    lua_pop(L, 1);
    return block;
}

void LuaManager::SetLuaStateUserData(lua_State* L, void* owner) {
    void* block = GetLuaStateUserData(L);
    if (block) *(void**)block = owner;
}

void* LuaManager::GetLuaStateOwner(lua_State* L) {
    void* block = GetLuaStateUserData(L);
    return block ? *(void**)block : nullptr;
}

// ---------------------------------------------------------------------------
// Running scripts

static const char* ErrorText(lua_State* L) {
    const char* msg = lua_tostring(L, -1);
    return msg ? msg : "(error object is not a string)";
}

void LuaManager::ExecLuaFile(lua_State* L, const char* path) {
    if (!L) L = main_state;
    if (!L) return;
    if (!path) path = "";
    kd_file_t* f = kd->OpenFile(path, "rb");
    if (!f) {
        ReportDataFault("WARNING: ExecLuaFile: File '%s' not found.\n", path);
        return;
    }
    // The size is measured through the file's own position, which works the
    // same for plain files and package entries.
    long size = 0;
    if (kd->fseek(f, 0, SEEK_END)) size = kd->ftell(f);
    kd->fseek(f, 0, SEEK_SET);
    if (size < 0) size = 0;
    char* buffer = (char*)malloc((size_t)size + 1);
    if (!buffer) {
        kd->CloseFile(f);
        kd->Popupf(1, "WARNING: ExecLuaFile: File '%s' not found.\n", path);
        return;
    }
    unsigned int got = size ? kd->fread(buffer, 1, (unsigned int)size, f) : 0;
    kd->CloseFile(f);
    buffer[got] = 0;

    int top = lua_gettop(L);
    nString chunk("@");
    chunk.Append(path);
    if (luaL_loadbuffer(L, buffer, got, chunk.c_str()) != 0) {
        ReportDataFault("WARNING: ExecLuaFile: error compiling '%s': %s\n", path, ErrorText(L));
    } else if (PCall(L, 0, LUA_MULTRET) != 0) {
        ReportDataFault("WARNING: ExecLuaFile: error running '%s': %s\n", path, ErrorText(L));
    }
    // Results and messages are not wanted by any caller; left on the stack
    // they would pile up with every file run from a frame.
    lua_settop(L, top);
    free(buffer);
}

bool LuaManager::ExecLuaString(lua_State* L, const char* text) {
    kd->Printf("ExecLuaString: '%s'\n", text ? text : "");
    if (!L) L = main_state;
    if (!text || !*text || !L) return true;
    int top = lua_gettop(L);
    if (luaL_loadbuffer(L, text, strlen(text), text) != 0) {
        lua_settop(L, top);
        return false;
    }
    if (PCall(L, 0, LUA_MULTRET) != 0) {
        kd->PrintDebugf(KD_LOG_WARNING, "WARNING: ExecLuaString: error running string '%s'.\n", text);
        kd->PrintDebugf(KD_LOG_WARNING, "%s\n", ErrorText(L));
    }
    lua_settop(L, top);
    return true;
}

bool LuaManager::DoesLuaFunctionExist(lua_State* L, const char* name) {
    if (!L || !name) return false;
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
    bool found = lua_isfunction(L, -1);
    lua_pop(L, 1);
    return found;
}

// ---------------------------------------------------------------------------
// The call family

struct LuaManager::GlobalCall {
    const char* name;
    const CallArg* args;
    int count;
    double number;
    lua_Integer integer;
};

// Inside the protected call: the lookup (which may run a metamethod),
// every push (which may allocate) and the call itself.
int LuaManager::CallGlobalInside(lua_State* L) {
    GlobalCall* c = (GlobalCall*)lua_touserdata(L, 1);
    luaL_checkstack(L, c->count + 2, "arguments");
    lua_getglobal(L, c->name);
    for (int i = 0; i < c->count; i++) {
        const CallArg& a = c->args[i];
        switch (a.kind) {
            case 'n': lua_pushnumber(L, a.n); break;
            case 'i': lua_pushinteger(L, a.i); break;
            default:
                if (a.s)
                    lua_pushstring(L, a.s);
                else
                    lua_pushnil(L);
                break;
        }
    }
    lua_call(L, c->count, 1);
    c->number = lua_tonumber(L, -1);
    c->integer = lua_tointeger(L, -1);
    return 0;
}

bool LuaManager::CallGlobal(lua_State* L, const char* name, const CallArg* args, int count, double* number,
                            lua_Integer* integer) {
    *number = 0;
    *integer = 0;
    if (!L || !name) return false;
    int top = lua_gettop(L);
    GlobalCall c = {name, args, count, 0, 0};
    bool ok = CPCall(L, CallGlobalInside, &c) == 0;
    if (ok) {
        *number = c.number;
        *integer = c.integer;
    } else if (BudgetSpent(L)) {
        // Called again it would stop again, every frame: it is dropped.
        kd->PrintDebugf(KD_LOG_WARNING, "Script function '%s' stopped: %s; it is not called again.\n", name,
                        ErrorText(L));
        lua_pushstring(L, name);
        lua_pushnil(L);
        lua_rawset(L, LUA_GLOBALSINDEX);
    } else {
        kd->Popupf(1, "Unable to call '%s'\n\n%s\n", name, ErrorText(L));
    }
    lua_settop(L, top);
    return ok;
}

double LuaManager::CallLuaFunction(lua_State* L, const char* name) {
    double n;
    lua_Integer i;
    CallGlobal(L, name, nullptr, 0, &n, &i);
    return n;
}

double LuaManager::CallLuaFunctionN(lua_State* L, const char* name, double a) {
    CallArg args[] = {{'n', a, 0, nullptr}};
    double n;
    lua_Integer i;
    CallGlobal(L, name, args, 1, &n, &i);
    return n;
}

double LuaManager::CallLuaFunction2N(lua_State* L, const char* name, double a, double b) {
    CallArg args[] = {{'n', a, 0, nullptr}, {'n', b, 0, nullptr}};
    double n;
    lua_Integer i;
    CallGlobal(L, name, args, 2, &n, &i);
    return n;
}

double LuaManager::CallLuaFunction3N(lua_State* L, const char* name, double a, double b, double c) {
    CallArg args[] = {{'n', a, 0, nullptr}, {'n', b, 0, nullptr}, {'n', c, 0, nullptr}};
    double n;
    lua_Integer i;
    CallGlobal(L, name, args, 3, &n, &i);
    return n;
}

double LuaManager::CallLuaFunctionS(lua_State* L, const char* name, const char* s) {
    CallArg args[] = {{'s', 0, 0, s}};
    double n;
    lua_Integer i;
    CallGlobal(L, name, args, 1, &n, &i);
    return n;
}

double LuaManager::CallLuaFunction2S(lua_State* L, const char* name, const char* s1, const char* s2) {
    CallArg args[] = {{'s', 0, 0, s1}, {'s', 0, 0, s2}};
    double n;
    lua_Integer i;
    CallGlobal(L, name, args, 2, &n, &i);
    return n;
}

int LuaManager::CallLuaFunctionI(lua_State* L, const char* name, int a) {
    CallArg args[] = {{'i', 0, a, nullptr}};
    double n;
    lua_Integer i;
    CallGlobal(L, name, args, 1, &n, &i);
    return (int)i;
}

int LuaManager::CallLuaFunction2I(lua_State* L, const char* name, int a, int b) {
    CallArg args[] = {{'i', 0, a, nullptr}, {'i', 0, b, nullptr}};
    double n;
    lua_Integer i;
    CallGlobal(L, name, args, 2, &n, &i);
    return (int)i;
}

double LuaManager::CallLuaFunctionFFSI(lua_State* L, const char* name, double a, double b, const char* s, int c) {
    CallArg args[] = {{'n', a, 0, nullptr}, {'n', b, 0, nullptr}, {'s', 0, 0, s}, {'i', 0, c, nullptr}};
    double n;
    lua_Integer i;
    CallGlobal(L, name, args, 4, &n, &i);
    return n;
}

// ---------------------------------------------------------------------------
// string.format

enum { FORMAT_ITEM = 256, FORMAT_LIMIT = 4096 };

// Reads digits with saturation: any width or precision is accepted, and
// values past FORMAT_LIMIT give the same first 255 characters as the
// limit itself (the item is cut there), while the C library never sees a
// width that it cannot handle.
static const char* ScanNumber(const char* p, int* out) {
    long v = 0;
    while (*p >= '0' && *p <= '9') {
        if (v < FORMAT_LIMIT) v = v * 10 + (*p - '0');
        p++;
    }
    *out = v > FORMAT_LIMIT ? FORMAT_LIMIT : (int)v;
    return p;
}

// Doubles that do not fit the integer conversions are clamped instead of
// cast (a cast out of range is undefined); NaN gives 0.
static long ClampToLong(double d) {
    if (d != d) return 0;
    if (d >= (double)LONG_MAX) return LONG_MAX;
    if (d <= (double)LONG_MIN) return LONG_MIN;
    return (long)d;
}

static void AddQuoted(lua_State* L, luaL_Buffer* b, int arg) {
    size_t l;
    const char* s = luaL_checklstring(L, arg, &l);
    luaL_addchar(b, '"');
    while (l--) {
        switch (*s) {
            case '"':
            case '\\':
            case '\n':
                luaL_addchar(b, '\\');
                luaL_addchar(b, *s);
                break;
            case '\r': luaL_addlstring(b, "\\r", 2); break;
            case '\0': luaL_addlstring(b, "\\000", 4); break;
            default: luaL_addchar(b, *s); break;
        }
        s++;
    }
    luaL_addchar(b, '"');
}

int LuaStringFormat(lua_State* L) {
    int top = lua_gettop(L);
    int arg = 1;
    size_t sfl;
    const char* p = luaL_checklstring(L, arg, &sfl);
    const char* end = p + sfl;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    while (p < end) {
        if (*p != '%') {
            luaL_addchar(&b, *p++);
            continue;
        }
        if (*++p == '%') {  // Lua strings end with a zero byte: safe to look
            luaL_addchar(&b, *p++);
            continue;
        }
        if (++arg > top) luaL_argerror(L, arg, "no value");
        char flags[8];
        int nflags = 0;
        while (*p && strchr("-+ #0", *p)) {
            if (!memchr(flags, *p, (size_t)nflags) && nflags < 5) flags[nflags++] = *p;
            p++;
        }
        int width = -1, precision = -1;
        if (*p >= '0' && *p <= '9') p = ScanNumber(p, &width);
        if (*p == '.') {
            p++;
            p = ScanNumber(p, &precision);
        }
        char conv = *p++;
        char form[32];
        int f = 0;
        form[f++] = '%';
        memcpy(form + f, flags, (size_t)nflags);
        f += nflags;
        if (width >= 0) f += snprintf(form + f, sizeof form - (size_t)f, "%d", width);
        if (precision >= 0) f += snprintf(form + f, sizeof form - (size_t)f, ".%d", precision);
        char item[FORMAT_ITEM];
        item[0] = 0;
        switch (conv) {
            case 'c':
                form[f++] = 'c';
                form[f] = 0;
                snprintf(item, sizeof item, form, (int)(unsigned char)ClampToLong(luaL_checknumber(L, arg)));
                break;
            case 'd':
            case 'i':
                form[f++] = 'l';
                form[f++] = conv;
                form[f] = 0;
                snprintf(item, sizeof item, form, ClampToLong(luaL_checknumber(L, arg)));
                break;
            case 'o':
            case 'u':
            case 'x':
            case 'X':
                form[f++] = 'l';
                form[f++] = conv;
                form[f] = 0;
                snprintf(item, sizeof item, form, (unsigned long)ClampToLong(luaL_checknumber(L, arg)));
                break;
            case 'e':
            case 'E':
            case 'f':
            case 'g':
            case 'G':
                form[f++] = conv;
                form[f] = 0;
                snprintf(item, sizeof item, form, (double)luaL_checknumber(L, arg));
                break;
            case 'q': AddQuoted(L, &b, arg); continue;
            case 's': {
                size_t l;
                const char* s = luaL_checklstring(L, arg, &l);
                if (precision < 0 && l >= 100) {
                    lua_pushvalue(L, arg);
                    luaL_addvalue(&b);
                    continue;
                }
                form[f++] = 's';
                form[f] = 0;
                snprintf(item, sizeof item, form, s);
                break;
            }
            default:
                return luaL_error(L, "invalid option " LUA_QL("%%%c") " to " LUA_QL("format"), conv ? conv : '?');
        }
        luaL_addlstring(&b, item, strlen(item));
    }
    luaL_pushresult(&b);
    return 1;
}
