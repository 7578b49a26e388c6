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

const UIKind& UICompCheckbox::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("checkbox.bm_idle", UI_BITMAP, UI_FIELD(UICompCheckbox, bm_idle),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("checkbox.bm_over", UI_BITMAP, UI_FIELD(UICompCheckbox, bm_over), UI_EXPORT | UI_INHERIT),
        UIProp("checkbox.bm_pressed", UI_BITMAP, UI_FIELD(UICompCheckbox, bm_pressed), UI_EXPORT | UI_INHERIT),
        UIProp("checkbox.bm_disabled", UI_BITMAP, UI_FIELD(UICompCheckbox, bm_disabled), UI_EXPORT | UI_INHERIT),
        UIProp("checkbox.bm_marker", UI_BITMAP, UI_FIELD(UICompCheckbox, bm_marker), UI_EXPORT | UI_INHERIT),
        UIProp("checkbox.font", UI_FONT, UI_FIELD(UICompCheckbox, font), UI_READ | UI_EXPORT | UI_INHERIT),
        // Stored as given, so written as a plain literal.
        UIProp("checkbox.text", UI_TEXT, UI_FIELD(UICompCheckbox, text), UI_READ | UI_EXPORT | UI_INHERIT)
            .Shows(UI_FIELD(UICompCheckbox, shown_text))
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                static_cast<UICompCheckbox*>(c)->SetText("%s", v.text);
            }),
        UIProp("checkbox.value", UI_FLAG, UI_FIELD(UICompCheckbox, value), UI_READ | UI_EXPORT | UI_INHERIT)
            .Format("\"%d\""),
    };
    static_assert(UINamedRows(rows) == UI_CHECKBOX_NUM_PROPS, "one row per check box property");
    static_assert(UIPropRowsValid(rows, "checkbox."), "check box property table");
    static constexpr UIKind kind = UIMakeKind(UI_CHECKBOX, "UICompCheckbox", "checkbox.", rows, Make);
    return kind;
}
