// The image: one bitmap, or a bitmap sequence played as a frame
// animation, drawn at the component's place, size, colour, rotation and
// mirroring. The commonest decoration of the layout files.
#ifndef FRAMEWORK_UI_IMAGE_H
#define FRAMEWORK_UI_IMAGE_H

#include "ui/ui-comps.h"

enum UIImageAnimMode {
    UI_ANIM_LOOP_FOREVER = 0,
    UI_ANIM_PINGPONG = 1,
    UI_ANIM_LOOP_ONCE = 2,
    UI_ANIM_LOOP_FOREVER_NONLINEAR = 3
};

enum { UI_IMAGE_NUM_PROPS = 6 };

class UICompImage : public UIComp {
public:
    UICompImage();
    static UIComp* Make() { return new UICompImage(); }

    const UIKind& Kind() const override;
    void Update(float dt) override;
    void Draw() override;
    // Takes or releases the bitmap, and re-measures on entering.
    void ApplyCacheMode(int mode) override;
    void EditUpdate(float dt) override;
    void UpdateDimensions() override;

    // Takes a counted reference to the bitmap of that bitmap's name.
    void SetBitmap(kd_bitmap_t* bm);

    kd_bitmap_t* bitmap = nullptr;
    int anim_mode = UI_ANIM_LOOP_FOREVER;
    float anim_loop_time = 1.0f;
    float anim_pause_time = 0.0f;
    int current_frame = 0;
    // The animation clock in seconds; scripts set it to restart or seek.
    float anim_key = 0.0f;
};

#endif
