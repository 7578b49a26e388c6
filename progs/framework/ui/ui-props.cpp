// Component properties by name and the base lines of the layout format.
// See ui-props.h.
#include "ui/ui-props.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "feature-manager.h"
#include "manager.h"
#include "ui/ui-comps.h"

// ---------------------------------------------------------------------------
// Names and kinds.

static const UIPropInfo base_props[] = {
    {"alpha", UI_PK_NUMBER, true},
    {"position_offset", UI_PK_NUMBER2, true},
    {"position_offset.x", UI_PK_NUMBER, true},
    {"position_offset.y", UI_PK_NUMBER, true},
    {"position_offset.z", UI_PK_NUMBER, false},
    {"position", UI_PK_NUMBER2, true},
    {"position.x", UI_PK_NUMBER, true},
    {"position.y", UI_PK_NUMBER, true},
    {"position.z", UI_PK_NUMBER, false},
    {"angle", UI_PK_NUMBER, true},
    {"scale", UI_PK_NUMBER, true},
    {"color", UI_PK_COLOR, false},
    {"color.r", UI_PK_NUMBER, true},
    {"color.g", UI_PK_NUMBER, true},
    {"color.b", UI_PK_NUMBER, true},
    {"color.a", UI_PK_NUMBER, true},
    {"tags", UI_PK_STRING, true},
    {"required_features", UI_PK_STRING, false},
    {"width", UI_PK_INTEGER, true},
    {"height", UI_PK_INTEGER, true},
    {"active", UI_PK_FLAG, true},
    {"interactive", UI_PK_FLAG, false},
    {"visible", UI_PK_FLAG, true},
    {"draw_mode", UI_PK_KEYWORD, false},
    {"fading", UI_PK_FLAG, true},
    {"fading_akey", UI_PK_NUMBER, true},
    {"inherit_scale", UI_PK_TRUTH, false},
    {"inherit_angle", UI_PK_TRUTH, false},
    {"snap_position_to_pixels", UI_PK_TRUTH, false},
    {"blend_mode", UI_PK_KEYWORD, false},
    {"pixel_filter", UI_PK_KEYWORD, false},
    {"screen_origin", UI_PK_KEYWORD, false},
    {"parent", UI_PK_STRING, true},
    {"inherit", UI_PK_STRING, false},
    {"localize", UI_PK_INTEGER, false},
    {"scale_type", UI_PK_KEYWORD, true},
    {"expanded_hit_area", UI_PK_NUMBER, false},
    {"name", UI_PK_STRING, true},
    {"parent_anchor", UI_PK_ALIGN, false},
    {"align", UI_PK_ALIGN, true},
    {"custom_draw", UI_PK_FLAG, false},
    {"snd_over", UI_PK_STRING, false},
    {"snd_press", UI_PK_STRING, false},
    {"snd_release", UI_PK_STRING, false},
    {"OnLoad", UI_PK_STRING, false},
    {"OnClick", UI_PK_STRING, false},
    {"OnEnter", UI_PK_STRING, false},
    {"OnLeave", UI_PK_STRING, false},
    {"OnDraw", UI_PK_STRING, false},
    {"OnUpdate", UI_PK_STRING, false},
    {"cache_mode", UI_PK_KEYWORD, true},
    {"position_type", UI_PK_KEYWORD, true},
};

const UIPropInfo* UIFindBaseProperty(const char* name) {
    if (!name) return nullptr;
    for (const UIPropInfo& p : base_props)
        if (!strcmp(p.name, name)) return &p;
    return nullptr;
}

int UINumBaseProperties() { return (int)(sizeof base_props / sizeof base_props[0]); }

const UIPropInfo* UIBaseProperty(int i) { return i >= 0 && i < UINumBaseProperties() ? &base_props[i] : nullptr; }

// ---------------------------------------------------------------------------
// Keywords.

struct UIKeyword {
    const char* prop;
    const char* word;
    int value;
};

static const UIKeyword keywords[] = {
    {"cache_mode", "PRELOAD", 0},
    {"cache_mode", "LOAD_ON_ENTER", 1},
    {"cache_mode", "LOAD_ON_ENTER_RELEASE_ON_LEAVE", 2},
    {"cache_mode", "DEFAULT", 2},
    {"cache_mode", "IGNORE_LOADING", 3},
    {"draw_mode", "NORMAL", 0},
    {"draw_mode", "MIRRORED_VERTICAL", 1},
    {"draw_mode", "MIRRORED_HORIZONTAL", 2},
    {"blend_mode", "NORMAL", 0},
    {"blend_mode", "ADDITIVE", 1},
    {"blend_mode", "REPLACE", 2},
    {"pixel_filter", "POINT", 0},
    {"pixel_filter", "LINEAR", 1},
    {"screen_origin", "VIRTUAL", 0},
    {"screen_origin", "ACTUAL", 1},
    {"position_type", "ABSOLUTE", 0},
    {"position_type", "RELATIVE_TO_PARENT", 1},
    {"position_type", "RELATIVE", 1},
    {"position_type", "RELATIVE_TO_SCREEN", 2},
    {"scale_type", "ACTUAL_SIZE", 0},
    {"scale_type", "FIT_INSIDE_SCREEN", 1},
    {"scale_type", "FIT_TO_COVER_SCREEN", 2},
    {"scale_type", "STRETCH_TO_COVER_SCREEN", 3},
    {"scale_type", "RELATIVE_TO_SCREEN_WIDTH", 4},
    {"scale_type", "RELATIVE_TO_SCREEN_HEIGHT", 5},
    {"scale_type", "RELATIVE_TO_SCREEN_SIZE", 6},
    {"scale_type", "RELATIVE_TO_PARENT", 7},
};

int UIKeywordValue(const char* prop, const char* word, int fallback, bool* known) {
    if (known) *known = false;
    if (!prop || !word) return fallback;
    for (const UIKeyword& k : keywords)
        if (!strcmp(k.prop, prop) && !strcmp(k.word, word)) {
            if (known) *known = true;
            return k.value;
        }
    return fallback;
}

const char* UIKeywordName(const char* prop, int value) {
    if (!prop) return "";
    for (const UIKeyword& k : keywords)
        if (!strcmp(k.prop, prop) && k.value == value) return k.word;
    return "";
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

void UIAppendQuoted(nString& out, const char* text) {
    nString q("\"");
    char esc[8];
    for (const unsigned char* s = (const unsigned char*)(text ? text : ""); *s; s++) {
        if (*s == '"' || *s == '\\') {
            esc[0] = '\\', esc[1] = (char)*s, esc[2] = 0;
        } else if (*s == '\n') {
            strcpy(esc, "\\n");
        } else if (*s < 32 || *s == 127) {
            snprintf(esc, sizeof esc, "\\%03d", *s);
        } else {
            esc[0] = (char)*s, esc[1] = 0;
        }
        q.Append(esc);
    }
    q.Append("\"");
    out.Append(q.c_str());
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

static const char* SetFileName(lua_State* L, const char* fallback) {
    UISet* set = L ? UISet::FromState(L) : nullptr;
    return set ? set->file.c_str() : fallback;
}

static bool DeveloperMode() { return Manager::GetParms() && Manager::GetParms()->developer_mode; }

// ---------------------------------------------------------------------------
// Reading values from the stack; each refuses a value of the wrong kind.

static void Refuse(lua_State* L, const UIComp* c, const char* prop, const char* expected, int index) {
    nString where = UIScriptWhere(L);
    const char* got = L ? lua_typename(L, lua_type(L, index)) : "nothing";
    kd->Popupf(1, "%s%sSetProperty: '%s' of '%s' expects %s, got %s; value ignored.\n", where.c_str(),
               where.IsEmpty() ? "" : ": ", prop, c->name ? c->name : "", expected, got);
}

static bool ReadNumber(lua_State* L, int i, float* out) {
    if (!L || lua_type(L, i) == LUA_TNONE || !lua_isnumber(L, i)) return false;
    double d = lua_tonumber(L, i);
    if (!isfinite(d) || fabs(d) > 3.0e38) return false;
    *out = (float)d;
    return true;
}

static bool ReadInteger(lua_State* L, int i, int* out) {
    if (!L || lua_type(L, i) == LUA_TNONE || !lua_isnumber(L, i)) return false;
    double d = lua_tonumber(L, i);
    if (!isfinite(d) || fabs(d) > 2.0e9) return false;
    *out = (int)d;  // truncated toward zero
    return true;
}

static bool ReadFlag(lua_State* L, int i, bool* out) {
    if (!L) return false;
    if (lua_type(L, i) == LUA_TBOOLEAN) {
        *out = lua_toboolean(L, i) != 0;
        return true;
    }
    int v;
    if (!ReadInteger(L, i, &v)) return false;
    *out = v != 0;
    return true;
}

static const char* ReadString(lua_State* L, int i) {
    if (!L) return nullptr;
    int t = lua_type(L, i);
    if (t != LUA_TSTRING && t != LUA_TNUMBER) return nullptr;
    return lua_tostring(L, i);
}

static void ReplaceText(char*& field, const char* text) {
    char* copy = nStringDuplicate(text ? text : "");
    free(field);
    field = copy;
}

// True when making `p` the parent of `c` would close a loop.
static bool WouldLoop(UIComp* c, UIComp* p) {
    for (int depth = 0; p; p = p->parent, depth++)
        if (p == c || depth > 4096) return true;
    return false;
}

// ---------------------------------------------------------------------------
// SetProperty.

int UIComp::SetProperty(const char* prop, lua_State* L) {
    const UIPropInfo* info = UIFindBaseProperty(prop);
    if (!info) return -1;
    const char* n = info->name;
    float f, g;
    int i;
    bool b;
    switch (info->kind) {
        case UI_PK_NUMBER:
            if (!ReadNumber(L, 2, &f)) return Refuse(L, this, n, "a number", 2), 0;
            if (!strcmp(n, "alpha")) alpha = f;
            else if (!strcmp(n, "position_offset.x")) position_offset.x = f;
            else if (!strcmp(n, "position_offset.y")) position_offset.y = f;
            else if (!strcmp(n, "position_offset.z")) position_offset.z = f;
            else if (!strcmp(n, "position.x")) position.x = f;
            else if (!strcmp(n, "position.y")) position.y = f;
            else if (!strcmp(n, "position.z")) position.z = f;
            else if (!strcmp(n, "angle")) angle = f;
            else if (!strcmp(n, "scale")) {
                scale = f;
                UpdateDimensions();
                CalculateDynamicScale();
            } else if (!strcmp(n, "color.r")) color.r = f;
            else if (!strcmp(n, "color.g")) color.g = f;
            else if (!strcmp(n, "color.b")) color.b = f;
            else if (!strcmp(n, "color.a")) color.a = f;
            else if (!strcmp(n, "fading_akey")) fading_akey = f;
            else if (!strcmp(n, "expanded_hit_area")) expanded_hit_area = f;
            return 0;
        case UI_PK_NUMBER2:
            if (!ReadNumber(L, 2, &f)) return Refuse(L, this, n, "two numbers", 2), 0;
            if (!ReadNumber(L, 3, &g)) return Refuse(L, this, n, "two numbers", 3), 0;
            if (!strcmp(n, "position")) position.x = f, position.y = g;
            else position_offset.x = f, position_offset.y = g;
            return 0;
        case UI_PK_COLOR: {
            float r, gg, bb, a = color.a;
            if (!ReadNumber(L, 2, &r) || !ReadNumber(L, 3, &gg) || !ReadNumber(L, 4, &bb))
                return Refuse(L, this, n, "three or four numbers", 2), 0;
            if (lua_gettop(L) >= 5 && !ReadNumber(L, 5, &a)) return Refuse(L, this, n, "a number for alpha", 5), 0;
            color.r = r, color.g = gg, color.b = bb, color.a = a;
            return 0;
        }
        case UI_PK_INTEGER:
            if (!ReadInteger(L, 2, &i)) return Refuse(L, this, n, "a number", 2), 0;
            if (!strcmp(n, "width")) width = (float)i;
            else if (!strcmp(n, "height")) height = (float)i;
            else if (!strcmp(n, "localize")) localize = i != 0;
            return 0;
        case UI_PK_FLAG:
            if (!ReadFlag(L, 2, &b)) return Refuse(L, this, n, "true, false or a number", 2), 0;
            if (!strcmp(n, "active")) active = b;
            else if (!strcmp(n, "interactive")) interactive = b;
            else if (!strcmp(n, "visible")) visible = b;
            else if (!strcmp(n, "fading")) fading = b;
            else if (!strcmp(n, "custom_draw")) custom_draw = b;
            return 0;
        case UI_PK_TRUTH:
            b = L && lua_toboolean(L, 2);
            if (!strcmp(n, "inherit_scale")) inherit_scale = b;
            else if (!strcmp(n, "inherit_angle")) inherit_angle = b;
            else snap_position_to_pixels = b;
            return 0;
        case UI_PK_ALIGN: {
            const char* s = ReadString(L, 2);
            if (!s) return Refuse(L, this, n, "align words", 2), 0;
            if (!strcmp(n, "align")) align = ParseAlignFlags(s);
            else parent_anchor = (uint16_t)ParseAlignFlags(s);
            return 0;
        }
        case UI_PK_KEYWORD: {
            const char* s = ReadString(L, 2);
            if (!s) return Refuse(L, this, n, "a keyword", 2), 0;
            bool known;
            if (!strcmp(n, "draw_mode")) {
                draw_mode = (uint16_t)UIKeywordValue(n, s, 0, &known);
                if (!known)
                    kd->Popupf(1,
                               "Draw mode '%s' is not supported. Supported modes are e.g. 'NORMAL', "
                               "'MIRRORED_HORIZONTAL', 'MIRRORED_VERTICAL', 'MIRRORED_BOTH'.",
                               s);
            } else if (!strcmp(n, "blend_mode")) {
                blend_mode = UIKeywordValue(n, s, 0, &known);
            } else if (!strcmp(n, "pixel_filter")) {
                pixel_filter = UIKeywordValue(n, s, 1, &known);
            } else if (!strcmp(n, "screen_origin")) {
                screen_origin = (uint16_t)UIKeywordValue(n, s, 1, &known);
            } else if (!strcmp(n, "cache_mode")) {
                cache_mode = (uint16_t)UIKeywordValue(n, s, 2, &known);
                if (!known)
                    kd->Popupf(1,
                               "Cache mode '%s' is not supported. Supported modes are e.g. 'PRELOAD' and "
                               "'LOAD_ON_ENTER_RELEASE_ON_LEAVE'.",
                               s);
            } else if (!strcmp(n, "scale_type")) {
                scale_type = UIKeywordValue(n, s, UI_SCALE_RELATIVE_TO_PARENT, &known);
                if (!known)
                    kd->Popupf(1, "In '%s' unknown scale type '%s' for '%s'.\nPossible values are: %s",
                               SetFileName(L, "unknown"), s, name ? name : "",
                               "FIT_INSIDE_SCREEN,FIT_TO_COVER_SCREEN,STRETCH_TO_COVER_SCREEN,RELATIVE_TO_SCREEN_"
                               "WIDTH,RELATIVE_TO_SCREEN_HEIGHT,RELATIVE_TO_SCREEN_SIZE,RELATIVE_TO_PARENT");
                else if (scale_type == UI_SCALE_ACTUAL_SIZE && DeveloperMode())
                    kd->Popupf(1, "Using deprecating scale type '%s' for UI component '%s' in '%s'.\n", s,
                               name ? name : "", SetFileName(L, "unknown"));
            } else if (!strcmp(n, "position_type")) {
                position_type = UIKeywordValue(n, s, 0, &known);
                if (position_type != UI_POS_RELATIVE_TO_PARENT && DeveloperMode())
                    kd->Popupf(1,
                               "Using deprecating position type '%s' for UI component '%s' in '%s'. For future "
                               "compatibility use only 'RELATIVE_TO_PARENT'.\n",
                               s, name ? name : "", SetFileName(L, "unknown"));
            }
            return 0;
        }
        case UI_PK_STRING: {
            const char* s = ReadString(L, 2);
            if (!s) return Refuse(L, this, n, "a text", 2), 0;
            if (!strcmp(n, "tags")) {
                ReplaceText(tags, s);
            } else if (!strcmp(n, "required_features")) {
                ReplaceText(required_features, s);
                features_enabled = feature_man.EvaluateProductFeatureRequirementList(s);
            } else if (!strcmp(n, "name")) {
                ReplaceText(name, s);
            } else if (!strcmp(n, "parent")) {
                UISet* set = L ? UISet::FromState(L) : nullptr;
                UIComp* p = set ? set->GetComp(s) : nullptr;
                if (!p) {
                    kd->Popupf(1, "Missing parent '%s' for %s/%s.\n", s, set ? set->file.c_str() : "", name ? name : "");
                    parent = nullptr;
                } else if (WouldLoop(this, p)) {
                    // A loop would send every layout query round it forever.
                    nString where = UIScriptWhere(L);
                    kd->Popupf(1, "%s%sParent '%s' of '%s' would make a loop; parent left as it was.\n", where.c_str(),
                               where.IsEmpty() ? "" : ": ", s, name ? name : "");
                } else {
                    parent = p;
                }
            } else if (!strcmp(n, "inherit")) {
                UIComp* t = ui_template_set ? ui_template_set->GetComp(s) : nullptr;
                if (!t || t == this) {
                    UISet* own = OwnerSet();
                    kd->Popupf(1, "Component template '%s' for '%s' not found in '%s'.\n", s, name ? name : "",
                               own ? own->file.c_str() : "templates.lua");
                } else {
                    bool loaded = OwnerSetLoaded();
                    if (loaded) ApplyCacheMode(3);
                    InheritFrom(t);
                    if (loaded) ApplyCacheMode(2);
                }
            } else if (!strncmp(n, "snd_", 4)) {
                kd_sound_t* snd = kd->GetSound(s);
                if (!strcmp(n, "snd_over")) snd_over = snd;
                else if (!strcmp(n, "snd_press")) snd_press = snd;
                else snd_release = snd;
            } else {
                for (int h = 0; h < UI_NUM_HANDLERS; h++)
                    if (!strcmp(n, HandlerName(h))) SetHandler(h, s);
            }
            return 0;
        }
    }
    return -1;
}

// ---------------------------------------------------------------------------
// GetProperty.

int UIComp::GetProperty(const char* prop, lua_State* L) {
    AddToPropertyAccessStatistics(prop);
    const UIPropInfo* info = UIFindBaseProperty(prop);
    // Names that are not stored fields but are readable.
    if (!info && prop && L) {
        if (!strcmp(prop, "time_cursor_over")) return lua_pushnumber(L, time_cursor_over), 1;
        if (!strcmp(prop, "time_cursor_locked")) return lua_pushnumber(L, time_cursor_locked), 1;
        if (!strcmp(prop, "static_position") || !strcmp(prop, "static_position.x") ||
            !strcmp(prop, "static_position.y")) {
            vec2_t p = GetStaticPos();
            if (!strcmp(prop, "static_position.x")) return lua_pushnumber(L, p.x), 1;
            if (!strcmp(prop, "static_position.y")) return lua_pushnumber(L, p.y), 1;
            lua_pushnumber(L, p.x);
            lua_pushnumber(L, p.y);
            return 2;
        }
        if (!strcmp(prop, "aligned_position.x")) return lua_pushnumber(L, GetAlignedPos().x), 1;
        if (!strcmp(prop, "aligned_position.y")) return lua_pushnumber(L, GetAlignedPos().y), 1;
        if (!strcmp(prop, "is_in_view")) return lua_pushboolean(L, IsInView()), 1;
        if (!strcmp(prop, "dynamic_scale")) return lua_pushnumber(L, dynamic_scale), 1;
        return 0;
    }
    if (!info || !info->readable || !L) return 0;
    const char* n = info->name;
    if (!strcmp(n, "position_offset")) {
        lua_pushnumber(L, position_offset.x);
        lua_pushnumber(L, position_offset.y);
        return 2;
    }
    if (!strcmp(n, "position")) {
        lua_pushnumber(L, position.x);
        lua_pushnumber(L, position.y);
        return 2;
    }
    if (!strcmp(n, "position_offset.x")) return lua_pushnumber(L, position_offset.x), 1;
    if (!strcmp(n, "position_offset.y")) return lua_pushnumber(L, position_offset.y), 1;
    if (!strcmp(n, "position.x")) return lua_pushnumber(L, position.x), 1;
    if (!strcmp(n, "position.y")) return lua_pushnumber(L, position.y), 1;
    if (!strcmp(n, "parent")) return lua_pushstring(L, parent && parent->name ? parent->name : ""), 1;
    if (!strcmp(n, "tags")) return lua_pushstring(L, tags ? tags : ""), 1;
    if (!strcmp(n, "width")) return lua_pushinteger(L, (lua_Integer)(int)width), 1;
    if (!strcmp(n, "height")) return lua_pushinteger(L, (lua_Integer)(int)height), 1;
    if (!strcmp(n, "color.r")) return lua_pushnumber(L, color.r), 1;
    if (!strcmp(n, "color.g")) return lua_pushnumber(L, color.g), 1;
    if (!strcmp(n, "color.b")) return lua_pushnumber(L, color.b), 1;
    if (!strcmp(n, "color.a")) return lua_pushnumber(L, color.a), 1;
    if (!strcmp(n, "alpha")) return lua_pushnumber(L, alpha), 1;
    if (!strcmp(n, "angle")) return lua_pushnumber(L, angle), 1;
    if (!strcmp(n, "name")) return lua_pushstring(L, name ? name : ""), 1;
    if (!strcmp(n, "scale")) return lua_pushnumber(L, scale), 1;
    if (!strcmp(n, "active")) return lua_pushboolean(L, active), 1;
    if (!strcmp(n, "visible")) return lua_pushboolean(L, visible), 1;
    if (!strcmp(n, "fading")) return lua_pushboolean(L, fading), 1;
    if (!strcmp(n, "fading_akey")) return lua_pushnumber(L, fading_akey), 1;
    if (!strcmp(n, "cache_mode")) {
        int m = cache_mode >= 1 && cache_mode <= 3 ? cache_mode : 0;
        return lua_pushstring(L, UIKeywordName(n, m)), 1;
    }
    if (!strcmp(n, "position_type")) {
        int m = position_type == 1 || position_type == 2 ? position_type : 0;
        return lua_pushstring(L, UIKeywordName(n, m)), 1;
    }
    if (!strcmp(n, "scale_type")) {
        int m = scale_type >= 0 && scale_type <= 7 ? scale_type : 6;
        return lua_pushstring(L, UIKeywordName(n, m)), 1;
    }
    if (!strcmp(n, "align")) return lua_pushstring(L, GetAlignFlagsAsString(align)), 1;
    return 0;
}

// ---------------------------------------------------------------------------
// The base lines of a component in a layout file.

static bool Differs(float a, float b) { return fabsf(a - b) >= 0.000001f; }

void UIComp::ExportLua(nString& out) {
    // Without a template, the component is compared with the defaults of
    // a fresh component, so only what was set is written.
    static UIComp defaults;
    UIComp* T = template_comp ? template_comp : &defaults;
    const char* type_string = GetCompTypeString(type);

    out.Append("CreateComp (");
    UIAppendQuoted(out, type_string);
    out.Append(", ");
    UIAppendQuoted(out, name);
    out.Append(");\n");

    char default_name[64];
    snprintf(default_name, sizeof default_name, "Default%s", type_string);
    if (template_comp && !nStringsMatch(template_comp->name, default_name)) {
        out.Append("SetProperty (\"inherit\", ");
        UIAppendQuoted(out, template_comp->name);
        out.Append(");\n");
    }
    if (inherit_scale != T->inherit_scale)
        UIAppendf(out, "SetProperty (\"inherit_scale\", %s);\n", inherit_scale ? "true" : "false");
    if (required_features && *required_features && !nStringsMatch(required_features, T->required_features)) {
        out.Append("SetProperty (\"required_features\", ");
        UIAppendQuoted(out, required_features);
        out.Append(");\n");
    }
    if (localize != T->localize) UIAppendf(out, "SetProperty (\"localize\", %d);\n", localize ? 1 : 0);
    if (cache_mode != T->cache_mode)
        UIAppendf(out, "SetProperty (\"cache_mode\", \"%s\");\n",
                  UIKeywordName("cache_mode", cache_mode <= 3 ? cache_mode : 2));
    if (visible != T->visible) UIAppendf(out, "SetProperty (\"visible\", %d);\n", visible ? 1 : 0);
    if (active != T->active) UIAppendf(out, "SetProperty (\"active\", %d);\n", active ? 1 : 0);
    if (interactive != T->interactive) UIAppendf(out, "SetProperty (\"interactive\", %d);\n", interactive ? 1 : 0);
    if (Differs(expanded_hit_area, T->expanded_hit_area))
        UIAppendf(out, "SetProperty (\"expanded_hit_area\", %g);\n", expanded_hit_area);
    if (scale_type != T->scale_type)
        UIAppendf(out, "SetProperty (\"scale_type\", \"%s\");\n",
                  scale_type >= 0 && scale_type <= 7 ? UIKeywordName("scale_type", scale_type) : "NONE");
    if (blend_mode != T->blend_mode)
        UIAppendf(out, "SetProperty (\"blend_mode\", \"%s\");\n", UIKeywordName("blend_mode", blend_mode));
    if (pixel_filter != T->pixel_filter)
        UIAppendf(out, "SetProperty (\"pixel_filter\", \"%s\");\n", UIKeywordName("pixel_filter", pixel_filter));
    if (draw_mode != T->draw_mode)
        UIAppendf(out, "SetProperty (\"draw_mode\", \"%s\");\n", UIKeywordName("draw_mode", draw_mode));
    if (fading != T->fading) UIAppendf(out, "SetProperty (\"fading\", %d);\n", fading ? 1 : 0);
    if (Differs(fading_akey, T->fading_akey)) UIAppendf(out, "SetProperty (\"fading_akey\", %g);\n", fading_akey);
    if (custom_draw != T->custom_draw) UIAppendf(out, "SetProperty (\"custom_draw\", %d);\n", custom_draw ? 1 : 0);
    if (!nStringsMatch(tags ? tags : "", T->tags ? T->tags : "")) {
        out.Append("SetProperty (\"tags\", ");
        UIAppendQuoted(out, tags);
        out.Append(");\n");
    }
    if (parent) {
        out.Append("SetProperty (\"parent\", ");
        UIAppendQuoted(out, parent->name);
        out.Append(");\n");
    }
    if (screen_origin != T->screen_origin)
        UIAppendf(out, "SetProperty (\"screen_origin\", \"%s\");\n", screen_origin ? "ACTUAL" : "VIRTUAL");
    if (parent_anchor != T->parent_anchor)
        UIAppendf(out, "SetProperty (\"parent_anchor\", \"%s\");\n", GetAlignFlagsAsString(parent_anchor));

    if (position_type == UI_POS_ABSOLUTE) {
        kd->Popupf(1,
                   "Autoconvert: Converting UI Comp '%s' position type from ABSOLUTE to RELATIVE TO PARENT "
                   "for future compatibility.\n",
                   name ? name : "");
        ConvertPositionType(UI_POS_RELATIVE_TO_PARENT);
    }
    if (!parent && position_type == UI_POS_RELATIVE_TO_SCREEN) position_type = UI_POS_RELATIVE_TO_PARENT;
    if (position_type != T->position_type)
        UIAppendf(out, "SetProperty (\"position_type\", \"%s\");\n",
                  position_type == UI_POS_RELATIVE_TO_SCREEN ? "RELATIVE_TO_SCREEN" : "RELATIVE_TO_PARENT");
    if (Differs(position.x, T->position.x) || Differs(position.y, T->position.y))
        UIAppendf(out, "SetProperty (\"position\", %g, %g);\n", position.x, position.y);
    if (color.r != T->color.r) UIAppendf(out, "SetProperty (\"color.r\", %g);\n", color.r);
    if (color.g != T->color.g) UIAppendf(out, "SetProperty (\"color.g\", %g);\n", color.g);
    if (color.b != T->color.b) UIAppendf(out, "SetProperty (\"color.b\", %g);\n", color.b);
    if (color.a != T->color.a) UIAppendf(out, "SetProperty (\"color.a\", %g);\n", color.a);
    if (angle != T->angle) UIAppendf(out, "SetProperty (\"angle\", %g);\n", angle);
    if (scale != T->scale) UIAppendf(out, "SetProperty (\"scale\", %g);\n", scale);
    for (int h = 0; h < UI_NUM_HANDLERS; h++) {
        const char* file = GetHandler(h);
        if (!file || !*file) continue;
        UIAppendf(out, "SetProperty (\"%s\", ", HandlerName(h));
        UIAppendQuoted(out, file);
        out.Append(");\n");
    }
    if (align != T->align) UIAppendf(out, "SetProperty (\"align\", \"%s\");\n", GetAlignFlagsAsString(align));
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
