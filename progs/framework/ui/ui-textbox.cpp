// The text box. See ui-textbox.h.
#include "ui/ui-textbox.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompTextbox::UICompTextbox() {
    type = UI_TEXTBOX;
    interactive = false;
}

UICompTextbox::~UICompTextbox() { free(text); }

bool UICompTextbox::FontMeasurable() const { return font && UIFontName(font)[0] != '!'; }

void UICompTextbox::SetText(const char* fmt, ...) {
    if (!fmt) return;
    char buffer[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, ap);
    va_end(ap);
    char* resolved = UIResolveTextEscapes(buffer);
    if (!resolved) return;
    free(text);
    text = resolved;
    shown_text = UIShownText(this, text);
    if (!FontMeasurable()) return;
    UpdateDimensions();
    UIWarnDynamicText(this, buffer);
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

const UIKind& UICompTextbox::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("textbox.font", UI_FONT, UI_FIELD(UICompTextbox, font), UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet(
                [](UIComp* c, const UIPropValue& v, lua_State*) { static_cast<UICompTextbox*>(c)->SetFont(v.font); }),
        UIProp("textbox.textbox_width", UI_INTEGER, UI_FIELD(UICompTextbox, box_width), UI_EXPORT | UI_INHERIT)
            .Format("\"%d\"")
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                UICompTextbox* t = static_cast<UICompTextbox*>(c);
                t->box_width = (int)v.num[0];
                if (t->text && t->FontMeasurable()) t->UpdateDimensions();
            }),
        UIProp("textbox.textbox_align", UI_ALIGN, UI_FIELD(UICompTextbox, text_align), UI_EXPORT | UI_INHERIT),
        UIProp("textbox.text", UI_TEXT, UI_FIELD(UICompTextbox, text), UI_READ | UI_EXPORT | UI_INHERIT | UI_ESCAPED)
            .Shows(UI_FIELD(UICompTextbox, shown_text))
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                static_cast<UICompTextbox*>(c)->SetText("%s", v.text);
            }),
        // Another name of the alignment.
        UIProp("textbox.text_align", UI_ALIGN, UI_FIELD(UICompTextbox, text_align), UI_ALIAS),
    };
    static_assert(UINamedRows(rows) == UI_TEXTBOX_NUM_PROPS, "one row per text box property");
    static_assert(UIPropRowsValid(rows, "textbox."), "text box property table");
    static constexpr UIKind kind = UIMakeKind(UI_TEXTBOX, "UICompTextbox", "textbox.", rows, Make);
    return kind;
}
