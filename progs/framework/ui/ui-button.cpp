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

const UIKind& UICompButton::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("button.bm_idle", UI_BITMAP, UI_FIELD(UICompButton, bm_idle),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("button.bm_over", UI_BITMAP, UI_FIELD(UICompButton, bm_over), UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("button.bm_pressed", UI_BITMAP, UI_FIELD(UICompButton, bm_pressed),
               UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("button.bm_disabled", UI_BITMAP, UI_FIELD(UICompButton, bm_disabled),
               UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("button.bm_icon", UI_BITMAP, UI_FIELD(UICompButton, bm_icon), UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("button.icon_offset", UI_NUMBER, UI_FIELD(UICompButton, icon_offset), UI_EXPORT | UI_INHERIT | UI_NEAR),
        UIProp("button.text_offset", UI_NUMBER, UI_FIELD(UICompButton, text_offset), UI_EXPORT | UI_INHERIT | UI_NEAR),
        UIProp("button.text_align", UI_ALIGN, UI_FIELD(UICompButton, text_align), UI_EXPORT | UI_INHERIT),
        UIProp("button.textbox_size", UI_NUMBER, UI_FIELD(UICompButton, textbox_size), UI_EXPORT | UI_INHERIT)
            .Format("\"%d\""),
        UIProp("button.max_text_width_percentage", UI_NUMBER, UI_FIELD(UICompButton, max_text_width_percentage),
               UI_EXPORT | UI_INHERIT | UI_NEAR)
            .Format("\"%g\""),
        UIProp("button.text_scale_disabled", UI_NUMBER, UI_FIELD(UICompButton, text_scale_disabled),
               UI_EXPORT | UI_INHERIT | UI_NEAR)
            .Format("%f"),
        UIProp("button.text_scale_idle", UI_NUMBER, UI_FIELD(UICompButton, text_scale_idle),
               UI_EXPORT | UI_INHERIT | UI_NEAR)
            .Format("%f"),
        UIProp("button.text_scale_over", UI_NUMBER, UI_FIELD(UICompButton, text_scale_over),
               UI_EXPORT | UI_INHERIT | UI_NEAR)
            .Format("%f"),
        UIProp("button.text_scale_pressed", UI_NUMBER, UI_FIELD(UICompButton, text_scale_pressed),
               UI_EXPORT | UI_INHERIT | UI_NEAR)
            .Format("%f"),
        UIProp("button.font", UI_FONT, UI_FIELD(UICompButton, font), UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { static_cast<UICompButton*>(c)->SetFont(v.font); }),
        UIProp("button.text", UI_TEXT, UI_FIELD(UICompButton, text), UI_READ | UI_EXPORT | UI_INHERIT | UI_ESCAPED)
            .Shows(UI_FIELD(UICompButton, shown_text))
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                static_cast<UICompButton*>(c)->SetText("%s", v.text);
            }),
        // Not written to layout files.
        UIProp("button.dynamic_text_scale_limits", UI_NUMBER, UI_FIELD(UICompButton, dynamic_text_scale_limits),
               UI_INHERIT),
        UIProp("button.scale_idle", UI_NUMBER, UI_FIELD(UICompButton, scale_idle), UI_INHERIT),
        UIProp("button.scale_over", UI_NUMBER, UI_FIELD(UICompButton, scale_over), UI_INHERIT),
        UIProp("button.scale_pressed", UI_NUMBER, UI_FIELD(UICompButton, scale_pressed), UI_INHERIT),
        UIProp("button.scale_disabled", UI_NUMBER, UI_FIELD(UICompButton, scale_disabled), UI_INHERIT),
        UIProp("button.text_color_idle", UI_NUMBER, UI_FIELD(UICompButton, text_color_idle), UI_INHERIT),
        UIProp("button.text_color_over", UI_NUMBER, UI_FIELD(UICompButton, text_color_over), UI_INHERIT),
        UIProp("button.text_color_pressed", UI_NUMBER, UI_FIELD(UICompButton, text_color_pressed), UI_INHERIT),
        UIProp("button.text_color_disabled", UI_NUMBER, UI_FIELD(UICompButton, text_color_disabled), UI_INHERIT),
    };
    static_assert(UINamedRows(rows) == UI_BUTTON_NUM_PROPS, "one row per button property");
    static_assert(UIPropRowsValid(rows, "button."), "button property table");
    static constexpr UIKind kind = UIMakeKind(UI_BUTTON, "UICompButton", "button.", rows, Make);
    return kind;
}
