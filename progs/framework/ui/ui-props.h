// Component properties by name. Every component kind describes its
// properties in one table, a row per name: the kind of value, where the
// value lives, what may be done with it (read, write to the layout file,
// take from a template), the format of its layout line, and hooks for
// the few names that do more than store a value. One set of routines
// (UIComp::SetProperty, GetProperty, ExportLua, InheritFrom, Clone and
// ApplyCacheMode) serves every kind from these tables, so a new kind is
// its table plus its drawing and input code.
//
// The base properties come first for every component; a widget's own
// names carry its prefix ("button.") and are looked up in its table
// after the base's. Rows stand in the order their lines are written.
//
// A new kind: its class derives from UIComp, has `static UIComp* Make()`
// and overrides Kind() with its table (see UICompSlider::Kind), checked
// at compile time by UIPropRowsValid; UIRegisterWidgetKinds registers
// Make under the type number. Nothing else of the property slots is
// written per kind.
//
// Values come from a script's stack, the property name at index 1 and
// the values from index 2. Where a number belongs, a value that is not one
// (a word, a missing value, a number that is not finite) reads as 0; a
// text property given something that is not a text keeps its old value.
// Either way the warning names the property, the component and the script
// position. Those rules live in one place for numbers and one for texts
// (NumberArg and TextArg in ui-props.cpp), whatever the kind.
#ifndef FRAMEWORK_UI_PROPS_H
#define FRAMEWORK_UI_PROPS_H

#include <stdint.h>

#include <lua.hpp>
#include <type_traits>
#include <utility>

#include "kodo.h"
#include "nstring.h"

class UIComp;
struct UIVec3;

// How a value is read from a script, pushed back and written.
enum UIValueKind : uint8_t {
    UI_NUMBER,   // numbers (numeric text converts); `count` of them
    UI_INTEGER,  // numbers truncated toward zero; `count` of them
    UI_FLAG,     // a boolean, or an integer compared with 0 (an int field keeps the integer)
    UI_TRUTH,    // any value: only nil and false are false
    UI_KEYWORD,  // one word of the row's word set
    UI_ALIGN,    // align words (ParseAlignFlags)
    UI_TEXT,     // a text (numbers convert)
    UI_BITMAP,   // a bitmap by name, reference-counted by the cache rules
    UI_FONT,     // a font by name
    UI_SOUND,    // a sound by name
    UI_HANDLER,  // the Lua file run at a moment (OnLoad ...); `arg` is the handler
};

// What the row allows and asks for.
enum UIPropFlags : uint16_t {
    UI_READ = 1 << 0,         // GetProperty answers it
    UI_NO_SET = 1 << 1,       // SetProperty does not know it (computed values)
    UI_EXPORT = 1 << 2,       // written to the layout file when it differs from the template
    UI_INHERIT = 1 << 3,      // taken from the template (InheritFrom), and so by clones
    UI_CLONE = 1 << 4,        // taken by a clone of this kind, not by inheriting
    UI_REMEASURE = 1 << 5,    // UpdateDimensions after it is set
    UI_NEAR = 1 << 6,         // differs from the template only by 0.000001 or more
    UI_ALIAS = 1 << 7,        // another row names the same value (or a part of it)
    UI_ALPHA_OPTIONAL = 1 << 8,  // a colour whose last number may be left out
    UI_NONEMPTY = 1 << 9,     // written only when not empty
    UI_ESCAPED = 1 << 10,     // a text whose backslash escapes are resolved on reading; written so
};

// How the field of a row is stored.
enum UIStore : uint8_t {
    UI_ST_NONE,    // no field: the row's hooks do the work
    UI_ST_FLOAT,
    UI_ST_INT,
    UI_ST_BOOL,
    UI_ST_U16,
    UI_ST_PAIR,    // numbers through a get/set pair
    UI_ST_TEXT,    // an owned, malloc'ed char*
    UI_ST_CHARS,   // a char array holding its text
    UI_ST_SHOWN,   // a const char* that a text row keeps up to date
    UI_ST_BITMAP,
    UI_ST_FONT,
    UI_ST_SOUND,
};

template <UIStore S, int N> struct UIStoreIs {
    static constexpr UIStore tag = S;
    static constexpr int n = N;
};
template <class T> struct UIStoreOf;
template <> struct UIStoreOf<float> : UIStoreIs<UI_ST_FLOAT, 1> {};
template <> struct UIStoreOf<vec2_t> : UIStoreIs<UI_ST_FLOAT, 2> {};
template <> struct UIStoreOf<UIVec3> : UIStoreIs<UI_ST_FLOAT, 3> {};
template <> struct UIStoreOf<color_t> : UIStoreIs<UI_ST_FLOAT, 4> {};
template <> struct UIStoreOf<int> : UIStoreIs<UI_ST_INT, 1> {};
template <> struct UIStoreOf<bool> : UIStoreIs<UI_ST_BOOL, 1> {};
template <> struct UIStoreOf<uint16_t> : UIStoreIs<UI_ST_U16, 1> {};
template <> struct UIStoreOf<char*> : UIStoreIs<UI_ST_TEXT, 1> {};
template <int N> struct UIStoreOf<char[N]> : UIStoreIs<UI_ST_CHARS, N> {};
template <> struct UIStoreOf<const char*> : UIStoreIs<UI_ST_SHOWN, 1> {};
template <> struct UIStoreOf<kd_bitmap_t*> : UIStoreIs<UI_ST_BITMAP, 1> {};
template <> struct UIStoreOf<kd_font_t*> : UIStoreIs<UI_ST_FONT, 1> {};
template <> struct UIStoreOf<kd_sound_t*> : UIStoreIs<UI_ST_SOUND, 1> {};

// Where a row's value lives: a field of the component (vec2_t, UIVec3 and
// color_t fields hold 2, 3 and 4 numbers), or for numbers kept in separate
// members a small get/set pair.
struct UIField {
    void* (*at)(UIComp*) = nullptr;
    void (*load)(UIComp*, double*) = nullptr;
    void (*save)(UIComp*, const double*) = nullptr;
    UIStore store = UI_ST_NONE;
    uint16_t capacity = 0;  // numbers, or the bytes of a char array
};

// A field of a component class: UI_FIELD(UICompButton, text_offset).
// The storage follows the member's declared type.
#define UI_FIELD(Class, member)                                                                                 \
    (UIField{[](UIComp* c_) -> void* { return &static_cast<Class*>(c_)->member; }, nullptr, nullptr,           \
             UIStoreOf<std::remove_cv_t<decltype(std::declval<Class&>().member)>>::tag,                       \
             (uint16_t)UIStoreOf<std::remove_cv_t<decltype(std::declval<Class&>().member)>>::n})

// `n` numbers read and written through functions.
constexpr UIField UIPair(void (*load)(UIComp*, double*), void (*save)(UIComp*, const double*), int n) {
    return UIField{nullptr, load, save, UI_ST_PAIR, (uint16_t)n};
}

// A keyword and its number.
struct UIKeyword {
    const char* word;
    int value;
};

// Called after a keyword was stored, for warnings beyond the plain one:
// `known` is false for a word outside the set (the row then holds the
// set's fallback).
typedef void (*UIWordCheckFn)(UIComp* c, lua_State* L, const char* word, int value, bool known);

// The words of a keyword property. Comparison is exact. A number is read
// back and written as its first word; a number without a word as the
// `read_other` and `written_other` texts.
struct UIKeywordSet {
    const UIKeyword* words;
    int count;
    int fallback;               // the number of a word outside the set
    const char* read_other;     // what GetProperty gives for a number without a word
    const char* written_other;  // what the layout file gets for it
    const char* unknown;        // the warning for a word outside the set (the word fills its %s), or null
    UIWordCheckFn check;        // or null
    bool strings_only;          // a value that is not a Lua string is an unknown word named by its type
};

template <int N>
constexpr UIKeywordSet UIWordSet(const UIKeyword (&words)[N], int fallback, const char* read_other,
                                 const char* written_other, const char* unknown = nullptr,
                                 UIWordCheckFn check = nullptr, bool strings_only = false) {
    return UIKeywordSet{words, N, fallback, read_other, written_other, unknown, check, strings_only};
}

// A value read from a script for one row.
struct UIPropValue {
    double num[4] = {0, 0, 0, 0};  // numbers; integers truncated; flags 0 or 1; keyword and align values
    int count = 0;                 // how many numbers were read
    const char* text = nullptr;    // texts, words and names as given
    bool known = true;             // a keyword was one of its set's words
    kd_font_t* font = nullptr;     // the font a name found
    kd_sound_t* sound = nullptr;   // the sound a name found
};

// Hooks for the odd cases. `set` replaces the plain store of a value that
// was read without fault; `get` pushes the values and answers how many;
// `put` writes the row's layout lines, comparing with the template (or the
// kind's defaults) T; `copy` replaces the plain copy from a template or a
// clone's source.
typedef void (*UIPropSetFn)(UIComp* c, const UIPropValue& v, lua_State* L);
typedef int (*UIPropGetFn)(UIComp* c, lua_State* L);
typedef void (*UIPropPutFn)(UIComp* c, UIComp* T, nString& out);
typedef void (*UIPropCopyFn)(UIComp* to, UIComp* from);

struct UIPropRow {
    const char* name;  // null: state taken from templates that no script names
    UIValueKind kind;
    UIField field;
    uint8_t count;         // numbers read, pushed, written and copied
    uint16_t flags;
    const char* format;    // the layout format of one number ("%g", "%f", "%d", "\"%d\"" ...)
    const UIKeywordSet* words;
    UIField shown;         // a text row's shown form (its localization), refreshed when the text is copied
    int arg;               // the handler of a UI_HANDLER row
    UIPropSetFn set;
    UIPropGetFn get;
    UIPropPutFn put;
    UIPropCopyFn copy;

    constexpr UIPropRow Count(int n) const { UIPropRow r = *this; r.count = (uint8_t)n; return r; }
    constexpr UIPropRow Format(const char* f) const { UIPropRow r = *this; r.format = f; return r; }
    constexpr UIPropRow Words(const UIKeywordSet& w) const { UIPropRow r = *this; r.words = &w; return r; }
    constexpr UIPropRow Shows(UIField f) const { UIPropRow r = *this; r.shown = f; return r; }
    constexpr UIPropRow Arg(int a) const { UIPropRow r = *this; r.arg = a; return r; }
    constexpr UIPropRow OnSet(UIPropSetFn f) const { UIPropRow r = *this; r.set = f; return r; }
    constexpr UIPropRow OnGet(UIPropGetFn f) const { UIPropRow r = *this; r.get = f; return r; }
    constexpr UIPropRow OnPut(UIPropPutFn f) const { UIPropRow r = *this; r.put = f; return r; }
    constexpr UIPropRow OnCopy(UIPropCopyFn f) const { UIPropRow r = *this; r.copy = f; return r; }
};

constexpr bool UIIsNumeric(UIValueKind k) {
    return k == UI_NUMBER || k == UI_INTEGER || k == UI_FLAG || k == UI_TRUTH || k == UI_KEYWORD || k == UI_ALIGN;
}

constexpr const char* UIDefaultFormat(UIValueKind k) {
    return k == UI_NUMBER ? "%g" : (k == UI_INTEGER || k == UI_FLAG) ? "%d" : nullptr;
}

// A row. Numbers read and written default to the field's capacity.
constexpr UIPropRow UIProp(const char* name, UIValueKind kind, UIField field, unsigned flags) {
    int count = (kind == UI_NUMBER || kind == UI_INTEGER) && field.capacity ? field.capacity : 1;
    return UIPropRow{name,    kind,    field, (uint8_t)count, (uint16_t)flags, UIDefaultFormat(kind), nullptr,
                     UIField{}, 0,     nullptr, nullptr,      nullptr,         nullptr};
}
// A row without a field: its hooks do the work.
constexpr UIPropRow UIProp(const char* name, UIValueKind kind, unsigned flags) {
    return UIProp(name, kind, UIField{}, flags);
}

// How a kind's set message about an unknown name reads: the plain form
// "<Class>::SetProperty: Unknown Property '<name>'", or followed by
// " for UIComp '<component>'", naming the property in full or without the
// kind's prefix (the image's form).
enum UIUnknownForm : uint8_t { UI_UNKNOWN_PLAIN, UI_UNKNOWN_NAMES_COMP_SHORT, UI_UNKNOWN_NAMES_COMP };

// A component kind: its type number, the class named in its messages,
// its rows and how one is made.
struct UIKind {
    int type;
    const char* class_name;
    const char* prefix;  // begins each of its property names ("" for the base)
    const UIPropRow* rows;
    int num_rows;
    UIComp* (*make)();
    UIUnknownForm unknown_form;
};

template <int N>
constexpr UIKind UIMakeKind(int type, const char* class_name, const char* prefix, const UIPropRow (&rows)[N],
                            UIComp* (*make)(), UIUnknownForm unknown_form = UI_UNKNOWN_PLAIN) {
    return UIKind{type, class_name, prefix, rows, N, make, unknown_form};
}

// ---------------------------------------------------------------------------
// Compile-time checks of a table (static_assert(UIPropRowsValid(rows, "button."))):
// every name is unique and carries the kind's prefix, every value kind fits
// its field, and every row has what its flags ask for.

constexpr bool UIStartsWith(const char* s, const char* prefix) {
    for (; *prefix; s++, prefix++)
        if (*s != *prefix) return false;
    return true;
}

constexpr bool UISameText(const char* a, const char* b) {
    for (; *a && *a == *b; a++, b++) {
    }
    return *a == *b;
}

constexpr bool UINumericStore(UIStore s) {
    return s == UI_ST_FLOAT || s == UI_ST_INT || s == UI_ST_BOOL || s == UI_ST_U16 || s == UI_ST_PAIR;
}

constexpr bool UIRowFits(const UIPropRow& r) {
    bool field = r.field.store != UI_ST_NONE;
    if (r.field.store == UI_ST_PAIR && !(r.field.load && r.field.save)) return false;
    if (field && r.field.store != UI_ST_PAIR && !r.field.at) return false;
    if (r.count < 1 || r.count > 4 || (field && r.count > r.field.capacity && r.field.store != UI_ST_CHARS))
        return false;
    if (r.count > 1 && r.kind != UI_NUMBER && r.kind != UI_INTEGER) return false;
    if ((r.flags & UI_ALPHA_OPTIONAL) && r.count != 4) return false;
    if (r.kind == UI_KEYWORD && !r.words) return false;
    if (r.kind == UI_HANDLER && (field || r.arg < 0)) return false;
    if (r.shown.store != UI_ST_NONE && (r.shown.store != UI_ST_SHOWN || r.field.store != UI_ST_TEXT)) return false;
    if (field) {
        if (UIIsNumeric(r.kind) && !UINumericStore(r.field.store)) return false;
        if (r.kind == UI_TEXT && r.field.store != UI_ST_TEXT && r.field.store != UI_ST_CHARS) return false;
        if (r.kind == UI_BITMAP && r.field.store != UI_ST_BITMAP) return false;
        if (r.kind == UI_FONT && r.field.store != UI_ST_FONT) return false;
        if (r.kind == UI_SOUND && r.field.store != UI_ST_SOUND) return false;
        // A text held in an array has no plain store: its row says how it fits.
        if (r.field.store == UI_ST_CHARS && !(r.flags & UI_NO_SET) && !r.set) return false;
    } else if (r.kind != UI_HANDLER) {
        // Without a field, the hooks must do whatever the flags ask.
        if (!(r.flags & UI_NO_SET) && !r.set) return false;
        if ((r.flags & UI_READ) && !r.get) return false;
        if ((r.flags & UI_EXPORT) && !r.put) return false;
        if ((r.flags & (UI_INHERIT | UI_CLONE)) && !r.copy) return false;
    }
    // Sounds and handlers are not read back, sounds not written, but by hooks.
    if ((r.kind == UI_SOUND || r.kind == UI_HANDLER) && (r.flags & UI_READ) && !r.get) return false;
    if (r.kind == UI_SOUND && (r.flags & UI_EXPORT) && !r.put) return false;
    return true;
}

template <int N>
constexpr int UINamedRows(const UIPropRow (&rows)[N]) {
    int n = 0;
    for (int i = 0; i < N; i++) n += rows[i].name ? 1 : 0;
    return n;
}

template <int N>
constexpr bool UIPropRowsValid(const UIPropRow (&rows)[N], const char* prefix) {
    for (int i = 0; i < N; i++) {
        if (!UIRowFits(rows[i])) return false;
        if (!rows[i].name) {
            // Unnamed state is only ever copied.
            if ((rows[i].flags & ~(UI_INHERIT | UI_CLONE | UI_NO_SET)) || !(rows[i].flags & UI_NO_SET)) return false;
            continue;
        }
        if (!UIStartsWith(rows[i].name, prefix)) return false;
        for (int j = 0; j < i; j++)
            if (rows[j].name && UISameText(rows[i].name, rows[j].name)) return false;
    }
    return true;
}

// The row of that name in a kind's table, or null.
const UIPropRow* UIFindProp(const UIKind& kind, const char* name);

// ---------------------------------------------------------------------------
// Text helpers for the layout writer.

// Appends printf-style text of any length.
void UIAppendf(nString& out, const char* format, ...) N_PRINTF_LIKE(2, 3);
// `SetProperty ("<prop>", <text as a Lua string literal>);`
void UIAppendTextLine(nString& out, const char* prop, const char* text);
// Appends `text` as a Lua string literal: in double quotes, with quotes,
// backslashes and control characters escaped so the line reads back whole.
void UIAppendQuoted(nString& out, const char* text);
// Appends a text whose reader resolves backslash escapes after Lua has
// read the literal (button and text box texts): newline, backspace, tab
// and carriage return as \n \b \t \r, a backslash as four backslashes.
void UIAppendEscapedText(nString& out, const char* text);
// Resolves the escapes of such texts: backslash followed by '\\', 'b',
// 'n', 'r' or 't' gives that character; followed by anything else, that
// character; a backslash at the very end stays. The result is malloc'ed.
char* UIResolveTextEscapes(const char* text);

// Where a warning about a script value points: "file:line" of the running
// Lua function's caller, or "" outside a script.
nString UIScriptWhere(lua_State* L);

// Property access statistics (a developer aid).
void AddToPropertyAccessStatistics(const char* name);
int GetPropertyAccessCount(const char* name);
void PrintPropertyAccessStatistics();

#endif
