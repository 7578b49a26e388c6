// The text box. See ui-textbox.h.
#include "ui/ui-textbox.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "ui/ui-button.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompTextbox::UICompTextbox() {
    type = UI_TEXTBOX;
    interactive = false;
}

UICompTextbox::~UICompTextbox() { free(text); }

bool UICompTextbox::FontMeasurable() const { return font && UIFontName(font)[0] != '!'; }

void UICompTextbox::AdoptText(char* resolved, const char* as_given) {
    free(text);
    text = resolved;
    shown_text = UIShownText(this, text);
    if (!FontMeasurable()) return;
    UpdateDimensions();
    if (as_given) UIWarnDynamicText(this, as_given);
}

void UICompTextbox::SetText(const char* fmt, ...) {
    if (!fmt) return;
    char buffer[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, ap);
    va_end(ap);
    char* resolved = UIResolveTextEscapes(buffer);
    if (!resolved) return;
    AdoptText(resolved, buffer);
}

void UICompTextbox::SetFont(kd_font_t* f) {
    font = f;
    if (text) UpdateDimensions();
}

void UICompTextbox::UpdateDimensions() {
    width = height = 0;
    if (font && shown_text) {
        float w = 0, h = 0;
        kd->SetTextboxWidth(box_width);
        kd->SetTextTransform(1, 1, angle);
        kd->GetTextSizef(font, &w, &h, "%s", shown_text);
        kd->SetTextTransform(1, 1, 0);
        kd->SetTextboxWidth(0);
        width = box_width > 0 ? (float)box_width : w;
        height = h;
        if (width == 0) width = 16;
    } else {
        width = 16;
    }
    if (height == 0) height = 16;
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
}

void UICompTextbox::Update(float) {
    if (inherit_angle) CalculateDynamicScale();
}

void UICompTextbox::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
    vec2_t p = GetAlignedPos();
    float A = GetStaticAlpha();
    if (!(A > 0)) return;
    UIDrawSetup(this, A);
    bool pushed = UIPushRotation(this);
    if (font && shown_text) {
        kd->SetTextAlign(text_align);
        float x = p.x, y = p.y;
        if (text_align & UI_ALIGN_HCENTER) x += width * 0.5f;
        if (text_align & UI_ALIGN_RIGHT) x += width;
        if (text_align & UI_ALIGN_VCENTER) y += height * 0.5f;
        if (text_align & UI_ALIGN_BOTTOM) y += height;
        float S = dynamic_scale;
        kd->SetTextboxWidth((int)((float)box_width * S));
        if (S == 1.0f && GetStaticAngle() == 0) {
            kd->SetTextTransform(1, 1, 0);
            kd->DrawTextf(font, x, y, "%s", shown_text);
        } else {
            kd->SetTextTransform(S, S, 0);
            kd->DrawTextf(font, x, y, "%s", shown_text);
            kd->SetTextTransform(1, 1, 0);
        }
        kd->SetTextAlign(0);
        kd->SetTextboxWidth(0);
    }
    if (pushed) kd->PopTransform();
}

void UICompTextbox::EditUpdate(float) {
    if (!FontMeasurable() || !text) return;
    vec2_t s = GetStaticPos();
    float d = fabsf(kd->GetKeyStatef(KD_KEY_POINTER_X) - s.x);
    if (align & UI_ALIGN_HCENTER) d *= 2;
    // A zero scale would make the width infinite; such a box keeps its width.
    if (!(fabsf(dynamic_scale) > 1e-6f) || !(fabsf(scale) > 1e-6f)) return;
    int w = (int)(d / dynamic_scale);
    if (w < 10) w = 0;
    box_width = (int)((float)w / scale);
    UpdateDimensions();
}

int UICompTextbox::InheritFrom(UIComp* source) {
    if (!UIComp::InheritFrom(source)) return 0;
    UICompTextbox* s = dynamic_cast<UICompTextbox*>(source);
    if (!s) return 1;
    font = s->font;
    box_width = s->box_width;
    text_align = s->text_align;
    if (s->text) AdoptText(nStringDuplicate(s->text), nullptr);
    UpdateDimensions();
    return 1;
}

UIComp* UICompTextbox::Clone(const char* new_name) { return UICloneInto(new UICompTextbox(), this, new_name); }

int UICompTextbox::SetProperty(const char* prop, lua_State* L) {
    int r = UIComp::SetProperty(prop, L);
    if (r >= 0 || !prop) return r;
    if (UIIsProperty(prop, "textbox.text")) {
        const char* s = UIReadString(L, 2);
        if (!s) return UIRefuse(L, this, prop, "a text", 2), 0;
        SetText("%s", s);
        return 0;
    }
    if (UIIsProperty(prop, "textbox.textbox_width")) {
        int v;
        if (!UIReadInteger(L, 2, &v)) return UIRefuse(L, this, prop, "a number", 2), 0;
        box_width = v;
        if (text && FontMeasurable()) UpdateDimensions();
        return 0;
    }
    if (UIIsProperty(prop, "textbox.textbox_align") || UIIsProperty(prop, "textbox.text_align")) {
        const char* s = UIReadString(L, 2);
        if (!s) return UIRefuse(L, this, prop, "align words", 2), 0;
        text_align = ParseAlignFlags(s);
        return 0;
    }
    if (UIIsProperty(prop, "textbox.font")) {
        const char* s = UIReadString(L, 2);
        if (!s) return UIRefuse(L, this, prop, "a font name", 2), 0;
        SetFont(kd->GetFont(s));
        return 0;
    }
    kd->Popupf(1, "UICompTextbox::SetProperty: Unknown Property '%s'\n", prop);
    return -1;
}

int UICompTextbox::GetProperty(const char* prop, lua_State* L) {
    int r = UIComp::GetProperty(prop, L);
    if (r > 0 || !prop || !L || UIFindBaseProperty(prop)) return r;
    if (UIIsProperty(prop, "textbox.text")) return lua_pushstring(L, text ? text : ""), 1;
    if (UIIsProperty(prop, "textbox.font")) return lua_pushstring(L, UIFontName(font)), 1;
    kd->Popupf(1, "UICompTextbox::GetProperty: Unknown Property '%s'\n", prop);
    return 0;
}

void UIAppendEscapedText(nString& out, const char* text) {
    nString q("\"");
    char esc[8];
    for (const unsigned char* s = (const unsigned char*)(text ? text : ""); *s; s++) {
        switch (*s) {
            case '\n': strcpy(esc, "\\n"); break;
            case '\b': strcpy(esc, "\\b"); break;
            case '\t': strcpy(esc, "\\t"); break;
            case '\r': strcpy(esc, "\\r"); break;
            case '"': strcpy(esc, "\\\""); break;
            // Lua turns four into two, the text reader two into one.
            case '\\': strcpy(esc, "\\\\\\\\"); break;
            default:
                if (*s < 32 || *s == 127) snprintf(esc, sizeof esc, "\\%03d", *s);
                else esc[0] = (char)*s, esc[1] = 0;
        }
        q.Append(esc);
    }
    q.Append("\"");
    out.Append(q.c_str());
}

void UICompTextbox::ExportLua(nString& out) {
    UIComp::ExportLua(out);
    static UICompTextbox defaults;
    UICompTextbox* T = dynamic_cast<UICompTextbox*>(template_comp);
    if (!T) T = &defaults;
    if (font && font != T->font) UIAppendTextLine(out, "textbox.font", UIFontName(font));
    if (box_width != T->box_width) UIAppendf(out, "SetProperty (\"textbox.textbox_width\", \"%d\");\n", box_width);
    if (text_align != T->text_align)
        UIAppendf(out, "SetProperty (\"textbox.textbox_align\", \"%s\");\n", GetAlignFlagsAsString(text_align));
    if (text && (!T->text || strcmp(text, T->text))) {
        out.Append("SetProperty (\"textbox.text\", ");
        UIAppendEscapedText(out, text);
        out.Append(");\n");
    }
}
