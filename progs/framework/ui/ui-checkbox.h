// The check box: state bitmaps, a tick marker drawn while the value is
// non-zero, and a label to the right of the box. Like the button it takes
// no input itself; whoever handles the click sets "checkbox.value".
#ifndef FRAMEWORK_UI_CHECKBOX_H
#define FRAMEWORK_UI_CHECKBOX_H

#include "ui/ui-comps.h"

enum { UI_CHECKBOX_NUM_PROPS = 8 };

class UICompCheckbox : public UIComp {
public:
    UICompCheckbox();
    ~UICompCheckbox() override;
    static UIComp* Make() { return new UICompCheckbox(); }

    const UIKind& Kind() const override;
    void Draw() override;
    void UpdateDimensions() override;

    // printf style, up to 4096 characters, stored as given (no escapes).
    void SetText(const char* fmt, ...) N_PRINTF_LIKE(2, 3);
    void SetFont(kd_font_t* f) { font = f; }
    // Flips the value between 0 and 1; what a click handler does.
    void Toggle() { value = value ? 0 : 1; }

    kd_bitmap_t* bm_idle = nullptr;
    kd_bitmap_t* bm_over = nullptr;
    kd_bitmap_t* bm_pressed = nullptr;
    kd_bitmap_t* bm_disabled = nullptr;
    kd_bitmap_t* bm_marker = nullptr;
    kd_font_t* font = nullptr;
    char* text = nullptr;
    const char* shown_text = nullptr;
    int value = 0;
};

#endif
