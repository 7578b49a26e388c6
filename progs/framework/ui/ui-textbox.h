// The text box: one block of text in one font, optionally wrapped to a box
// width, placed by alignment flags inside the component's rectangle and
// localized when the component is localizable.
#ifndef FRAMEWORK_UI_TEXTBOX_H
#define FRAMEWORK_UI_TEXTBOX_H

#include "ui/ui-comps.h"

enum { UI_TEXTBOX_NUM_PROPS = 5 };

class UICompTextbox : public UIComp {
public:
    UICompTextbox();
    ~UICompTextbox() override;
    static UIComp* Make() { return new UICompTextbox(); }

    const UIKind& Kind() const override;
    void Update(float dt) override;
    void Draw() override;
    void EditUpdate(float dt) override;
    void UpdateDimensions() override;

    // printf style, cut at 2047 bytes; backslash escapes are resolved. A
    // null format changes nothing.
    void SetText(const char* fmt, ...) N_PRINTF_LIKE(2, 3);
    void SetFont(kd_font_t* f);

    kd_font_t* font = nullptr;
    char* text = nullptr;               // as set, escapes resolved
    const char* shown_text = nullptr;   // localized form, or `text`
    int box_width = 0;                  // unscaled wrap width; 0 = no wrapping
    int text_align = 0;

private:
    // Re-measuring after a width change, a drag or inheriting keeps the
    // text as it is: escapes are resolved once, by SetText.
    bool FontMeasurable() const;
};

#endif
