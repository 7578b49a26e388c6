// Shared parts of the widget kinds. See ui-widgets.h.
#include "ui/ui-widgets.h"

#include <math.h>
#include <string.h>

#include "localization.h"
#include "manager.h"
#include "ui/ui-props.h"

UIWidgetHooks ui_widget_hooks;

void UISendComponentClick(UISet* set, UIComp* comp) {
    if (ui_widget_hooks.send_component_click) ui_widget_hooks.send_component_click(set, comp);
}

bool UIHasFocus(UIComp* comp) { return ui_widget_hooks.has_focus && ui_widget_hooks.has_focus(comp); }

bool UIDeveloperMode() { return Manager::GetParms() && Manager::GetParms()->developer_mode; }

int UIBitmapWidth(kd_bitmap_t* bm) { return bm && bm->width > 0 ? bm->width : 0; }
int UIBitmapHeight(kd_bitmap_t* bm) { return bm && bm->height > 0 ? bm->height : 0; }
const char* UIBitmapName(kd_bitmap_t* bm) { return bm && bm->name ? bm->name : ""; }
bool UIBitmapIsPlaceholder(kd_bitmap_t* bm) { return !bm || !bm->name || bm->name[0] == '!'; }
bool UIBitmapUsable(kd_bitmap_t* bm) { return !UIBitmapIsPlaceholder(bm) && bm->width > 0 && bm->height > 0; }

const char* UIFontName(kd_font_t* font) { return font && font->name ? font->name : ""; }

float UIFontLineHeight(kd_font_t* font) { return font ? (float)font->line_height : 0; }

bool UIFontIsUTF8(kd_font_t* font) { return font && font->encoding == KD_FONT_UTF8; }

bool UIFontHasGlyph(kd_font_t* font, int code) {
    if (!font || !font->glyphs || code < 0) return false;
    if (font->encoding == KD_FONT_UTF8) {
        for (int i = 0; i < font->glyph_count; i++)
            if (font->glyphs[i].code == code) return true;
        return false;
    }
    if (code > 255 || code >= font->glyph_count) return false;
    const kd_glyph_t& g = font->glyphs[code];
    return g.advance > 0 || g.bitmap.width > 0;
}

bool UIReadNumber(lua_State* L, int i, float* out) {
    if (!L || lua_type(L, i) == LUA_TNONE || !lua_isnumber(L, i)) return false;
    double d = lua_tonumber(L, i);
    if (!isfinite(d) || fabs(d) > 3.0e38) return false;
    *out = (float)d;
    return true;
}

bool UIReadInteger(lua_State* L, int i, int* out) {
    if (!L || lua_type(L, i) == LUA_TNONE || !lua_isnumber(L, i)) return false;
    double d = lua_tonumber(L, i);
    if (!isfinite(d) || fabs(d) > 2.0e9) return false;
    *out = (int)d;
    return true;
}

bool UIReadFlag(lua_State* L, int i, bool* out) {
    if (!L) return false;
    if (lua_type(L, i) == LUA_TBOOLEAN) {
        *out = lua_toboolean(L, i) != 0;
        return true;
    }
    int v;
    if (!UIReadInteger(L, i, &v)) return false;
    *out = v != 0;
    return true;
}

const char* UIReadString(lua_State* L, int i) {
    if (!L) return nullptr;
    int t = lua_type(L, i);
    if (t != LUA_TSTRING && t != LUA_TNUMBER) return nullptr;
    return lua_tostring(L, i);
}

void UIRefuse(lua_State* L, const UIComp* c, const char* prop, const char* expected, int index) {
    nString where = UIScriptWhere(L);
    const char* got = L ? lua_typename(L, lua_type(L, index)) : "nothing";
    kd->Popupf(1, "%s%sSetProperty: '%s' of '%s' expects %s, got %s; value ignored.\n", where.c_str(),
               where.IsEmpty() ? "" : ": ", prop, c->name ? c->name : "", expected, got);
}

void UIDrawSetup(UIComp* c, float A) {
    kd->SetColor(c->color.r, c->color.g, c->color.b);
    kd->SetAlpha(A * c->color.a);
    kd->SetBlend(c->blend_mode);
    kd->SetPixelFilter(c->pixel_filter);
}

bool UIPushRotation(UIComp* c) {
    float a = c->GetStaticAngle();
    if (fabsf(a) < 0.000001f) return false;
    vec2_t p = c->GetStaticPos();
    float ca = cosf(a), sa = sinf(a);
    // Translate to the origin, rotate, translate back.
    nTransform m = kd_transform_identity;
    m.m[0] = ca, m.m[1] = -sa, m.m[3] = p.x - ca * p.x + sa * p.y;
    m.m[4] = sa, m.m[5] = ca, m.m[7] = p.y - sa * p.x - ca * p.y;
    kd->PushTransform(&m);
    return true;
}

void UIDrawBitmapInBox(kd_bitmap_t* bm, float x, float y, float S) {
    if (!bm) return;
    int w = UIBitmapWidth(bm), h = UIBitmapHeight(bm);
    if (w & 1) x += 0.5f;
    if (h & 1) y += 0.5f;
    kd->DrawBitmapRS(bm, x + S * (float)w / 2, y + S * (float)h / 2, 0, S);
}

const char* UIShownText(UIComp* c, const char* text) {
    if (text && c->features_enabled && c->localize) return loc_man.Localize(text);
    return text;
}

void UIWarnDynamicText(UIComp* c, const char* text) {
    if (!c->is_loaded || !c->localize || !UIDeveloperMode() || ui_widget_hooks.editor_active) return;
    UISet* set = c->OwnerSet();
    kd->Popupf(1, "Setting dynamic text '%s' for localizable component '%s/%s'\n", text ? text : "",
               set ? set->file.c_str() : "", c->name ? c->name : "");
}

void UIAppendBitmapLine(nString& out, const char* prop, kd_bitmap_t* bm, kd_bitmap_t* template_bm) {
    if (UIBitmapIsPlaceholder(bm) || bm == template_bm) return;
    UIAppendTextLine(out, prop, UIBitmapName(bm));
}

void UIAppendTextLine(nString& out, const char* prop, const char* text) {
    UIAppendf(out, "SetProperty (\"%s\", ", prop);
    UIAppendQuoted(out, text);
    out.Append(");\n");
}

UIComp* UICloneInto(UIComp* c, UIComp* source, const char* new_name) {
    free(c->name);
    c->name = nStringDuplicate(new_name ? new_name : "");
    c->type = source->type;
    c->InheritFrom(source);
    c->template_comp = source->template_comp;
    c->parent = source->parent;
    return c;
}

void UIApplyCacheModeToBitmap(kd_bitmap_t* bm, int mode) {
    if (UIBitmapIsPlaceholder(bm)) return;
    if (mode == UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE) kd->LoadBitmap(bm->name, ui_screen.cache_flags[1]);
    else if (mode == UI_CACHE_IGNORE_LOADING) kd->ReleaseBitmap(bm);
}

#include "ui/ui-button.h"
#include "ui/ui-checkbox.h"
#include "ui/ui-editbox.h"
#include "ui/ui-image.h"
#include "ui/ui-ninepatch.h"
#include "ui/ui-slider.h"
#include "ui/ui-textbox.h"

void UIRegisterWidgetKinds() {
    UIComp::RegisterCompClass(UI_BUTTON, UICompButton::Make);
    UIComp::RegisterCompClass(UI_CHECKBOX, UICompCheckbox::Make);
    UIComp::RegisterCompClass(UI_SLIDER, UICompSlider::Make);
    UIComp::RegisterCompClass(UI_EDITBOX, UICompEditbox::Make);
    UIComp::RegisterCompClass(UI_IMAGE, UICompImage::Make);
    UIComp::RegisterCompClass(UI_NINEPATCH, UICompNinePatch::Make);
    UIComp::RegisterCompClass(UI_TEXTBOX, UICompTextbox::Make);
}

bool UISetBitmapProperty(lua_State* L, UIComp* c, const char* prop, kd_bitmap_t** slot) {
    const char* name = UIReadString(L, 2);
    if (!name) {
        UIRefuse(L, c, prop, "a bitmap name", 2);
        return false;
    }
    c->ReplaceBitmapApplyingReferenceCounting(slot, name);
    return true;
}
