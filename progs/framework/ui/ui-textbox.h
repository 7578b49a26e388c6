// The text box: one block of text in one font, optionally wrapped to a box
// width, placed by alignment flags inside the component's rectangle and
// localized when the component is localizable.
#ifndef FRAMEWORK_UI_TEXTBOX_H
#define FRAMEWORK_UI_TEXTBOX_H

#include "ui/ui-comps.h"

class UICompTextbox : public UIComp {
public:
    UICompTextbox();
    ~UICompTextbox() override;
    static UIComp* Make() { return new UICompTextbox(); }

    UIComp* Clone(const char* new_name) override;
    void Update(float dt) override;
    void Draw() override;
    void ApplyCacheMode(int) override {}
    void EditUpdate(float dt) override;
    void ExportLua(nString& out) override;
    int GetProperty(const char* prop, lua_State* L) override;
    int SetProperty(const char* prop, lua_State* L) override;
    int InheritFrom(UIComp* source) override;
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
    // Takes an already resolved text: re-measuring after a width change,
    // a drag or inheriting must not resolve escapes a second time.
    void AdoptText(char* resolved, const char* as_given);
    bool FontMeasurable() const;
};

// The text as a Lua string literal that "textbox.text" turns back into
// the same text (the reader resolves escapes after Lua does).
void UIAppendEscapedText(nString& out, const char* text);

#endif
