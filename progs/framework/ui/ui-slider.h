// The slider: a horizontal or vertical track with a value from 0 to 1, a
// panel, an over-highlight, a fill that grows with the value and a marker
// at the end of the fill. Pointer drags and key steps change the value;
// each change is reported as a click on the slider so that scripts and
// screens read "slider.value" in their click handling.
#ifndef FRAMEWORK_UI_SLIDER_H
#define FRAMEWORK_UI_SLIDER_H

#include "ui/ui-comps.h"

enum { UI_SLIDER_NUM_PROPS = 6 };

class UICompSlider : public UIComp {
public:
    UICompSlider();
    static UIComp* Make() { return new UICompSlider(); }

    const UIKind& Kind() const override;
    void Draw() override;
    // Takes or releases the bitmaps, and re-measures on entering.
    void ApplyCacheMode(int mode) override;
    // Key step: 37/39 on a horizontal slider, 38/40 on a vertical one.
    int ProcessCursorMove(UICursor* cursor, int key, float dt) override;
    // Pointer drag while the cursor is pressed.
    int ProcessCursorMove(UICursor* cursor, const vec2_t& pos, float dt) override;
    void UpdateDimensions() override;

    // Horizontal when the panel is wider than high.
    bool IsHorizontal();
    // The value a pointer at `pos` selects, clamped to [0, 1]; the current
    // value when there is no fill bitmap or the track has no length.
    float ValueAt(const vec2_t& pos);

    float value = 0.5f;
    kd_bitmap_t* bm_panel = nullptr;
    kd_bitmap_t* bm_panel_over = nullptr;
    kd_bitmap_t* bm_full = nullptr;
    kd_bitmap_t* bm_marker = nullptr;
    vec2_t padding = {0, 0};  // bitmap pixels of the fill before 0 and after 1

private:
    void SetValueAndReport(float v);
    void DrawTrack(kd_bitmap_t* bm, float A, float cut_from, float cut_to);
};

#endif
