// The edit box. See ui-editbox.h.
#include "ui/ui-editbox.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompEditbox::UICompEditbox() { type = UI_EDITBOX; }

bool UICompEditbox::Utf8() const { return UIFontIsUTF8(font); }

int UICompEditbox::Length() const { return (int)strlen(text); }

static bool IsContinuation(char c) { return ((unsigned char)c & 0xC0) == 0x80; }

int UICompEditbox::Next(int i) const {
    int n = Length();
    if (i >= n) return n;
    i++;
    if (Utf8())
        while (i < n && IsContinuation(text[i])) i++;
    return i;
}

int UICompEditbox::Prev(int i) const {
    if (i <= 0) return 0;
    i--;
    if (Utf8())
        while (i > 0 && IsContinuation(text[i])) i--;
    return i;
}

int UICompEditbox::CharsBeforeCaret() const {
    if (!Utf8()) return cursor;
    int count = 0;
    for (int i = 0; i < cursor; i = Next(i)) count++;
    return count;
}

void UICompEditbox::StoreText(const char* s) {
    size_t n = strlen(s);
    if (n > UI_EDITBOX_MAX_TEXT) {
        n = UI_EDITBOX_MAX_TEXT;
        // Do not leave the first bytes of a character at the end.
        if (Utf8()) {
            size_t start = n;
            while (start > 0 && IsContinuation(s[start])) start--;
            n = start;
        }
    }
    memcpy(text, s, n);
    text[n] = 0;
    cursor = (int)n;
}

void UICompEditbox::SetText(const char* fmt, ...) {
    if (!fmt) return;
    char buffer[4096];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, ap);
    va_end(ap);
    StoreText(buffer);
}

bool UICompEditbox::IsValidChar(int c) {
    if (!font) return false;
    int code = Utf8() ? c : (c & 255);
    if (Utf8() && (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) return false;
    if (!UIFontHasGlyph(font, code)) return false;
    if (code <= 9 || code == 92 || code == 124 || code == 60 || code == 62) return false;
    if ((code >= 48 && code <= 57) || code == 32 || code == 45 || code == 95 || code == 39 || code == 58 ||
        code == 64 || code == 59 || code == 44 || code == 46)
        return true;
    return code > 64;
}

static int EncodeUtf8(int code, char* out) {
    if (code < 0x80) return out[0] = (char)code, 1;
    if (code < 0x800) {
        out[0] = (char)(0xC0 | (code >> 6));
        out[1] = (char)(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = (char)(0xE0 | (code >> 12));
        out[1] = (char)(0x80 | ((code >> 6) & 0x3F));
        out[2] = (char)(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (code >> 18));
    out[1] = (char)(0x80 | ((code >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((code >> 6) & 0x3F));
    out[3] = (char)(0x80 | (code & 0x3F));
    return 4;
}

int UICompEditbox::ProcessChar(int c) {
    phase = 0;
    if (c == 13) {
        cursor = Length();
        UISet* top = ui_widget_hooks.top_screen_set ? ui_widget_hooks.top_screen_set() : nullptr;
        UISendComponentClick(top, this);
        kd->CallExtension("IPHONE_EndKeyboardInput", nullptr);
        return 1;
    }
    // Characters arrive as bytes (possibly sign-extended) for Latin-1
    // fonts and as code points for UTF-8 fonts; a negative value is a
    // sign-extended Latin-1 byte either way.
    int code = (!Utf8() || c < 0) ? (c & 255) : c;
    if (caps_only) {
        if (code >= 'a' && code <= 'z') code -= 32;
        else if (code == 0xE4) code = 0xC4;
        else if (code == 0xE5) code = 0xC5;
        else if (code == 0xF6) code = 0xD6;
    }
    if (CharsBeforeCaret() >= max_chars || !IsValidChar(code)) return 0;
    char bytes[4];
    int n = Utf8() ? EncodeUtf8(code, bytes) : (bytes[0] = (char)code, 1);
    int len = Length();
    // The buffer holds 255 bytes whatever `max_chars` says.
    if (len + n > UI_EDITBOX_MAX_TEXT) return 0;
    if (cursor < 0 || cursor > len) cursor = len;
    memmove(text + cursor + n, text + cursor, (size_t)(len - cursor) + 1);
    memcpy(text + cursor, bytes, (size_t)n);
    cursor += n;
    return 1;
}

int UICompEditbox::ProcessKey(int key) {
    phase = 0;
    int len = Length();
    if (cursor < 0 || cursor > len) cursor = len;
    if (key == 37) {
        cursor = Prev(cursor);
    } else if (key == 39) {
        cursor = Next(cursor);
    } else if (key == 8 && cursor > 0) {
        int from = Prev(cursor);
        memmove(text + from, text + cursor, (size_t)(len - cursor) + 1);
        cursor = from;
    }
    return 1;
}

int UICompEditbox::ProcessCursorMove(UICursor*, int, float) { return 1; }
int UICompEditbox::ProcessCursorMove(UICursor*, const vec2_t&, float) { return 1; }

void UICompEditbox::UpdateDimensions() {
    if (bm_panel) width = (float)UIBitmapWidth(bm_panel), height = (float)UIBitmapHeight(bm_panel);
    else width = height = 16;
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
}

void UICompEditbox::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
    vec2_t p = GetAlignedPos();
    float A = GetStaticAlpha();
    float S = dynamic_scale;
    UIDrawSetup(this, A);
    bool pushed = UIPushRotation(this);
    bool focus = UIHasFocus(this);
    UIDrawBitmapInBox(bm_panel, p.x, p.y, S);
    if (bm_panel_over && time_cursor_over > 0) {
        kd->SetAlpha(A * time_cursor_over * color.a);
        UIDrawBitmapInBox(bm_panel_over, p.x, p.y, S);
        kd->SetAlpha(A * color.a);
    }
    if (font && bm_panel) {
        kd->SetTextAlign(0);
        kd->SetTextboxWidth(0);
        kd->SetColor(color.r * text_color.r, color.g * text_color.g, color.b * text_color.b);
        float tx = p.x + S * padding + S * text_offset.x;
        float ty = (float)(int)(height / 2) + p.y + S * text_offset.y;
        int room = (int)((float)UIBitmapWidth(bm_panel) - 2 * padding);
        if (room < 0) room = 0;
        // Widths in panel pixels: the text is drawn at text_scale x S, the
        // panel at S.
        auto width_of = [&](const char* s) { return *s ? kd->GetTextWidthf(font, "%s", s) * text_scale : 0.0f; };
        int len = Length();
        int i = 0;
        while (i < len && width_of(text + i) > (float)room) i = Next(i);
        char before[UI_EDITBOX_MAX_TEXT + 1];
        int upto = i < cursor ? i : cursor;
        memcpy(before, text, (size_t)upto);
        before[upto] = 0;
        float P = width_of(before);
        char shown[UI_EDITBOX_MAX_TEXT + 1];
        strcpy(shown, text + i);
        for (int n = (int)strlen(shown); n > 0 && width_of(shown) > (float)room;) {
            int cut = n - 1;
            if (Utf8())
                while (cut > 0 && IsContinuation(shown[cut])) cut--;
            shown[cut] = 0;
            n = cut;
        }
        float T = text_scale * S;
        kd->SetTextTransform(T, T, 0);
        if (*shown) kd->DrawTextf(font, tx, ty - T * UIFontLineHeight(font) / 2, "%s", shown);
        if (phase < 0.6f && focus && bm_cursor) {
            memcpy(before, text, (size_t)cursor);
            before[cursor] = 0;
            float W = width_of(before);
            // Both widths are panel pixels; the panel is drawn at S.
            kd->DrawBitmapRS(bm_cursor, tx + S * (W - P), ty, 0, S);
        }
        kd->SetTextTransform(1, 1, 0);
        kd->SetColor(color.r, color.g, color.b);
    }
    if (pushed) kd->PopTransform();
}

void UICompEditbox::ApplyCacheMode(int mode) {
    UIComp::ApplyCacheMode(mode);
    if (mode == 2) UpdateDimensions();
}

const UIKind& UICompEditbox::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("editbox.bm_panel", UI_BITMAP, UI_FIELD(UICompEditbox, bm_panel), UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("editbox.bm_panel_over", UI_BITMAP, UI_FIELD(UICompEditbox, bm_panel_over),
               UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("editbox.bm_cursor", UI_BITMAP, UI_FIELD(UICompEditbox, bm_cursor), UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("editbox.font", UI_FONT, UI_FIELD(UICompEditbox, font), UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet(
                [](UIComp* c, const UIPropValue& v, lua_State*) { static_cast<UICompEditbox*>(c)->SetFont(v.font); }),
        UIProp("editbox.padding", UI_NUMBER, UI_FIELD(UICompEditbox, padding), UI_READ | UI_EXPORT | UI_INHERIT)
            .Format("%d"),
        UIProp("editbox.max_chars", UI_INTEGER, UI_FIELD(UICompEditbox, max_chars), UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("editbox.text_offset", UI_NUMBER, UI_FIELD(UICompEditbox, text_offset),
               UI_EXPORT | UI_INHERIT | UI_NEAR),
        // r, g and b; the alpha stays.
        UIProp("editbox.text_color", UI_NUMBER, UI_FIELD(UICompEditbox, text_color), UI_EXPORT | UI_INHERIT | UI_NEAR)
            .Count(3),
        UIProp("editbox.text_scale", UI_NUMBER, UI_FIELD(UICompEditbox, text_scale), UI_EXPORT | UI_INHERIT | UI_NEAR),
        UIProp("editbox.caps_only", UI_FLAG, UI_FIELD(UICompEditbox, caps_only), UI_EXPORT | UI_INHERIT),
        // Not written to layout files: the text is the player's.
        UIProp("editbox.text_offset.x", UI_NUMBER, UI_FIELD(UICompEditbox, text_offset.x), UI_ALIAS),
        UIProp("editbox.text_offset.y", UI_NUMBER, UI_FIELD(UICompEditbox, text_offset.y), UI_ALIAS),
        UIProp("editbox.text", UI_TEXT, UI_FIELD(UICompEditbox, text), UI_READ | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                // A text that does not fit is ignored whole, not cut.
                if (strlen(v.text) < UI_EDITBOX_MAX_TEXT) static_cast<UICompEditbox*>(c)->StoreText(v.text);
            }),
        UIProp(nullptr, UI_INTEGER, UI_FIELD(UICompEditbox, cursor), UI_NO_SET | UI_INHERIT),
    };
    static_assert(UINamedRows(rows) == UI_EDITBOX_NUM_PROPS, "one row per edit box property");
    static_assert(UIPropRowsValid(rows, "editbox."), "edit box property table");
    static constexpr UIKind kind = UIMakeKind(UI_EDITBOX, "UICompEditbox", "editbox.", rows, Make);
    return kind;
}
