// The push button. See ui-button.h.
#include "ui/ui-button.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompButton::UICompButton() { type = UI_BUTTON; }

UICompButton::~UICompButton() { free(text); }

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

void UICompButton::SetText(const char* fmt, ...) {
    if (!fmt) return;
    char buffer[4096];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, ap);
    va_end(ap);
    char* resolved = UIResolveTextEscapes(buffer);
    if (!resolved) return;
    free(text);
    text = resolved;
    shown_text = UIShownText(this, text);
    UpdateDimensions();
    UIWarnDynamicText(this, buffer);
}

void UICompButton::SetFont(kd_font_t* f) {
    font = f;
    if (text) UpdateDimensions();
}

void UICompButton::SetIcon(kd_bitmap_t* icon) {
    bm_icon = icon;
    UpdateDimensions();
}

void UICompButton::UpdateDimensions() {
    float w = 0, h = 0;
    bool has_idle = UIBitmapUsable(bm_idle);
    if (has_idle) w = (float)UIBitmapWidth(bm_idle), h = (float)UIBitmapHeight(bm_idle);
    if (!UIBitmapIsPlaceholder(bm_icon)) {
        w = fmaxf(w, (float)UIBitmapWidth(bm_icon));
        h = fmaxf(h, (float)UIBitmapHeight(bm_icon));
    }
    if (font && shown_text) {
        float tw = 0, th = 0;
        kd->SetTextTransform(text_scale_idle, text_scale_idle, 0);
        kd->GetTextSizef(font, &tw, &th, "%s", shown_text);
        kd->SetTextTransform(1, 1, 0);
        if (!has_idle) {
            w = fmaxf(w, tw);
            h = fmaxf(h, th);
        }
        if (textbox_size.x < 2 || !(tw > 0)) {
            dynamic_text_scale = 1;
        } else {
            float s = textbox_size.x / tw;
            dynamic_text_scale = fminf(fmaxf(s, dynamic_text_scale_limits.x), dynamic_text_scale_limits.y);
        }
    }
    width = w;
    height = h;
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
}

static float Mix(float to, float from, float t) { return t * to + (1 - t) * from; }

static color_t MixColor(const color_t& to, const color_t& from, float t) {
    return color_t{Mix(to.r, from.r, t), Mix(to.g, from.g, t), Mix(to.b, from.b, t), Mix(to.a, from.a, t)};
}

UIButtonState UICompButton::BlendedState() {
    UIButtonState s;
    if (IsActive())
        s = UIButtonState{scale_idle, text_scale_idle, text_color_idle};
    else
        s = UIButtonState{scale_disabled, text_scale_disabled, text_color_disabled};
    float t = time_cursor_over;
    if (t > 0) {
        s.scale = Mix(scale_over, s.scale, t);
        s.text_scale = Mix(text_scale_over, s.text_scale, t);
        s.text_color = MixColor(text_color_over, s.text_color, t);
        float p = time_cursor_locked;
        if (p > 0) {
            s.scale = Mix(scale_pressed, s.scale, p);
            s.text_scale = Mix(text_scale_pressed, s.text_scale, p);
            s.text_color = MixColor(text_color_pressed, s.text_color, p);
        }
    }
    return s;
}

void UICompButton::Draw() {
    if (ui_widget_hooks.resize_mode || inherit_scale) UpdateDimensions();
    float A = GetStaticAlpha();
    UIDrawSetup(this, A);
    UIButtonState st = BlendedState();
    vec2_t p = GetAlignedPos();
    vec2_t c = {p.x + width / 2, p.y + height / 2};
    float S = dynamic_scale;
    float B = S * st.scale;
    bool pushed = UIPushRotation(this);

    kd_bitmap_t* base = IsActive() ? bm_idle : bm_disabled;
    if (UIBitmapWidth(base) > 0) kd->DrawBitmapRS(base, c.x, c.y, 0, B);
    if (time_cursor_over > 0) {
        kd->SetAlpha(time_cursor_over * A * color.a);
        if (bm_over) kd->DrawBitmapRS(bm_over, c.x, c.y, 0, B);
        if (time_cursor_locked > 0) {
            kd->SetAlpha(time_cursor_locked * A * color.a);
            if (bm_pressed) kd->DrawBitmapRS(bm_pressed, c.x, c.y, 0, B);
        }
    }
    if (bm_icon) {
        kd->SetAlpha(A * color.a * st.text_color.a);
        kd->SetColor(color.r, color.g, color.b);
        kd->DrawBitmapRS(bm_icon, c.x + B * icon_offset.x, c.y + B * icon_offset.y, 0, S);
    }
    if (font && shown_text) {
        float T = S * dynamic_text_scale * st.text_scale;
        kd->SetAlpha(A * color.a * st.text_color.a);
        kd->SetColor(st.text_color.r, st.text_color.g, st.text_color.b);
        kd->SetTextAlign(text_align);
        kd->SetTextTransform(T, T, 0);
        float tw = kd->GetTextWidthf(font, "%s", shown_text);
        float room = width * max_text_width_percentage / 100;
        if (tw > room && tw > 0) {
            T *= room / tw;
            kd->SetTextTransform(T, T, 0);
        }
        kd->DrawTextf(font, c.x + B * text_offset.x, c.y + B * text_offset.y, "%s", shown_text);
        kd->SetTextTransform(1, 1, 0);
    }
    if (ui_widget_hooks.edit_mode) {
        // Guide for the editor: the text box and a cross at the text point.
        float gx = c.x + text_offset.x, gy = c.y + text_offset.y;
        float bw = textbox_size.x, bh = textbox_size.y;
        kd->SetAlpha(1);
        kd->SetColor(1, 1, 0);
        kd->DrawRect(gx - bw / 2, gy - bh / 2, bw, 1);
        kd->DrawRect(gx - bw / 2, gy + bh / 2 - 1, bw, 1);
        kd->DrawRect(gx - bw / 2, gy - bh / 2, 1, bh);
        kd->DrawRect(gx + bw / 2 - 1, gy - bh / 2, 1, bh);
        kd->DrawRect(gx - 5, gy, 10, 1);
        kd->DrawRect(gx, gy - 5, 1, 10);
        kd->SetColor(1, 1, 1);
    }
    if (pushed) kd->PopTransform();
}

void UICompButton::ApplyCacheMode(int mode) {
    kd_bitmap_t* all[5] = {bm_idle, bm_over, bm_pressed, bm_disabled, bm_icon};
    for (kd_bitmap_t* bm : all) {
        if (!bm) continue;
        if (mode == 2) IncreaseBitmapReferenceCount(bm);
        else if (mode == 3 && !UIBitmapIsPlaceholder(bm)) kd->ReleaseBitmap(bm);
    }
}

int UICompButton::InheritFrom(UIComp* source) {
    if (!UIComp::InheritFrom(source)) return 0;
    UICompButton* s = dynamic_cast<UICompButton*>(source);
    if (!s) return 1;
    bm_idle = s->bm_idle, bm_over = s->bm_over, bm_pressed = s->bm_pressed, bm_disabled = s->bm_disabled;
    bm_icon = s->bm_icon;
    text_color_idle = s->text_color_idle, text_color_over = s->text_color_over;
    text_color_pressed = s->text_color_pressed, text_color_disabled = s->text_color_disabled;
    scale_idle = s->scale_idle, scale_over = s->scale_over, scale_pressed = s->scale_pressed;
    scale_disabled = s->scale_disabled;
    dynamic_text_scale_limits = s->dynamic_text_scale_limits;
    text_scale_idle = s->text_scale_idle, text_scale_over = s->text_scale_over;
    text_scale_pressed = s->text_scale_pressed, text_scale_disabled = s->text_scale_disabled;
    font = s->font;
    // The source's text is already resolved; escaping it again would turn
    // a backslash it holds into nothing.
    if (s->text) {
        free(text);
        text = nStringDuplicate(s->text);
        shown_text = UIShownText(this, text);
    }
    textbox_size = s->textbox_size;
    text_align = s->text_align;
    text_offset = s->text_offset;
    max_text_width_percentage = s->max_text_width_percentage;
    icon_offset = s->icon_offset;
    UpdateDimensions();
    return 1;
}

UIComp* UICompButton::Clone(const char* new_name) { return UICloneInto(new UICompButton(), this, new_name); }

// ---------------------------------------------------------------------------
// Properties.

int UICompButton::SetProperty(const char* prop, lua_State* L) {
    int r = UIComp::SetProperty(prop, L);
    if (r >= 0 || !prop) return r;
    kd_bitmap_t** slot = UIIsProperty(prop, "button.bm_idle")       ? &bm_idle
                         : UIIsProperty(prop, "button.bm_over")     ? &bm_over
                         : UIIsProperty(prop, "button.bm_pressed")  ? &bm_pressed
                         : UIIsProperty(prop, "button.bm_disabled") ? &bm_disabled
                         : UIIsProperty(prop, "button.bm_icon")     ? &bm_icon
                                                          : nullptr;
    if (slot) {
        if (!UISetBitmapProperty(L, this, prop, slot)) return 0;
        UpdateDimensions();
        return 0;
    }
    if (UIIsProperty(prop, "button.font")) {
        const char* s = UIReadString(L, 2);
        if (!s) return UIRefuse(L, this, prop, "a font name", 2), 0;
        SetFont(kd->GetFont(s));
        return 0;
    }
    vec2_t* pair = UIIsProperty(prop, "button.text_offset")                 ? &text_offset
                   : UIIsProperty(prop, "button.icon_offset")               ? &icon_offset
                   : UIIsProperty(prop, "button.dynamic_text_scale_limits") ? &dynamic_text_scale_limits
                   : UIIsProperty(prop, "button.textbox_size")              ? &textbox_size
                                                                  : nullptr;
    if (pair) {
        float x, y;
        if (!UIReadNumber(L, 2, &x)) return UIRefuse(L, this, prop, "two numbers", 2), 0;
        if (!UIReadNumber(L, 3, &y)) return UIRefuse(L, this, prop, "two numbers", 3), 0;
        pair->x = x, pair->y = y;
        return 0;
    }
    if (UIIsProperty(prop, "button.text_align")) {
        const char* s = UIReadString(L, 2);
        if (!s) return UIRefuse(L, this, prop, "align words", 2), 0;
        text_align = ParseAlignFlags(s);
        return 0;
    }
    if (UIIsProperty(prop, "button.text")) {
        const char* s = UIReadString(L, 2);
        if (!s) return UIRefuse(L, this, prop, "a text", 2), 0;
        SetText("%s", s);
        return 0;
    }
    float* number = UIIsProperty(prop, "button.text_scale_idle")            ? &text_scale_idle
                    : UIIsProperty(prop, "button.text_scale_over")          ? &text_scale_over
                    : UIIsProperty(prop, "button.text_scale_pressed")       ? &text_scale_pressed
                    : UIIsProperty(prop, "button.text_scale_disabled")      ? &text_scale_disabled
                    : UIIsProperty(prop, "button.scale_idle")               ? &scale_idle
                    : UIIsProperty(prop, "button.scale_over")               ? &scale_over
                    : UIIsProperty(prop, "button.scale_pressed")            ? &scale_pressed
                    : UIIsProperty(prop, "button.scale_disabled")           ? &scale_disabled
                    : UIIsProperty(prop, "button.max_text_width_percentage") ? &max_text_width_percentage
                                                                   : nullptr;
    if (number) {
        float v;
        if (!UIReadNumber(L, 2, &v)) return UIRefuse(L, this, prop, "a number", 2), 0;
        *number = v;
        return 0;
    }
    color_t* col = UIIsProperty(prop, "button.text_color_idle")       ? &text_color_idle
                   : UIIsProperty(prop, "button.text_color_over")     ? &text_color_over
                   : UIIsProperty(prop, "button.text_color_pressed")  ? &text_color_pressed
                   : UIIsProperty(prop, "button.text_color_disabled") ? &text_color_disabled
                                                            : nullptr;
    if (col) {
        float v[4];
        for (int i = 0; i < 4; i++)
            if (!UIReadNumber(L, 2 + i, &v[i])) return UIRefuse(L, this, prop, "four numbers", 2 + i), 0;
        *col = color_t{v[0], v[1], v[2], v[3]};
        return 0;
    }
    kd->Popupf(1, "UICompButton::SetProperty: Unknown Property '%s'\n", prop);
    return -1;
}

int UICompButton::GetProperty(const char* prop, lua_State* L) {
    int r = UIComp::GetProperty(prop, L);
    if (r > 0 || !prop || !L || UIFindBaseProperty(prop)) return r;
    if (UIIsProperty(prop, "button.bm_idle")) return lua_pushstring(L, UIBitmapName(bm_idle)), 1;
    if (UIIsProperty(prop, "button.font")) return lua_pushstring(L, UIFontName(font)), 1;
    if (UIIsProperty(prop, "button.text")) return lua_pushstring(L, text ? text : ""), 1;
    kd->Popupf(1, "UICompButton::GetProperty: Unknown Property '%s'\n", prop);
    return 0;
}

// The text as a Lua literal that SetText turns back into the same text:
// the reader resolves escapes once more, so a backslash is written as two.
static void AppendButtonText(nString& out, const char* text) {
    nString q("\"");
    char esc[8];
    for (const unsigned char* s = (const unsigned char*)text; *s; s++) {
        switch (*s) {
            case '\n': strcpy(esc, "\\n"); break;
            case '\b': strcpy(esc, "\\b"); break;
            case '\t': strcpy(esc, "\\t"); break;
            case '\r': strcpy(esc, "\\r"); break;
            case '"': strcpy(esc, "\\\""); break;
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

static bool Differs(float a, float b) { return fabsf(a - b) >= 0.000001f; }

void UICompButton::ExportLua(nString& out) {
    UIComp::ExportLua(out);
    static UICompButton defaults;
    UICompButton* T = dynamic_cast<UICompButton*>(template_comp);
    if (!T) T = &defaults;
    UIAppendBitmapLine(out, "button.bm_idle", bm_idle, T->bm_idle);
    UIAppendBitmapLine(out, "button.bm_over", bm_over, T->bm_over);
    UIAppendBitmapLine(out, "button.bm_pressed", bm_pressed, T->bm_pressed);
    UIAppendBitmapLine(out, "button.bm_disabled", bm_disabled, T->bm_disabled);
    UIAppendBitmapLine(out, "button.bm_icon", bm_icon, T->bm_icon);
    if (Differs(icon_offset.x, T->icon_offset.x) || Differs(icon_offset.y, T->icon_offset.y))
        UIAppendf(out, "SetProperty (\"button.icon_offset\", %g, %g);\n", icon_offset.x, icon_offset.y);
    if (Differs(text_offset.x, T->text_offset.x) || Differs(text_offset.y, T->text_offset.y))
        UIAppendf(out, "SetProperty (\"button.text_offset\", %g, %g);\n", text_offset.x, text_offset.y);
    if (text_align != T->text_align)
        UIAppendf(out, "SetProperty (\"button.text_align\", \"%s\");\n", GetAlignFlagsAsString(text_align));
    if ((int)textbox_size.x != (int)T->textbox_size.x || (int)textbox_size.y != (int)T->textbox_size.y)
        UIAppendf(out, "SetProperty (\"button.textbox_size\", \"%d\", \"%d\");\n", (int)textbox_size.x,
                  (int)textbox_size.y);
    if (Differs(max_text_width_percentage, T->max_text_width_percentage))
        UIAppendf(out, "SetProperty (\"button.max_text_width_percentage\", \"%g\");\n", max_text_width_percentage);
    if (Differs(text_scale_disabled, T->text_scale_disabled))
        UIAppendf(out, "SetProperty (\"button.text_scale_disabled\", %f);\n", text_scale_disabled);
    if (Differs(text_scale_idle, T->text_scale_idle))
        UIAppendf(out, "SetProperty (\"button.text_scale_idle\", %f);\n", text_scale_idle);
    if (Differs(text_scale_over, T->text_scale_over))
        UIAppendf(out, "SetProperty (\"button.text_scale_over\", %f);\n", text_scale_over);
    if (Differs(text_scale_pressed, T->text_scale_pressed))
        UIAppendf(out, "SetProperty (\"button.text_scale_pressed\", %f);\n", text_scale_pressed);
    if (font && font != T->font) UIAppendTextLine(out, "button.font", UIFontName(font));
    if (text && !nStringsMatch(text, T->text)) {
        out.Append("SetProperty (\"button.text\", ");
        AppendButtonText(out, text);
        out.Append(");\n");
    }
}
