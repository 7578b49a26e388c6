#include "luaman.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "lua-bindings.h"
#include "lua-limits.h"
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
// Calls under the limits

namespace {
struct PCallArgs {
    int nargs, nresults;
};
struct CPCallArgs {
    lua_CFunction body;
    void* ud;
};
}  // namespace

static int RunPCall(lua_State* L, void* ctx) {
    const PCallArgs* a = (const PCallArgs*)ctx;
    return lua_pcall(L, a->nargs, a->nresults, 0);
}

static int RunCPCall(lua_State* L, void* ctx) {
    const CPCallArgs* a = (const CPCallArgs*)ctx;
    return lua_cpcall(L, a->body, a->ud);
}

int LuaManager::PCall(lua_State* L, int nargs, int nresults) {
    PCallArgs a = {nargs, nresults};
    return LuaLimitedCall(L, RunPCall, &a);
}

int LuaManager::CPCall(lua_State* L, lua_CFunction body, void* ud) {
    CPCallArgs a = {body, ud};
    return LuaLimitedCall(L, RunCPCall, &a);
}

bool LuaManager::IsRunning(lua_State* L) { return LuaLimitedCallRuns(L); }

bool LuaManager::BudgetSpent(lua_State* L) { return LuaLimitSpent(L); }

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
    lua_getglobal(L, LUA_STRLIBNAME);
    if (lua_istable(L, -1)) {
        lua_pushcfunction(L, LuaStringFormat);
        lua_setfield(L, -2, "format");
    }
    lua_pop(L, 1);
    LuaGuardLibraries(L);

    lua_pushlightuserdata(L, &owner_key);
    void* block = lua_newuserdata(L, LUA_OWNER_SPACE);
    memset(block, 0, LUA_OWNER_SPACE);
    lua_rawset(L, LUA_REGISTRYINDEX);

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
    lua_State* L = LuaLimitedState();
    if (!L) return nullptr;
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

void LuaManager::CloseState(lua_State* L) { LuaCloseLimitedState(L); }

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
    if (LuaLoadText(L, buffer, got, chunk.c_str()) != 0) {
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
    if (LuaLoadText(L, text, strlen(text), text) != 0) {
        if (BudgetSpent(L)) kd->PrintDebugf(KD_LOG_WARNING, "WARNING: ExecLuaString: %s\n", ErrorText(L));
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
