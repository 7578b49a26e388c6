// The list box: a framed, vertically scrolling list of text lines, each
// with an optional small bitmap at its left and an optional right-aligned
// second text; one line is the selected one. Keys, the game-pad cursor,
// the mouse wheel and touch drags (with a flick) move it, and every
// scroll eases towards its target. It sends no events of its own: a press
// selects the line under the pointer, the screen manager reports the
// click on the box as for any component, and scripts read
// "listbox.selected" or "listbox.line[N].text".
//
// Lines live only while the program runs; the layout file holds the box's
// looks (frame, selection, font, paddings, size), never its lines.
#ifndef FRAMEWORK_UI_LISTBOX_H
#define FRAMEWORK_UI_LISTBOX_H

#include "ui/ui-comps.h"

enum { UI_LISTBOX_NUM_PROPS = 11 };

// One line. The strings are the box's own copies (null when absent); the
// bitmap is a reference the box neither takes nor releases.
struct UIListboxLine {
    char* id = nullptr;
    kd_bitmap_t* bitmap = nullptr;
    char* text = nullptr;
    char* text_right = nullptr;
};

class UICompListbox : public UIComp {
public:
    UICompListbox();
    ~UICompListbox() override;
    static UIComp* Make() { return new UICompListbox(); }
    // The least room between a line's text and its right text (unscaled).
    static constexpr float kRightGap = 12;

    const UIKind& Kind() const override;
    void Update(float dt) override;
    void Draw() override;
    // Takes or releases the bitmaps, and re-measures on entering.
    void ApplyCacheMode(int mode) override;
    // The editor's resize drag, unless the frame bitmap gives the size.
    void EditUpdate(float dt) override;
    // Adds the line form "listbox.line[N]" + ".text", ".text_right" or
    // ".id" to the table's names.
    int GetProperty(const char* prop, lua_State* L) override;
    // The game-pad direction arrives as a key code.
    int ProcessCursorMove(UICursor* cursor, int key, float dt) override;
    // A pressed pointer selects the line under it.
    int ProcessCursorMove(UICursor* cursor, const vec2_t& pos, float dt) override;
    // 38 up, 40 down, 33 page up, 34 page down, 36 home, 35 end.
    int ProcessKey(int key) override;
    // 120 per notch, one line each.
    int ProcessMouseWheel(float delta) override;
    // Touch drags and the flick.
    int ProcessEvent(kd_event_t* event) override;
    void UpdateDimensions() override;

    // What all boxes together hold at most, in bytes: each line's record
    // and its texts and id. Past it a new line is not added (-1) and a
    // text is left as it was, with one log line for all boxes.
    static constexpr size_t kMaxBytes = 1u << 20;
    // What all boxes hold now.
    static size_t HeldBytes() { return held_bytes; }

    // Line operations; indices from 0. Texts are formatted printf-style
    // into 4096 bytes (longer ones are cut at 4095).
    int AddLine();
    int AddLine(kd_bitmap_t* bm, const char* fmt, ...) N_PRINTF_LIKE(3, 4);
    // Null for an index outside the lines.
    const UIListboxLine* GetLine(int i) const;
    int GetNumberOfLines() const { return lines.count; }
    // 1 when the index is a line's and the id fits (a null id becomes ""),
    // else 0.
    int SetLineId(int i, const char* id);
    // 1 when the index is a line's and the text fits; a null format leaves
    // the text null.
    int SetLineText(int i, const char* fmt, ...) N_PRINTF_LIKE(3, 4);
    void SetLineTextRight(int i, const char* fmt, ...) N_PRINTF_LIKE(3, 4);
    // The bitmap column is not widened for it.
    void SetLineBitmap(int i, kd_bitmap_t* bm);
    // Frees the lines; the selection and the scroll stay as they are.
    void ClearLines();
    // The line height grows to the font's; a null font keeps it.
    void SetFont(kd_font_t* f);
    // Half a page down or up, only while a frame bitmap is set.
    void ScrollListbox(bool down);
    // Whole lines between the paddings of a box `box_height` pixels high.
    int VisibleLines(int box_height) const;

    kd_bitmap_t* bm_frame = nullptr;
    kd_bitmap_t* bm_frame_top = nullptr;
    kd_bitmap_t* bm_selection = nullptr;
    int padding_left = 20, padding_right = 20, padding_top = 20, padding_bottom = 20;
    int content_width = 200, content_height = 400;
    bool dragging = false;
    unsigned int touch_time = 0;
    vec2_t previous_point = {0, 0}, drag_point = {0, 0}, current_point = {0, 0};
    kd_font_t* font = nullptr;
    nArray<UIListboxLine> lines;
    int selected = 0;
    float scroll_position = 0;
    float pending_scroll = 0;
    int line_height = 10;
    int bitmap_column_width = 0;

private:
    // Whether `more_lines` lines and `more` bytes in place of `less` keep
    // the boxes within their bound; reports the first refusal.
    bool Fits(int more_lines, size_t more, size_t less);
    bool Replace(char*& field, const char* text);
    size_t bytes = 0;  // this box's share of held_bytes
    static size_t held_bytes;
    static bool refusal_reported;
    bool FrameSized() const;
    void ClampTarget();
    // Starts a gesture at a button-down point.
    void BeginTouch(const kd_event_t& e);
};

#endif
