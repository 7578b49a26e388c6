// The component property system: the base property names, the kinds of
// their values, the keywords and their numbers, get and set by name from a
// Lua stack (values from index 2), the Lua export lines of the base, and
// the property access statistics.
//
// A value of the wrong kind (a word where a number belongs, a missing
// value, a number that is not finite) is refused: the warning names the
// property, the component and the script position, and the property keeps
// its old value.
#ifndef FRAMEWORK_UI_PROPS_H
#define FRAMEWORK_UI_PROPS_H

#include <lua.hpp>

#include "nstring.h"

class UIComp;

enum UIPropKind {
    UI_PK_NUMBER,    // lua number (numeric strings convert)
    UI_PK_NUMBER2,   // two numbers
    UI_PK_INTEGER,   // number, truncated
    UI_PK_FLAG,      // boolean, or an integer compared with 0
    UI_PK_TRUTH,     // any value; only nil and false are false
    UI_PK_STRING,    // text (numbers convert)
    UI_PK_KEYWORD,   // one word of a fixed table
    UI_PK_ALIGN,     // align words
    UI_PK_COLOR,     // three or four numbers
};

struct UIPropInfo {
    const char* name;
    UIPropKind kind;
    bool readable;  // GetProperty answers it
};

// The base property of that name, or null.
const UIPropInfo* UIFindBaseProperty(const char* name);
int UINumBaseProperties();
const UIPropInfo* UIBaseProperty(int index);

// Keyword tables: the number of `word` for the property, or `fallback`
// with *known false. Exact, case-sensitive comparison.
int UIKeywordValue(const char* prop, const char* word, int fallback, bool* known);
// The keyword written for a number (the first keyword of that number).
const char* UIKeywordName(const char* prop, int value);

// Appends printf-style text of any length.
void UIAppendf(nString& out, const char* format, ...) N_PRINTF_LIKE(2, 3);
// Appends `text` as a Lua string literal: in double quotes, with quotes,
// backslashes and control characters escaped so the line reads back whole.
void UIAppendQuoted(nString& out, const char* text);

// Where a warning about a script value points: "file:line" of the running
// Lua function's caller, or "" outside a script.
nString UIScriptWhere(lua_State* L);

// Property access statistics (a developer aid).
void AddToPropertyAccessStatistics(const char* name);
int GetPropertyAccessCount(const char* name);
void PrintPropertyAccessStatistics();

#endif
