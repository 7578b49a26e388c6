// What one call into a script may take, and what a script may load: the
// instruction budget, the time limit (processor time), the memory caps of
// one state and of all states, the entry check of every library function
// and the refusal of precompiled chunks. The Lua manager (luaman.h) opens
// its states and makes its calls through these.
#ifndef FRAMEWORK_LUA_LIMITS_H
#define FRAMEWORK_LUA_LIMITS_H

#include <stddef.h>

#include <lua.hpp>

// Lua instructions one call into a script may run (one run of a file, one
// call of a handler): some tens of milliseconds, far beyond what a frame's
// handler needs. A call that spends it is stopped where it runs, so an
// endless loop cannot freeze the game.
enum { UI_SCRIPTABLE_BUDGET = 20000000 };

// Milliseconds of processor time one call into a script may run, whatever
// it runs: the budget counts instructions, and one instruction can take
// long (a concatenation of long texts, a library call). Some ten times what
// the budget's instructions take; checked with the budget, at every growth
// of 64 KB or more, at every 32nd library function entered (and at the
// first, and after a full collection), every few thousand steps of a
// pattern match or a sort, and before every kilobyte a parse reads. A
// call is stopped at the limit or some milliseconds after it, never
// before.
enum { UI_SCRIPT_TIME_LIMIT_MS = 2000 };

// Bytes one Lua state may hold while its scripts run: some 350 times what
// the biggest state of the game holds in play (under 100 KB). A script
// that builds text or tables without end is stopped at this cap as one
// that runs without end is stopped at its budget, long before it could
// take the machine's memory (a doubling string is refused at 16 MB).
// Every state has its own.
#define UI_SCRIPT_MEMORY_CAP ((size_t)32 << 20)
// Bytes all states together may hold: each scriptable component opens a
// state of its own, so the cap of one state alone does not bound them. A
// state holding less than UI_SCRIPT_SMALL_STATE may grow past it, so the
// game's own small scripts keep working while others fill it; a new state
// is refused once it is reached, or once UI_SCRIPT_STATES are open (some
// ten times what the game opens). All states together thus hold at most
// 128 MB.
#define UI_SCRIPTS_MEMORY_CAP ((size_t)64 << 20)
#define UI_SCRIPT_SMALL_STATE ((size_t)256 << 10)
enum { UI_SCRIPT_STATES = 256 };

// A state under the limits (its allocator keeps the caps and the record
// of its calls), with nothing in it yet; null, with a line, once all
// states hold too much or too many are open, or when Lua cannot allocate.
lua_State* LuaLimitedState();
void LuaCloseLimitedState(lua_State* L);

// Once the state's libraries are open (runs protected: it allocates):
// string.rep bounded, xpcall's handler run under the limits, loadstring
// and load refusing precompiled chunks and checking the time as they
// read, the pattern functions counting their steps, table.sort with an
// n log n worst case (one stopped partway leaves the table as it was),
// the C functions of the libraries checking the limits when entered
// (those a frame calls most, whose work is bounded, excepted), and the
// count hook.
void LuaGuardLibraries(lua_State* L);

// Runs `call` as the outermost or a nested call of the state: the
// outermost starts the count and the clock and afterwards gives back the
// memory a refused script took and leaves the report of the limit that
// stopped it as the error. A state not opened here runs it as it is.
int LuaLimitedCall(lua_State* L, int (*call)(lua_State* L, void* ctx), void* ctx);
// True when the last call in the state was stopped by a limit.
bool LuaLimitSpent(lua_State* L);
// True while a call of the state runs.
bool LuaLimitedCallRuns(lua_State* L);

// Tests may put a clock of their own (nanoseconds, never going back) in
// place of the wall and the processor clock the time limit reads, so that
// a call meets the limit at the reading they choose, however fast the
// machine runs; null puts the clocks back.
void LuaSetLimitClock(long long (*clock)());

// luaL_loadbuffer for every loader of script text (the scripts' own
// loadstring and load go the same way): a precompiled chunk (Lua does not
// check one, and a crafted one crashes it) is refused with the error
// "<chunk>: a precompiled chunk is refused; only script text is loaded".
// The parse is a limited call of the state (or a part of the one that
// runs), under the time limit and the memory caps: one that takes too
// long is refused with "<chunk>: took longer than 2000 ms to compile; not
// loaded".
int LuaLoadText(lua_State* L, const char* text, size_t size, const char* chunk);

#endif
