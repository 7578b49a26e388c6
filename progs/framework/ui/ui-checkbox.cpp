// The check box. See ui-checkbox.h.
#include "ui/ui-checkbox.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompCheckbox::UICompCheckbox() { type = UI_CHECKBOX; }

UICompCheckbox::~UICompCheckbox() { free(text); }

void UICompCheckbox::SetText(const char* fmt, ...) {
    if (!fmt) return;
    char buffer[4096];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, ap);
    va_end(ap);
    free(text);
    text = nStringDuplicate(buffer);
    shown_text = UIShownText(this, text);
    UIWarnDynamicText(this, buffer);
}

void UICompCheckbox::UpdateDimensions() {
    if (!UIBitmapIsPlaceholder(bm_idle)) {
        width = (float)UIBitmapWidth(bm_idle);
        height = (float)UIBitmapHeight(bm_idle);
    } else {
        width = height = 1;
    }
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
}

void UICompCheckbox::Draw() {
    if (ui_widget_hooks.resize_mode || inherit_scale) UpdateDimensions();
    float A = GetStaticAlpha();
    UIDrawSetup(this, A);
    bool pushed = UIPushRotation(this);
    vec2_t p = GetAlignedPos();
    float S = dynamic_scale;
    UIDrawBitmapInBox(IsActive() ? bm_idle : bm_disabled, p.x, p.y, S);
    if (time_cursor_over > 0) {
        kd->SetAlpha(time_cursor_over * A * color.a);
        UIDrawBitmapInBox(bm_over, p.x, p.y, S);
        if (time_cursor_locked > 0) {
            kd->SetAlpha(time_cursor_locked * A * color.a);
            UIDrawBitmapInBox(bm_pressed, p.x, p.y, S);
        }
    }
    kd->SetAlpha(A * color.a);
    if (value) UIDrawBitmapInBox(bm_marker, p.x, p.y, S);
    if (font && shown_text) {
        kd->SetTextAlign(0);
        kd->SetTextTransform(S, S, 0);
        kd->DrawTextf(font, p.x + width, p.y + S * height / 2 - S * UIFontLineHeight(font) / 2, "%s", shown_text);
        kd->SetTextTransform(1, 1, 0);
    }
    if (pushed) kd->PopTransform();
}

void UICompCheckbox::ApplyCacheMode(int mode) {
    kd_bitmap_t* all[5] = {bm_idle, bm_over, bm_pressed, bm_disabled, bm_marker};
    for (kd_bitmap_t* bm : all) UIApplyCacheModeToBitmap(bm, mode);
}

int UICompCheckbox::InheritFrom(UIComp* source) {
    if (!UIComp::InheritFrom(source)) return 0;
    UICompCheckbox* s = dynamic_cast<UICompCheckbox*>(source);
    if (!s) return 1;
    bm_idle = s->bm_idle, bm_over = s->bm_over, bm_pressed = s->bm_pressed, bm_disabled = s->bm_disabled;
    bm_marker = s->bm_marker;
    font = s->font;
    if (s->text) {
        free(text);
        text = nStringDuplicate(s->text);
        shown_text = UIShownText(this, text);
    }
    value = s->value;
    UpdateDimensions();
    return 1;
}

UIComp* UICompCheckbox::Clone(const char* new_name) { return UICloneInto(new UICompCheckbox(), this, new_name); }

int UICompCheckbox::SetProperty(const char* prop, lua_State* L) {
    int r = UIComp::SetProperty(prop, L);
    if (r >= 0 || !prop) return r;
    if (UIIsProperty(prop, "checkbox.value")) {
        if (L && lua_type(L, 2) == LUA_TBOOLEAN) {
            value = lua_toboolean(L, 2) ? 1 : 0;
            return 0;
        }
        int v;
        if (!UIReadInteger(L, 2, &v)) return UIRefuse(L, this, prop, "true, false or a number", 2), 0;
        value = v;
        return 0;
    }
    kd_bitmap_t** slot = UIIsProperty(prop, "checkbox.bm_idle")       ? &bm_idle
                         : UIIsProperty(prop, "checkbox.bm_over")     ? &bm_over
                         : UIIsProperty(prop, "checkbox.bm_pressed")  ? &bm_pressed
                         : UIIsProperty(prop, "checkbox.bm_disabled") ? &bm_disabled
                         : UIIsProperty(prop, "checkbox.bm_marker")   ? &bm_marker
                                                            : nullptr;
    if (slot) {
        if (!UISetBitmapProperty(L, this, prop, slot)) return 0;
        if (slot == &bm_idle) UpdateDimensions();
        return 0;
    }
    if (UIIsProperty(prop, "checkbox.font")) {
        const char* s = UIReadString(L, 2);
        if (!s) return UIRefuse(L, this, prop, "a font name", 2), 0;
        font = kd->GetFont(s);
        return 0;
    }
    if (UIIsProperty(prop, "checkbox.text")) {
        const char* s = UIReadString(L, 2);
        if (!s) return UIRefuse(L, this, prop, "a text", 2), 0;
        SetText("%s", s);
        return 0;
    }
    kd->Popupf(1, "UICompCheckbox::SetProperty: Unknown Property '%s'\n", prop);
    return -1;
}

int UICompCheckbox::GetProperty(const char* prop, lua_State* L) {
    int r = UIComp::GetProperty(prop, L);
    if (r > 0 || !prop || !L || UIFindBaseProperty(prop)) return r;
    if (UIIsProperty(prop, "checkbox.value")) return lua_pushinteger(L, value), 1;
    if (UIIsProperty(prop, "checkbox.bm_idle")) return lua_pushstring(L, UIBitmapName(bm_idle)), 1;
    if (UIIsProperty(prop, "checkbox.font")) return lua_pushstring(L, UIFontName(font)), 1;
    if (UIIsProperty(prop, "checkbox.text")) return lua_pushstring(L, text ? text : ""), 1;
    kd->Popupf(1, "UICompCheckbox::GetProperty: Unknown Property '%s'\n", prop);
    return 0;
}

void UICompCheckbox::ExportLua(nString& out) {
    UIComp::ExportLua(out);
    static UICompCheckbox defaults;
    UICompCheckbox* T = dynamic_cast<UICompCheckbox*>(template_comp);
    if (!T) T = &defaults;
    UIAppendBitmapLine(out, "checkbox.bm_idle", bm_idle, T->bm_idle);
    UIAppendBitmapLine(out, "checkbox.bm_over", bm_over, T->bm_over);
    UIAppendBitmapLine(out, "checkbox.bm_pressed", bm_pressed, T->bm_pressed);
    UIAppendBitmapLine(out, "checkbox.bm_disabled", bm_disabled, T->bm_disabled);
    UIAppendBitmapLine(out, "checkbox.bm_marker", bm_marker, T->bm_marker);
    if (font && font != T->font) UIAppendTextLine(out, "checkbox.font", UIFontName(font));
    // Quoted as a Lua literal: the text is stored as given, so a quote or
    // a backslash in it must not end or change the written string.
    if (text && !nStringsMatch(text, T->text)) UIAppendTextLine(out, "checkbox.text", text);
    if (value != T->value) UIAppendf(out, "SetProperty (\"checkbox.value\", \"%d\");\n", value);
}
