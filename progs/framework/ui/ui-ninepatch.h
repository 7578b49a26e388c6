// The nine-patch: a panel drawn from one bitmap cut into a 3 x 3 grid by a
// client rectangle. The corners keep their pixel size, the edges stretch
// along one axis and the centre stretches to the requested client size,
// so frames of any size come from one small bitmap.
#ifndef FRAMEWORK_UI_NINEPATCH_H
#define FRAMEWORK_UI_NINEPATCH_H

#include "ui/ui-comps.h"

enum { UI_NINEPATCH_NUM_PROPS = 5 };

class UICompNinePatch : public UIComp {
public:
    UICompNinePatch();
    static UIComp* Make() { return new UICompNinePatch(); }

    const UIKind& Kind() const override;
    void Update(float) override {}
    void Draw() override;
    // Takes or releases the bitmap, and re-measures on entering.
    void ApplyCacheMode(int mode) override;
    void EditUpdate(float dt) override;
    void UpdateDimensions() override;

    // Takes a counted reference to the bitmap of that bitmap's name.
    void SetBitmap(kd_bitmap_t* bm);
    // The unscaled size of the whole panel (1 x 1 without a bitmap).
    vec2_t FullSize();

    kd_bitmap_t* bitmap = nullptr;
    float client_x0 = 10, client_y0 = 10, client_x1 = 90, client_y1 = 90;
    int client_width = 50, client_height = 50;
};

#endif
