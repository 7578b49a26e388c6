// Component properties by name: the routines that serve every kind from
// its table, the base table, and the layout writer's text helpers.
// See ui-props.h.
#include "ui/ui-props.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "feature-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-widgets.h"

// ---------------------------------------------------------------------------
// Reading values from the stack.

static void Refuse(lua_State* L, const UIComp* c, const char* prop, const char* expected, int index) {
    nString where = UIScriptWhere(L);
    const char* got = L ? lua_typename(L, lua_type(L, index)) : "nothing";
    kd->Popupf(1, "%s%sSetProperty: '%s' of '%s' expects %s, got %s; read as 0.\n", where.c_str(),
               where.IsEmpty() ? "" : ": ", prop, c->name ? c->name : "", expected, got);
}

// A number at index i: numeric text converts; missing values, other
// kinds and numbers that do not fit a float (or, whole, an int) do not.
static bool ReadNumber(lua_State* L, int i, bool whole, double* out) {
    if (!L || lua_type(L, i) == LUA_TNONE || !lua_isnumber(L, i)) return false;
    double d = lua_tonumber(L, i);
    if (!isfinite(d) || fabs(d) > (whole ? 2.0e9 : 3.0e38)) return false;
    *out = whole ? (double)(int)d : d;  // truncated toward zero
    return true;
}

static const char* ReadString(lua_State* L, int i) {
    if (!L) return nullptr;
    int t = lua_type(L, i);
    if (t != LUA_TSTRING && t != LUA_TNUMBER) return nullptr;
    return lua_tostring(L, i);
}

// What the refusal says the row expects, for the value at `i` (0-based).
static const char* Expected(const UIPropRow& row, int i) {
    static const char* const numbers[4] = {"a number", "two numbers", "three numbers", "four numbers"};
    switch (row.kind) {
        case UI_NUMBER:
        case UI_INTEGER:
            if (row.flags & UI_ALPHA_OPTIONAL)
                return i == row.count - 1 ? "a number for alpha" : "three or four numbers";
            return numbers[row.count - 1];
        case UI_FLAG: return "true, false or a number";
        case UI_KEYWORD: return "a keyword";
        case UI_ALIGN: return "align words";
        case UI_BITMAP: return "a bitmap name";
        case UI_FONT: return "a font name";
        default: return "a text";
    }
}

static int WordValue(const UIKeywordSet& w, const char* word, bool* known) {
    for (int i = 0; i < w.count; i++)
        if (!strcmp(w.words[i].word, word)) {
            *known = true;
            return w.words[i].value;
        }
    *known = false;
    return w.fallback;
}

static const char* WordOf(const UIKeywordSet& w, int value, const char* other) {
    for (int i = 0; i < w.count; i++)
        if (w.words[i].value == value) return w.words[i].word;
    return other;
}

// The number a row takes at index i. A value that is not a number (a
// word, a missing value, a number that is not finite or does not fit) is
// read as 0, for every kind of number, as the layout format has it
// ("alpha", "half" gives 0; "position", 0.5 gives (0.5, 0)); the warning
// names the property, the component and the script position.
static bool NumberArg(const UIPropRow& row, UIComp* c, lua_State* L, int i, double* out) {
    if (ReadNumber(L, 2 + i, row.kind != UI_NUMBER, out)) return true;
    Refuse(L, c, row.name, Expected(row, i), 2 + i);
    *out = 0;
    return true;
}

// The text a row takes (numbers convert); anything else is refused.
static const char* TextArg(const UIPropRow& row, UIComp* c, lua_State* L) {
    const char* s = ReadString(L, 2);
    if (!s) Refuse(L, c, row.name, Expected(row, 0), 2);
    return s;
}

static bool PropRead(const UIPropRow& row, UIComp* c, lua_State* L, UIPropValue* v) {
    const char* s;
    switch (row.kind) {
        case UI_NUMBER:
        case UI_INTEGER: {
            int n = row.count;
            if ((row.flags & UI_ALPHA_OPTIONAL) && L && lua_gettop(L) < 1 + n) n--;
            for (int i = 0; i < n; i++)
                if (!NumberArg(row, c, L, i, &v->num[i])) return false;
            v->count = n;
            return true;
        }
        case UI_FLAG:
            v->count = 1;
            if (L && lua_type(L, 2) == LUA_TBOOLEAN) {
                v->num[0] = lua_toboolean(L, 2) ? 1 : 0;
                return true;
            }
            return NumberArg(row, c, L, 0, &v->num[0]);
        case UI_TRUTH:
            v->count = 1;
            v->num[0] = L && lua_toboolean(L, 2) ? 1 : 0;
            return true;
        case UI_KEYWORD: {
            const UIKeywordSet& w = *row.words;
            v->count = 1;
            if (w.strings_only && !(L && lua_type(L, 2) == LUA_TSTRING)) {
                v->text = L ? luaL_typename(L, 2) : "";
                v->known = false;
                v->num[0] = w.fallback;
                return true;
            }
            if (!(s = TextArg(row, c, L))) return false;
            v->text = s;
            v->num[0] = WordValue(w, s, &v->known);
            return true;
        }
        case UI_ALIGN:
            if (!(s = TextArg(row, c, L))) return false;
            v->text = s;
            v->count = 1;
            v->num[0] = ParseAlignFlags(s);
            return true;
        default:
            if (!(s = TextArg(row, c, L))) return false;
            v->text = s;
            if (row.kind == UI_FONT) v->font = kd->GetFont(s);
            if (row.kind == UI_SOUND) v->sound = kd->GetSound(s);
            return true;
    }
}

// ---------------------------------------------------------------------------
// Fields.

static bool CountKind(UIValueKind k) { return k == UI_NUMBER || k == UI_INTEGER; }

static int PropLoad(const UIPropRow& row, UIComp* c, double* v) {
    int n = CountKind(row.kind) ? row.count : 1;
    const UIField& f = row.field;
    if (f.store == UI_ST_PAIR) {
        double all[4] = {0, 0, 0, 0};
        f.load(c, all);
        for (int i = 0; i < n; i++) v[i] = all[i];
        return n;
    }
    if (!f.at) return 0;
    void* p = f.at(c);
    for (int i = 0; i < n; i++) {
        switch (f.store) {
            case UI_ST_FLOAT: v[i] = ((float*)p)[i]; break;
            case UI_ST_INT: v[i] = ((int*)p)[i]; break;
            case UI_ST_BOOL: v[i] = ((bool*)p)[i] ? 1 : 0; break;
            case UI_ST_U16: v[i] = ((uint16_t*)p)[i]; break;
            default: return 0;
        }
    }
    return n;
}

static void StoreNumbers(const UIPropRow& row, UIComp* c, const double* v, int n) {
    const UIField& f = row.field;
    if (f.store == UI_ST_PAIR) {
        double all[4] = {0, 0, 0, 0};
        f.load(c, all);
        for (int i = 0; i < n; i++) all[i] = v[i];
        f.save(c, all);
        return;
    }
    void* p = f.at(c);
    for (int i = 0; i < n; i++) {
        switch (f.store) {
            case UI_ST_FLOAT: ((float*)p)[i] = (float)v[i]; break;
            case UI_ST_INT: ((int*)p)[i] = (int)v[i]; break;
            case UI_ST_BOOL: ((bool*)p)[i] = v[i] != 0; break;
            case UI_ST_U16: ((uint16_t*)p)[i] = (uint16_t)(int)v[i]; break;
            default: break;
        }
    }
}

static const char* TextOf(const UIPropRow& row, UIComp* c) {
    if (row.field.store == UI_ST_TEXT) return *(char**)row.field.at(c);
    if (row.field.store == UI_ST_CHARS) return (const char*)row.field.at(c);
    return nullptr;
}

template <class T> static T* PointerOf(const UIPropRow& row, UIComp* c) { return *(T**)row.field.at(c); }

static void ReplaceText(char*& field, const char* text) {
    char* copy = nStringDuplicate(text ? text : "");
    free(field);
    field = copy;
}

// ---------------------------------------------------------------------------
// Set, get, write and copy one row.

static void PropSet(const UIPropRow& row, UIComp* c, lua_State* L) {
    UIPropValue v;
    if (!PropRead(row, c, L, &v)) return;
    if (row.set) {
        row.set(c, v, L);
    } else if (UIIsNumeric(row.kind)) {
        StoreNumbers(row, c, v.num, v.count);
    } else {
        switch (row.kind) {
            case UI_TEXT: ReplaceText(*(char**)row.field.at(c), v.text); break;
            case UI_BITMAP: c->ReplaceBitmapApplyingReferenceCounting((kd_bitmap_t**)row.field.at(c), v.text); break;
            case UI_FONT: *(kd_font_t**)row.field.at(c) = v.font; break;
            case UI_SOUND: *(kd_sound_t**)row.field.at(c) = v.sound; break;
            case UI_HANDLER: c->SetHandler(row.arg, v.text); break;
            default: break;
        }
    }
    if (row.kind == UI_KEYWORD) {
        if (!v.known && row.words->unknown) kd->Popupf(1, row.words->unknown, v.text);
        if (row.words->check) row.words->check(c, L, v.text, (int)v.num[0], v.known);
    }
    if (row.flags & UI_REMEASURE) c->UpdateDimensions();
}

static int PropGet(const UIPropRow& row, UIComp* c, lua_State* L) {
    if (row.get) return row.get(c, L);
    double v[4];
    int n = PropLoad(row, c, v);
    switch (row.kind) {
        case UI_NUMBER:
            for (int i = 0; i < n; i++) lua_pushnumber(L, v[i]);
            return n;
        case UI_INTEGER:
            for (int i = 0; i < n; i++) lua_pushinteger(L, (lua_Integer)(int)v[i]);
            return n;
        case UI_FLAG:
            if (row.field.store == UI_ST_BOOL) lua_pushboolean(L, v[0] != 0);
            else lua_pushinteger(L, (lua_Integer)(int)v[0]);
            return 1;
        case UI_TRUTH: return lua_pushboolean(L, v[0] != 0), 1;
        case UI_KEYWORD: return lua_pushstring(L, WordOf(*row.words, (int)v[0], row.words->read_other)), 1;
        case UI_ALIGN: return lua_pushstring(L, GetAlignFlagsAsString((int)v[0])), 1;
        case UI_TEXT: {
            const char* t = TextOf(row, c);
            return lua_pushstring(L, t ? t : ""), 1;
        }
        case UI_BITMAP: return lua_pushstring(L, UIBitmapName(PointerOf<kd_bitmap_t>(row, c))), 1;
        case UI_FONT: return lua_pushstring(L, UIFontName(PointerOf<kd_font_t>(row, c))), 1;
        default: return 0;
    }
}

void UIAppendTextLine(nString& out, const char* prop, const char* text) {
    UIAppendf(out, "SetProperty (\"%s\", ", prop);
    UIAppendQuoted(out, text);
    out.Append(");\n");
}

// One number of a layout line in the row's format: integer formats take
// the value truncated.
static void AppendNumber(nString& out, const char* format, double v) {
    if (strchr(format, 'd')) UIAppendf(out, format, (int)v);
    else UIAppendf(out, format, v);
}

static bool NumberDiffers(const UIPropRow& row, double a, double b) {
    if (row.format && strchr(row.format, 'd')) return (int)a != (int)b;
    if (row.flags & UI_NEAR) return fabsf((float)a - (float)b) >= 0.000001f;
    return a != b;
}

static void PropPut(const UIPropRow& row, UIComp* c, UIComp* T, nString& out) {
    if (row.put) return row.put(c, T, out);
    switch (row.kind) {
        case UI_NUMBER:
        case UI_INTEGER:
        case UI_FLAG: {
            double a[4], b[4];
            int n = PropLoad(row, c, a);
            PropLoad(row, T, b);
            bool differs = false;
            for (int i = 0; i < n; i++) differs = differs || NumberDiffers(row, a[i], b[i]);
            if (!differs) return;
            UIAppendf(out, "SetProperty (\"%s\"", row.name);
            for (int i = 0; i < n; i++) {
                out.Append(", ");
                AppendNumber(out, row.format, a[i]);
            }
            out.Append(");\n");
            return;
        }
        case UI_TRUTH:
        case UI_KEYWORD:
        case UI_ALIGN: {
            double a, b;
            PropLoad(row, c, &a);
            PropLoad(row, T, &b);
            if ((int)a == (int)b) return;
            if (row.kind == UI_TRUTH)
                UIAppendf(out, "SetProperty (\"%s\", %s);\n", row.name, a != 0 ? "true" : "false");
            else if (row.kind == UI_KEYWORD)
                UIAppendTextLine(out, row.name, WordOf(*row.words, (int)a, row.words->written_other));
            else
                UIAppendTextLine(out, row.name, GetAlignFlagsAsString((int)a));
            return;
        }
        case UI_TEXT: {
            const char* t = TextOf(row, c);
            if (!t || ((row.flags & UI_NONEMPTY) && !*t) || nStringsMatch(t, TextOf(row, T))) return;
            if (!(row.flags & UI_ESCAPED)) return UIAppendTextLine(out, row.name, t);
            UIAppendf(out, "SetProperty (\"%s\", ", row.name);
            UIAppendEscapedText(out, t);
            out.Append(");\n");
            return;
        }
        case UI_BITMAP: {
            kd_bitmap_t* bm = PointerOf<kd_bitmap_t>(row, c);
            if (!UIBitmapIsPlaceholder(bm) && bm != PointerOf<kd_bitmap_t>(row, T))
                UIAppendTextLine(out, row.name, UIBitmapName(bm));
            return;
        }
        case UI_FONT: {
            kd_font_t* f = PointerOf<kd_font_t>(row, c);
            if (f && f != PointerOf<kd_font_t>(row, T)) UIAppendTextLine(out, row.name, UIFontName(f));
            return;
        }
        case UI_HANDLER: {
            // Written whatever the template holds: a handler is named in full.
            const char* file = c->GetHandler(row.arg);
            if (file && *file) UIAppendTextLine(out, row.name, file);
            return;
        }
        default: return;
    }
}

static void PropCopy(const UIPropRow& row, UIComp* to, UIComp* from) {
    if (row.copy) return row.copy(to, from);
    const UIField& f = row.field;
    switch (f.store) {
        case UI_ST_NONE:
            if (row.kind == UI_HANDLER) to->ShareHandler(row.arg, from);
            return;
        case UI_ST_TEXT: {
            const char* s = *(char**)f.at(from);
            if (!s) return;
            char*& mine = *(char**)f.at(to);
            ReplaceText(mine, s);
            if (row.shown.at) *(const char**)row.shown.at(to) = UIShownText(to, mine);
            return;
        }
        case UI_ST_CHARS: memcpy(f.at(to), f.at(from), f.capacity); return;
        case UI_ST_BITMAP:
        case UI_ST_FONT:
        case UI_ST_SOUND: memcpy(f.at(to), f.at(from), sizeof(void*)); return;
        default: {
            double v[4];
            int n = PropLoad(row, from, v);
            StoreNumbers(row, to, v, n);
            return;
        }
    }
}

const UIPropRow* UIFindProp(const UIKind& kind, const char* name) {
    if (!name) return nullptr;
    for (int i = 0; i < kind.num_rows; i++)
        if (kind.rows[i].name && !strcmp(kind.rows[i].name, name)) return &kind.rows[i];
    return nullptr;
}

// ---------------------------------------------------------------------------
// The base properties.

static const char* SetFileName(lua_State* L, const char* fallback) {
    UISet* set = L ? UISet::FromState(L) : nullptr;
    return set ? set->file.c_str() : fallback;
}

static const char* NameOf(const UIComp* c) { return c->name ? c->name : ""; }

static void CheckScaleType(UIComp* c, lua_State* L, const char* word, int value, bool known) {
    if (!known)
        kd->Popupf(1, "In '%s' unknown scale type '%s' for '%s'.\nPossible values are: %s", SetFileName(L, "unknown"),
                   word, NameOf(c),
                   "FIT_INSIDE_SCREEN,FIT_TO_COVER_SCREEN,STRETCH_TO_COVER_SCREEN,RELATIVE_TO_SCREEN_"
                   "WIDTH,RELATIVE_TO_SCREEN_HEIGHT,RELATIVE_TO_SCREEN_SIZE,RELATIVE_TO_PARENT");
    else if (value == UI_SCALE_ACTUAL_SIZE && UIDeveloperMode())
        kd->Popupf(1, "Using deprecating scale type '%s' for UI component '%s' in '%s'.\n", word, NameOf(c),
                   SetFileName(L, "unknown"));
}

static void CheckPositionType(UIComp* c, lua_State* L, const char* word, int value, bool) {
    if (value != UI_POS_RELATIVE_TO_PARENT && UIDeveloperMode())
        kd->Popupf(1,
                   "Using deprecating position type '%s' for UI component '%s' in '%s'. For future "
                   "compatibility use only 'RELATIVE_TO_PARENT'.\n",
                   word, NameOf(c), SetFileName(L, "unknown"));
}

static constexpr UIKeyword cache_words[] = {{"PRELOAD", 0},
                                            {"LOAD_ON_ENTER", 1},
                                            {"LOAD_ON_ENTER_RELEASE_ON_LEAVE", 2},
                                            {"DEFAULT", 2},
                                            {"IGNORE_LOADING", 3}};
static constexpr UIKeyword draw_words[] = {{"NORMAL", 0}, {"MIRRORED_VERTICAL", 1}, {"MIRRORED_HORIZONTAL", 2}};
static constexpr UIKeyword blend_words[] = {{"NORMAL", 0}, {"ADDITIVE", 1}, {"REPLACE", 2}};
static constexpr UIKeyword filter_words[] = {{"POINT", 0}, {"LINEAR", 1}};
static constexpr UIKeyword origin_words[] = {{"VIRTUAL", 0}, {"ACTUAL", 1}};
static constexpr UIKeyword position_words[] = {
    {"ABSOLUTE", 0}, {"RELATIVE_TO_PARENT", 1}, {"RELATIVE", 1}, {"RELATIVE_TO_SCREEN", 2}};
static constexpr UIKeyword scale_words[] = {{"ACTUAL_SIZE", 0},
                                            {"FIT_INSIDE_SCREEN", 1},
                                            {"FIT_TO_COVER_SCREEN", 2},
                                            {"STRETCH_TO_COVER_SCREEN", 3},
                                            {"RELATIVE_TO_SCREEN_WIDTH", 4},
                                            {"RELATIVE_TO_SCREEN_HEIGHT", 5},
                                            {"RELATIVE_TO_SCREEN_SIZE", 6},
                                            {"RELATIVE_TO_PARENT", 7}};

static constexpr UIKeywordSet cache_modes =
    UIWordSet(cache_words, 2, "PRELOAD", "LOAD_ON_ENTER_RELEASE_ON_LEAVE",
              "Cache mode '%s' is not supported. Supported modes are e.g. 'PRELOAD' and "
              "'LOAD_ON_ENTER_RELEASE_ON_LEAVE'.");
static constexpr UIKeywordSet draw_modes =
    UIWordSet(draw_words, 0, "", "",
              "Draw mode '%s' is not supported. Supported modes are e.g. 'NORMAL', 'MIRRORED_HORIZONTAL', "
              "'MIRRORED_VERTICAL', 'MIRRORED_BOTH'.");
static constexpr UIKeywordSet blend_modes = UIWordSet(blend_words, 0, "", "");
static constexpr UIKeywordSet pixel_filters = UIWordSet(filter_words, 1, "", "");
static constexpr UIKeywordSet screen_origins = UIWordSet(origin_words, 1, "", "ACTUAL");
static constexpr UIKeywordSet position_types =
    UIWordSet(position_words, 0, "ABSOLUTE", "", nullptr, CheckPositionType);
static constexpr UIKeywordSet scale_types =
    UIWordSet(scale_words, UI_SCALE_RELATIVE_TO_PARENT, "RELATIVE_TO_SCREEN_SIZE", "NONE", nullptr, CheckScaleType);

// Parents above `p`, `p` included; past the limit (or round a loop) the
// count stops at limit + 1, and `*reaches` tells whether `c` was met.
static int ChainAbove(const UIComp* p, const UIComp* c, bool* reaches) {
    int n = 0;
    *reaches = false;
    for (; p && n <= UI_MAX_PARENT_DEPTH; p = p->parent, n++)
        if (p == c) *reaches = true;
    return n;
}

// The longest chain of children below `c` in `set`. Most components have
// no child (a layout names a parent before its children): one pass says so.
static int ChainBelow(const UIComp* c, const UISet* set) {
    const int n = set ? set->GetNumberOfComps() : 0;
    bool any = false;
    for (int i = 0; i < n && !any; i++) any = set->GetCompByIndex(i) && set->GetCompByIndex(i)->parent == c;
    int deepest = 0;
    for (int i = 0; any && i < n; i++) {
        int steps = 0;
        const UIComp* a = set->GetCompByIndex(i);
        for (; a && a != c && steps <= UI_MAX_PARENT_DEPTH; a = a->parent) steps++;
        if (a == c && steps > deepest) deepest = steps;
    }
    return deepest;
}

bool UISetCompParent(UIComp* c, UIComp* p, const UISet* set, const char* where) {
    if (!c) return false;
    bool loop = false;
    const int depth = p ? ChainAbove(p, c, &loop) + ChainBelow(c, set) : 0;
    if (!loop && depth <= UI_MAX_PARENT_DEPTH) {
        c->parent = p;
        return true;
    }
    kd->PrintDebugf(KD_LOG_WARNING, "%s%sParent '%s' of '%s' would make %s; parent left as it was.\n",
                    where ? where : "", where && *where ? ": " : "", p->name ? p->name : "", c->name ? c->name : "",
                    loop ? "a loop" : "a chain of parents deeper than 64");
    return false;
}

// A sound is written by its name when it is not the template's.
static void PutSound(nString& out, const char* prop, kd_sound_t* mine, kd_sound_t* template_sound) {
    if (mine && mine != template_sound && mine->name && *mine->name) UIAppendTextLine(out, prop, mine->name);
}

static int PushPair(lua_State* L, vec2_t p) {
    lua_pushnumber(L, p.x);
    lua_pushnumber(L, p.y);
    return 2;
}

const UIKind& UIComp::BaseKind() {
    static constexpr UIPropRow rows[] = {
        // Written to layout files, in this order.
        UIProp("inherit", UI_TEXT, UI_EXPORT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                UIComp* t = ui_template_set ? ui_template_set->GetComp(v.text) : nullptr;
                if (!t || t == c) {
                    UISet* own = c->OwnerSet();
                    kd->Popupf(1, "Component template '%s' for '%s' not found in '%s'.\n", v.text, NameOf(c),
                               own ? own->file.c_str() : "templates.lua");
                    return;
                }
                // The bitmaps the new template names are taken, the old ones released.
                bool loaded = c->OwnerSetLoaded();
                if (loaded) c->ApplyCacheMode(3);
                c->InheritFrom(t);
                if (loaded) c->ApplyCacheMode(2);
            })
            .OnPut([](UIComp* c, UIComp*, nString& out) {
                char default_name[64];
                snprintf(default_name, sizeof default_name, "Default%s", GetCompTypeString(c->type));
                if (c->template_comp && !nStringsMatch(c->template_comp->name, default_name))
                    UIAppendTextLine(out, "inherit", c->template_comp->name);
            }),
        UIProp("inherit_scale", UI_TRUTH, UI_FIELD(UIComp, inherit_scale), UI_EXPORT | UI_INHERIT),
        UIProp("required_features", UI_TEXT, UI_FIELD(UIComp, required_features), UI_EXPORT | UI_CLONE | UI_NONEMPTY)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                ReplaceText(c->required_features, v.text);
                c->features_enabled = feature_man.EvaluateProductFeatureRequirementList(v.text);
            })
            .OnCopy([](UIComp* to, UIComp* from) {
                ReplaceText(to->required_features, from->required_features);
                to->features_enabled = from->features_enabled;
            }),
        UIProp("localize", UI_INTEGER, UI_FIELD(UIComp, localize), UI_EXPORT | UI_INHERIT),
        UIProp("cache_mode", UI_KEYWORD, UI_FIELD(UIComp, cache_mode), UI_READ | UI_EXPORT | UI_INHERIT)
            .Words(cache_modes),
        UIProp("visible", UI_FLAG, UI_FIELD(UIComp, visible), UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("active", UI_FLAG, UI_FIELD(UIComp, active), UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("interactive", UI_FLAG, UI_FIELD(UIComp, interactive), UI_EXPORT | UI_INHERIT),
        UIProp("expanded_hit_area", UI_NUMBER, UI_FIELD(UIComp, expanded_hit_area), UI_EXPORT | UI_INHERIT | UI_NEAR),
        UIProp("scale_type", UI_KEYWORD, UI_FIELD(UIComp, scale_type), UI_READ | UI_EXPORT | UI_INHERIT)
            .Words(scale_types),
        UIProp("blend_mode", UI_KEYWORD, UI_FIELD(UIComp, blend_mode), UI_EXPORT | UI_INHERIT).Words(blend_modes),
        UIProp("pixel_filter", UI_KEYWORD, UI_FIELD(UIComp, pixel_filter), UI_EXPORT | UI_INHERIT)
            .Words(pixel_filters),
        UIProp("draw_mode", UI_KEYWORD, UI_FIELD(UIComp, draw_mode), UI_EXPORT | UI_INHERIT).Words(draw_modes),
        UIProp("fading", UI_FLAG, UI_FIELD(UIComp, fading), UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("fading_akey", UI_NUMBER, UI_FIELD(UIComp, fading_akey), UI_READ | UI_EXPORT | UI_INHERIT | UI_NEAR),
        UIProp("custom_draw", UI_FLAG, UI_FIELD(UIComp, custom_draw), UI_EXPORT | UI_INHERIT),
        UIProp("tags", UI_TEXT, UI_FIELD(UIComp, tags), UI_READ | UI_EXPORT | UI_CLONE),
        UIProp("parent", UI_TEXT, UI_READ | UI_EXPORT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State* L) {
                UISet* set = L ? UISet::FromState(L) : nullptr;
                UIComp* p = set ? set->GetComp(v.text) : nullptr;
                if (!p) {
                    kd->Popupf(1, "Missing parent '%s' for %s/%s.\n", v.text, set ? set->file.c_str() : "", NameOf(c));
                    c->parent = nullptr;
                } else {
                    UISetCompParent(c, p, set, UIScriptWhere(L).c_str());
                }
            })
            .OnGet([](UIComp* c, lua_State* L) {
                return lua_pushstring(L, c->parent && c->parent->name ? c->parent->name : ""), 1;
            })
            .OnPut([](UIComp* c, UIComp*, nString& out) {
                // Always: the template never names this component's parent.
                if (c->parent) UIAppendTextLine(out, "parent", c->parent->name);
            }),
        UIProp("screen_origin", UI_KEYWORD, UI_FIELD(UIComp, screen_origin), UI_EXPORT | UI_INHERIT)
            .Words(screen_origins),
        UIProp("parent_anchor", UI_ALIGN, UI_FIELD(UIComp, parent_anchor), UI_EXPORT),
        UIProp("position_type", UI_KEYWORD, UI_FIELD(UIComp, position_type), UI_READ | UI_EXPORT | UI_INHERIT)
            .Words(position_types)
            .OnPut([](UIComp* c, UIComp* T, nString& out) {
                // Files hold relative positions only; the component is
                // converted in memory too, keeping its place on screen.
                if (c->position_type == UI_POS_ABSOLUTE) {
                    kd->Popupf(1,
                               "Autoconvert: Converting UI Comp '%s' position type from ABSOLUTE to RELATIVE TO "
                               "PARENT for future compatibility.\n",
                               NameOf(c));
                    c->ConvertPositionType(UI_POS_RELATIVE_TO_PARENT);
                }
                if (!c->parent && c->position_type == UI_POS_RELATIVE_TO_SCREEN)
                    c->position_type = UI_POS_RELATIVE_TO_PARENT;
                if (c->position_type != T->position_type)
                    UIAppendTextLine(out, "position_type",
                                     c->position_type == UI_POS_RELATIVE_TO_SCREEN ? "RELATIVE_TO_SCREEN"
                                                                                   : "RELATIVE_TO_PARENT");
            }),
        UIProp("position", UI_NUMBER, UI_FIELD(UIComp, position), UI_READ | UI_EXPORT | UI_INHERIT | UI_NEAR)
            .Count(2),
        UIProp("color.r", UI_NUMBER, UI_FIELD(UIComp, color.r), UI_READ | UI_EXPORT | UI_ALIAS),
        UIProp("color.g", UI_NUMBER, UI_FIELD(UIComp, color.g), UI_READ | UI_EXPORT | UI_ALIAS),
        UIProp("color.b", UI_NUMBER, UI_FIELD(UIComp, color.b), UI_READ | UI_EXPORT | UI_ALIAS),
        UIProp("color.a", UI_NUMBER, UI_FIELD(UIComp, color.a), UI_READ | UI_EXPORT | UI_ALIAS),
        UIProp("angle", UI_NUMBER, UI_FIELD(UIComp, angle), UI_READ | UI_EXPORT),
        UIProp("scale", UI_NUMBER, UI_FIELD(UIComp, scale), UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                c->scale = (float)v.num[0];
                c->UpdateDimensions();
                c->CalculateDynamicScale();
            }),
        UIProp("OnLoad", UI_HANDLER, UI_EXPORT | UI_INHERIT).Arg(0),
        UIProp("OnClick", UI_HANDLER, UI_EXPORT | UI_INHERIT).Arg(1),
        UIProp("OnEnter", UI_HANDLER, UI_EXPORT | UI_INHERIT).Arg(2),
        UIProp("OnLeave", UI_HANDLER, UI_EXPORT | UI_INHERIT).Arg(3),
        UIProp("OnDraw", UI_HANDLER, UI_EXPORT | UI_INHERIT).Arg(4),
        UIProp("OnUpdate", UI_HANDLER, UI_EXPORT | UI_INHERIT).Arg(5),
        UIProp("align", UI_ALIGN, UI_FIELD(UIComp, align), UI_READ | UI_EXPORT | UI_INHERIT),

        // Not written, or written only after the lines above: the offset, the
        // depths, the angle and snapping flags and the sounds, when they differ.
        UIProp("alpha", UI_NUMBER, UI_FIELD(UIComp, alpha), UI_READ | UI_INHERIT),
        UIProp("position_offset", UI_NUMBER, UI_FIELD(UIComp, position_offset), UI_READ | UI_EXPORT | UI_NEAR)
            .Count(2),
        UIProp("position_offset.x", UI_NUMBER, UI_FIELD(UIComp, position_offset.x), UI_READ | UI_ALIAS),
        UIProp("position_offset.y", UI_NUMBER, UI_FIELD(UIComp, position_offset.y), UI_READ | UI_ALIAS),
        UIProp("position_offset.z", UI_NUMBER, UI_FIELD(UIComp, position_offset.z), UI_EXPORT | UI_NEAR),
        UIProp("position.x", UI_NUMBER, UI_FIELD(UIComp, position.x), UI_READ | UI_ALIAS),
        UIProp("position.y", UI_NUMBER, UI_FIELD(UIComp, position.y), UI_READ | UI_ALIAS),
        UIProp("position.z", UI_NUMBER, UI_FIELD(UIComp, position.z), UI_EXPORT | UI_NEAR),
        UIProp("color", UI_NUMBER, UI_FIELD(UIComp, color), UI_INHERIT | UI_ALPHA_OPTIONAL),
        UIProp("width", UI_INTEGER, UI_FIELD(UIComp, width), UI_READ | UI_INHERIT),
        UIProp("height", UI_INTEGER, UI_FIELD(UIComp, height), UI_READ | UI_INHERIT),
        UIProp("inherit_angle", UI_TRUTH, UI_FIELD(UIComp, inherit_angle), UI_EXPORT | UI_INHERIT),
        UIProp("snap_position_to_pixels", UI_TRUTH, UI_FIELD(UIComp, snap_position_to_pixels),
               UI_EXPORT | UI_INHERIT),
        UIProp("name", UI_TEXT, UI_FIELD(UIComp, name), UI_READ),
        UIProp("snd_over", UI_SOUND, UI_FIELD(UIComp, snd_over), UI_EXPORT | UI_INHERIT)
            .OnPut([](UIComp* c, UIComp* T, nString& out) { PutSound(out, "snd_over", c->snd_over, T->snd_over); }),
        UIProp("snd_press", UI_SOUND, UI_FIELD(UIComp, snd_press), UI_EXPORT | UI_INHERIT)
            .OnPut([](UIComp* c, UIComp* T, nString& out) { PutSound(out, "snd_press", c->snd_press, T->snd_press); }),
        UIProp("snd_release", UI_SOUND, UI_FIELD(UIComp, snd_release), UI_EXPORT | UI_INHERIT)
            .OnPut([](UIComp* c, UIComp* T, nString& out) {
                PutSound(out, "snd_release", c->snd_release, T->snd_release);
            }),

        // Read only.
        UIProp("time_cursor_over", UI_NUMBER, UI_FIELD(UIComp, time_cursor_over), UI_READ | UI_NO_SET),
        UIProp("time_cursor_locked", UI_NUMBER, UI_FIELD(UIComp, time_cursor_locked), UI_READ | UI_NO_SET),
        UIProp("dynamic_scale", UI_NUMBER, UI_FIELD(UIComp, dynamic_scale), UI_READ | UI_NO_SET),
        UIProp("static_position", UI_NUMBER, UI_READ | UI_NO_SET).OnGet([](UIComp* c, lua_State* L) {
            return PushPair(L, c->GetStaticPos());
        }),
        UIProp("static_position.x", UI_NUMBER, UI_READ | UI_NO_SET).OnGet([](UIComp* c, lua_State* L) {
            return lua_pushnumber(L, c->GetStaticPos().x), 1;
        }),
        UIProp("static_position.y", UI_NUMBER, UI_READ | UI_NO_SET).OnGet([](UIComp* c, lua_State* L) {
            return lua_pushnumber(L, c->GetStaticPos().y), 1;
        }),
        UIProp("aligned_position.x", UI_NUMBER, UI_READ | UI_NO_SET).OnGet([](UIComp* c, lua_State* L) {
            return lua_pushnumber(L, c->GetAlignedPos().x), 1;
        }),
        UIProp("aligned_position.y", UI_NUMBER, UI_READ | UI_NO_SET).OnGet([](UIComp* c, lua_State* L) {
            return lua_pushnumber(L, c->GetAlignedPos().y), 1;
        }),
        UIProp("is_in_view", UI_TRUTH, UI_READ | UI_NO_SET).OnGet([](UIComp* c, lua_State* L) {
            return lua_pushboolean(L, c->IsInView()), 1;
        }),
    };
    static_assert(UINamedRows(rows) == UI_BASE_NUM_PROPS, "one row per base property");
    static_assert(UIPropRowsValid(rows, ""), "base property table");
    static constexpr UIKind kind = UIMakeKind(UI_UNKNOWN, "UIComp", "", rows, [] { return new UIComp(); });
    return kind;
}

const UIKind& UIComp::Kind() const { return BaseKind(); }

// ---------------------------------------------------------------------------
// The property slots of UIComp, served from the tables.

static void ReportUnknown(const UIKind& kind, const char* slot, const char* prop, const UIComp* c) {
    if (kind.unknown_form != UI_UNKNOWN_PLAIN && !strcmp(slot, "SetProperty")) {
        size_t n = strlen(kind.prefix);
        bool shorten = kind.unknown_form == UI_UNKNOWN_NAMES_COMP_SHORT && !strncmp(prop, kind.prefix, n);
        kd->Popupf(1, "%s::%s: Unknown Property '%s' for UIComp '%s'\n", kind.class_name, slot, shorten ? prop + n : prop,
                   NameOf(c));
        return;
    }
    kd->Popupf(1, "%s::%s: Unknown Property '%s'\n", kind.class_name, slot, prop);
}

// A kind reports a name it does not know and answers 0, as if handled, so
// that no caller reports it a second time; a plain component has no class
// of its own to name and answers -1, leaving the report to its caller.
int UIComp::SetProperty(const char* prop, lua_State* L) {
    if (!prop) return -1;
    const UIKind &base = BaseKind(), &own = Kind();
    const UIPropRow* row = UIFindProp(base, prop);
    if (!row && &own != &base) row = UIFindProp(own, prop);
    if (row && !(row->flags & UI_NO_SET)) {
        PropSet(*row, this, L);
        return 0;
    }
    if (&own == &base) return -1;
    ReportUnknown(own, "SetProperty", prop, this);
    return 0;
}

int UIComp::GetProperty(const char* prop, lua_State* L) {
    AddToPropertyAccessStatistics(prop);
    if (!prop || !L) return 0;
    const UIKind &base = BaseKind(), &own = Kind();
    // A base name that is not readable answers nothing, and is no fault.
    if (const UIPropRow* row = UIFindProp(base, prop)) return (row->flags & UI_READ) ? PropGet(*row, this, L) : 0;
    if (&own == &base) return 0;
    const UIPropRow* row = UIFindProp(own, prop);
    if (row && (row->flags & UI_READ)) return PropGet(*row, this, L);
    ReportUnknown(own, "GetProperty", prop, this);
    return 0;
}

// A fresh component of the kind, kept for comparing a component without
// a template with; one per kind.
static UIComp* KindDefaults(const UIKind& kind) {
    static std::unique_ptr<UIComp> made[UI_NUM_TYPES];
    int t = kind.type > 0 && kind.type < UI_NUM_TYPES ? kind.type : 0;
    if (!made[t]) made[t].reset(kind.make());
    return made[t].get();
}

static void PutRows(const UIKind& kind, UIComp* c, UIComp* T, nString& out) {
    for (int i = 0; i < kind.num_rows; i++)
        if (kind.rows[i].flags & UI_EXPORT) PropPut(kind.rows[i], c, T, out);
}

static void CopyRows(const UIKind& kind, UIComp* to, UIComp* from, unsigned which) {
    for (int i = 0; i < kind.num_rows; i++)
        if (kind.rows[i].flags & which) PropCopy(kind.rows[i], to, from);
}

void UIComp::ExportLua(nString& out) {
    const UIKind &base = BaseKind(), &own = Kind();
    out.Append("CreateComp (");
    UIAppendQuoted(out, GetCompTypeString(type));
    out.Append(", ");
    UIAppendQuoted(out, name);
    out.Append(");\n");
    // Only what differs from the template is written; without one, what
    // differs from a fresh component.
    PutRows(base, this, template_comp ? template_comp : KindDefaults(base), out);
    if (&own == &base) return;
    bool same_kind = template_comp && &template_comp->Kind() == &own;
    PutRows(own, this, same_kind ? template_comp : KindDefaults(own), out);
}

int UIComp::InheritFrom(UIComp* src) {
    if (!src || src == this || src->type != type) return 0;
    const UIKind &base = BaseKind(), &own = Kind();
    CopyRows(base, this, src, UI_INHERIT);
    if (&own != &base && &src->Kind() == &own) CopyRows(own, this, src, UI_INHERIT);
    template_comp = src;
    UpdateDimensions();
    return 1;
}

UIComp* UIComp::Clone(const char* new_name) {
    const UIKind& own = Kind();
    UIComp* c = own.make();
    free(c->name);
    c->name = nStringDuplicate(new_name ? new_name : "");
    c->type = type;
    c->InheritFrom(this);
    // What a copy takes beyond a template's values: for a plain component
    // its tags and requirement list, for an image its animation settings.
    CopyRows(own, c, this, UI_CLONE);
    // A clone names the same template as its source, not the source.
    c->template_comp = template_comp;
    c->parent = parent;
    return c;
}

void UIComp::ApplyCacheMode(int mode) {
    const UIKind &base = BaseKind(), &own = Kind();
    if (&own == &base) return;
    for (int i = 0; i < own.num_rows; i++) {
        const UIPropRow& row = own.rows[i];
        if (row.kind == UI_BITMAP && !(row.flags & UI_ALIAS))
            UIApplyCacheModeToBitmap(PointerOf<kd_bitmap_t>(row, this), mode);
    }
}

// ---------------------------------------------------------------------------
// Text helpers.

void UIAppendf(nString& out, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        va_end(ap);
        return;
    }
    char* block = (char*)malloc((size_t)n + 1);
    if (block) {
        vsnprintf(block, (size_t)n + 1, format, ap);
        out.Append(block);
        free(block);
    }
    va_end(ap);
}

// Quotes `text`; `backslash` is how a backslash is written, `controls`
// whether the escapes that the text reader resolves are used.
static void AppendLiteral(nString& out, const char* text, const char* backslash, bool controls) {
    nString q("\"");
    char esc[8];
    for (const unsigned char* s = (const unsigned char*)(text ? text : ""); *s; s++) {
        if (*s == '\\') {
            q.Append(backslash);
            continue;
        }
        switch (*s) {
            case '"': strcpy(esc, "\\\""); break;
            case '\n': strcpy(esc, "\\n"); break;
            case '\b': strcpy(esc, controls ? "\\b" : "\\008"); break;
            case '\t': strcpy(esc, controls ? "\\t" : "\\009"); break;
            case '\r': strcpy(esc, controls ? "\\r" : "\\013"); break;
            default:
                if (*s < 32 || *s == 127) snprintf(esc, sizeof esc, "\\%03d", *s);
                else esc[0] = (char)*s, esc[1] = 0;
        }
        q.Append(esc);
    }
    q.Append("\"");
    out.Append(q.c_str());
}

void UIAppendQuoted(nString& out, const char* text) { AppendLiteral(out, text, "\\\\", false); }

// Lua turns four backslashes into two, the text reader two into one.
void UIAppendEscapedText(nString& out, const char* text) { AppendLiteral(out, text, "\\\\\\\\", true); }

char* UIResolveTextEscapes(const char* s) {
    size_t n = s ? strlen(s) : 0;
    char* out = (char*)malloc(n + 1);
    if (!out) return nullptr;
    size_t j = 0;
    for (size_t i = 0; i < n; i++) {
        if (s[i] != '\\' || i + 1 == n) {
            out[j++] = s[i];
            continue;
        }
        char c = s[++i];
        switch (c) {
            case 'b': out[j++] = '\b'; break;
            case 'n': out[j++] = '\n'; break;
            case 'r': out[j++] = '\r'; break;
            case 't': out[j++] = '\t'; break;
            default: out[j++] = c; break;  // also the backslash itself
        }
    }
    out[j] = 0;
    return out;
}

nString UIScriptWhere(lua_State* L) {
    nString r("");
    if (!L) return r;
    luaL_where(L, 1);
    const char* w = lua_tostring(L, -1);
    if (w) {
        r.Set(w);
        // "file:line: " without the separator at the end.
        int n = r.Length();
        while (n > 0 && (r.text[n - 1] == ' ' || r.text[n - 1] == ':')) r.text[--n] = 0;
    }
    lua_pop(L, 1);
    return r;
}

// ---------------------------------------------------------------------------
// Property access statistics.

struct UIPropCount {
    char* name = nullptr;
    int count = 0;
    bool operator==(const UIPropCount& o) const { return name == o.name; }
};

// The entry names are freed with the table at exit.
struct UIPropCountTable {
    nArray<UIPropCount> entries;
    ~UIPropCountTable() {
        for (int i = 0; i < entries.count; i++) free(entries[i].name);
    }
};

static nArray<UIPropCount>& Stats() {
    static UIPropCountTable table;
    return table.entries;
}

void AddToPropertyAccessStatistics(const char* name) {
    if (!name) return;
    nArray<UIPropCount>& s = Stats();
    bool found = false;
    for (int i = 0; i < s.count; i++)
        if (!strcmp(s[i].name, name)) s[i].count++, found = true;
    // A name seen for the first time starts its own entry, so the table
    // tells which properties scripts read at all.
    if (!found) {
        UIPropCount e;
        e.name = nStringDuplicate(name);
        e.count = 1;
        s.InsertLast(e);
    }
}

int GetPropertyAccessCount(const char* name) {
    nArray<UIPropCount>& s = Stats();
    for (int i = 0; i < s.count; i++)
        if (nStringsMatch(s[i].name, name)) return s[i].count;
    return 0;
}

void PrintPropertyAccessStatistics() {
    nArray<UIPropCount>& s = Stats();
    // Lowest count first.
    for (int i = 1; i < s.count; i++)
        for (int j = i; j > 0 && s[j - 1].count > s[j].count; j--) {
            UIPropCount t = s[j];
            s[j] = s[j - 1];
            s[j - 1] = t;
        }
    kd_font_t* font = kd->GetFont("core/console.sft");
    if (!font) return;
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
    float line = kd->GetTextHeightf(font, "X") - 2;
    float y = 10;
    for (int i = 0; i < s.count; i++, y += line) kd->DrawTextf(font, 10, y, "%d: %s", s[i].count, s[i].name);
}
