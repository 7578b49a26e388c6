// The push button: a bitmap per state (idle, over, pressed, disabled), an
// optional icon and an optional one-line text whose scale and colour
// follow the state. It takes no input itself: the screen manager tracks
// the cursor, raises `time_cursor_over` and `time_cursor_locked`, plays
// the sounds and sends the click; the button draws those values as
// cross-fades between the states.
#ifndef FRAMEWORK_UI_BUTTON_H
#define FRAMEWORK_UI_BUTTON_H

#include "ui/ui-comps.h"

enum { UI_BUTTON_NUM_PROPS = 25 };

struct UIButtonState {
    float scale, text_scale;
    color_t text_color;
};

class UICompButton : public UIComp {
public:
    UICompButton();
    ~UICompButton() override;
    static UIComp* Make() { return new UICompButton(); }

    const UIKind& Kind() const override;
    void Draw() override;
    void UpdateDimensions() override;

    // printf style, up to 4096 characters; escapes are resolved. A null
    // format does nothing.
    void SetText(const char* fmt, ...) N_PRINTF_LIKE(2, 3);
    void SetFont(kd_font_t* f);
    void SetIcon(kd_bitmap_t* icon);
    // The idle (or disabled) values blended towards over and pressed.
    UIButtonState BlendedState();

    kd_bitmap_t* bm_idle = nullptr;
    kd_bitmap_t* bm_over = nullptr;
    kd_bitmap_t* bm_pressed = nullptr;
    kd_bitmap_t* bm_disabled = nullptr;
    kd_bitmap_t* bm_icon = nullptr;
    vec2_t icon_offset = {0, 0};
    kd_font_t* font = nullptr;
    char* text = nullptr;
    const char* shown_text = nullptr;
    vec2_t textbox_size = {0, 0};
    int text_align = UI_ALIGN_CENTER;
    vec2_t text_offset = {0, 0};
    float max_text_width_percentage = 95;
    color_t text_color_idle = {1, 1, 1, 1};
    color_t text_color_over = {1, 1, 1, 1};
    color_t text_color_pressed = {1, 1, 1, 1};
    color_t text_color_disabled = {1, 1, 1, 1};
    float scale_idle = 1, scale_over = 1, scale_pressed = 1, scale_disabled = 1;
    vec2_t dynamic_text_scale_limits = {1, 1};
    float dynamic_text_scale = 1;
    float text_scale_idle = 1, text_scale_over = 1, text_scale_pressed = 1, text_scale_disabled = 1;
};

#endif
