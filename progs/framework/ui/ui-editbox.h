// The one-line edit box: a panel, a text of at most 255 bytes that
// scrolls to keep its end visible, a caret that blinks while a cursor has
// the box as its focus, a character filter and an upper-case mode.
// Characters and keys come from the screen manager; Enter finishes the
// input with a click on the box.
//
// The text is held in the encoding of the box's font: one byte per
// character for Latin-1 fonts, UTF-8 for UTF-8 fonts. With a UTF-8 font
// the caret, deleting and the character limit step over whole characters,
// so a multi-byte character is never cut in two.
#ifndef FRAMEWORK_UI_EDITBOX_H
#define FRAMEWORK_UI_EDITBOX_H

#include "ui/ui-comps.h"

enum { UI_EDITBOX_MAX_TEXT = 255, UI_EDITBOX_NUM_PROPS = 13 };

class UICompEditbox : public UIComp {
public:
    UICompEditbox();
    static UIComp* Make() { return new UICompEditbox(); }

    const UIKind& Kind() const override;
    void Draw() override;
    // Takes or releases the bitmaps, and re-measures on entering.
    void ApplyCacheMode(int mode) override;
    int ProcessCursorMove(UICursor* cursor, int key, float dt) override;
    int ProcessCursorMove(UICursor* cursor, const vec2_t& pos, float dt) override;
    int ProcessChar(int c) override;
    int ProcessKey(int key) override;
    void UpdateDimensions() override;

    virtual void SetFont(kd_font_t* f) { font = f; }
    // The character filter: Latin-1 fonts take the byte (c & 255); UTF-8
    // fonts take the code point.
    virtual bool IsValidChar(int c);

    // printf style; keeps the first 255 bytes (whole characters with a
    // UTF-8 font) and puts the caret at the end. A null format does nothing.
    void SetText(const char* fmt, ...) N_PRINTF_LIKE(2, 3);
    int Length() const;
    // Characters before the caret (bytes with a Latin-1 font).
    int CharsBeforeCaret() const;

    kd_bitmap_t* bm_panel = nullptr;
    kd_bitmap_t* bm_panel_over = nullptr;
    kd_bitmap_t* bm_cursor = nullptr;
    kd_font_t* font = nullptr;
    bool caps_only = false;
    int max_chars = 8;
    int cursor = 0;
    float padding = 0;
    vec2_t text_offset = {0, 0};
    float text_scale = 1;
    color_t text_color = {1, 1, 1, 1};
    char text[UI_EDITBOX_MAX_TEXT + 1] = {};

private:
    bool Utf8() const;
    int Next(int i) const;
    int Prev(int i) const;
    // Cuts the text to whole characters within the byte limit.
    void StoreText(const char* s);
};

#endif
