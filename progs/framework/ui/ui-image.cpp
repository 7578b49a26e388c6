// The image. See ui-image.h.
#include "ui/ui-image.h"

#include <math.h>
#include <string.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompImage::UICompImage() {
    type = UI_IMAGE;
    interactive = false;
}

void UICompImage::SetBitmap(kd_bitmap_t* bm) {
    UIReplaceBitmap(this, &bitmap, bm);
    UpdateDimensions();
}

void UICompImage::UpdateDimensions() {
    int w = UIBitmapWidth(bitmap), h = UIBitmapHeight(bitmap);
    width = w > 0 ? (float)w : 16;
    height = h > 0 ? (float)h : 16;
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
    if (scale_type == UI_SCALE_STRETCH_TO_COVER_SCREEN) {
        width = (float)ui_screen.actual_width;
        height = (float)ui_screen.actual_height;
    }
}

// Frame index for a position t (in loops) of a linear pass over n frames;
// the pause after the pass holds the last frame.
static int LinearFrame(float t, int n) {
    if (t >= 1) return n - 1;
    int f = (int)((float)n * t);
    return f < 0 ? 0 : f >= n ? n - 1 : f;
}

void UICompImage::Update(float dt) {
    current_frame = 0;
    if (!bitmap || !(anim_loop_time > 0)) return;
    int n = bitmap->frame_count > 0 ? bitmap->frame_count : 1;
    float L = anim_loop_time, Q = anim_pause_time > 0 ? anim_pause_time : 0;
    // One cycle comes off per update, however long the step: after a long
    // frame the key stays beyond the loop and the last frame shows until
    // the key has caught up (3.2 s with L = 1 and Q = 0.5 leave 1.7 s).
    auto wrap = [&](float cycle) {
        if (cycle > 0 && anim_key > cycle) anim_key -= cycle;
    };
    switch (anim_mode) {
        case UI_ANIM_PINGPONG: {
            anim_key += dt;
            wrap(L + Q);
            float t = anim_key / L;
            int f;
            if (t >= 1) f = n - 1;
            else if (t >= 0.5f) f = (int)((1 - 2 * (t - 0.5f)) * (float)n);
            else f = (int)(2 * t * (float)n);
            // At the turn the formula gives n, which the engine's frame
            // choice takes modulo n: the first frame, as the engine shows it.
            current_frame = f < 0 ? 0 : f % n;
            break;
        }
        case UI_ANIM_LOOP_FOREVER_NONLINEAR: {
            anim_key += dt;
            kd_bitmap_t* fr = bitmap->frames;
            float rate = bitmap->frame_rate;
            // Without frame keys or a playback rate there is no timeline:
            // the loop time becomes 0 and the animation stops.
            if (n > 1 && fr && rate > 0)
                L = (float)(fr[n - 1].frame_number + 1 - fr[0].frame_number) / rate;
            else
                L = 0;
            anim_loop_time = L;
            if (L <= 0) return;
            wrap(L + Q);
            int K = (int)((float)fr[0].frame_number + anim_key * rate);
            current_frame = n - 1;
            for (int i = 0; i + 1 < n; i++)
                if (fr[i].frame_number < K && K <= fr[i + 1].frame_number) {
                    current_frame = i;
                    break;
                }
            break;
        }
        case UI_ANIM_LOOP_ONCE:
            // One pass, then the last frame stays: the clock stops at the
            // end of the pass instead of wrapping.
            anim_key += dt;
            if (anim_key > L) anim_key = L;
            current_frame = LinearFrame(anim_key / L, n);
            break;
        default:
            anim_key += dt;
            wrap(L + Q);
            current_frame = LinearFrame(anim_key / L, n);
            break;
    }
}

static void SwapFloats(float& a, float& b) {
    float t = a;
    a = b;
    b = t;
}

void UICompImage::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
    float A = GetStaticAlpha();
    if (!(A > 0)) return;
    vec2_t p = GetAlignedPos();
    UIDrawSetup(this, A);
    float a = GetStaticAngle();
    bool pushed = false;
    float rotation = a;
    if (inherit_angle && fabsf(a) >= 0.000001f) {
        pushed = UIPushRotation(this);
        rotation = 0;
    }
    if (bitmap) {
        kd->SetBitmapFrame(bitmap, current_frame);
        UpdateDimensions();
        float cx = p.x + width * 0.5f, cy = p.y + height * 0.5f;
        if (draw_mode == 1 || draw_mode == 2) {
            // Mirrored for this one draw only: the bitmap is shared.
            kd_bitmap_hw_data_t& hw = bitmap->hw;
            if (draw_mode == 1) SwapFloats(hw.top_v, hw.bottom_v);
            else SwapFloats(hw.left_u, hw.right_u);
            kd->DrawBitmapRS(bitmap, cx, cy, rotation, dynamic_scale);
            if (draw_mode == 1) SwapFloats(hw.top_v, hw.bottom_v);
            else SwapFloats(hw.left_u, hw.right_u);
        } else if (scale_type == UI_SCALE_STRETCH_TO_COVER_SCREEN) {
            float al = A * color.a * 255;
            uint32_t a8 = (uint32_t)(al < 0 ? 0 : al > 255 ? 255 : al);
            uint32_t col = (a8 << 24) | 0xFFFFFFu;
            float z = kd->GetDepthDefault();
            float x0 = p.x, y0 = p.y, x1 = p.x + width, y1 = p.y + height;
            kd_vertex_t v[4] = {{x0, y0, z, col, 0, 0}, {x1, y0, z, col, 1, 0}, {x0, y1, z, col, 0, 1},
                                {x1, y1, z, col, 1, 1}};
            kd->DrawBitmap4V(bitmap, v);
        } else {
            kd->DrawBitmapRS(bitmap, cx, cy, rotation, dynamic_scale);
        }
    }
    if (pushed) kd->PopTransform();
}

void UICompImage::ApplyCacheMode(int mode) {
    if (!bitmap) return;
    UIComp::ApplyCacheMode(mode);
    if (mode == 2) UpdateDimensions();
}

void UICompImage::EditUpdate(float) {
    if (!bitmap) return;
    int hw = UIBitmapWidth(bitmap) / 2, hh = UIBitmapHeight(bitmap) / 2;
    // A bitmap one pixel wide or high has a half of 0: dividing by it
    // would give an infinite scale.
    if (hw < 1) hw = 1;
    if (hh < 1) hh = 1;
    vec2_t s = GetStaticPos();
    float mx = kd->GetKeyStatef(KD_KEY_POINTER_X), my = kd->GetKeyStatef(KD_KEY_POINTER_Y);
    float sc = fmaxf(fabsf(mx - s.x) / (float)hw, fabsf(my - s.y) / (float)hh);
    float an = atan2f(my - s.y, mx - s.x);
    if (kd->GetKeyStatei(16)) {
        const float q = (float)M_PI / 4;
        an = (float)(int)((an + q / 2) / q) * q;
        sc = (float)(int)(sc / 0.1f) * 0.1f;
    }
    scale = sc;
    angle = an;
}

static constexpr UIKeyword anim_words[] = {{"LOOP_FOREVER", UI_ANIM_LOOP_FOREVER},
                                           {"LOOP", UI_ANIM_LOOP_FOREVER},
                                           {"PINGPONG", UI_ANIM_PINGPONG},
                                           {"LOOP_ONCE", UI_ANIM_LOOP_ONCE},
                                           {"LOOP_FOREVER_NONLINEAR", UI_ANIM_LOOP_FOREVER_NONLINEAR}};
// Only Lua strings name a mode; anything else falls back with the warning.
static constexpr UIKeywordSet anim_modes =
    UIWordSet(anim_words, UI_ANIM_LOOP_FOREVER, "LOOP_FOREVER", "LOOP_FOREVER",
              "Supported image anim modes are e.g. 'LOOP_FOREVER', 'LOOP_ONCE', 'PINGPONG', "
              "'LOOP_FOREVER_NONLINEAR'. Value '%s' is not valid, using 'LOOP_FOREVER'.\n",
              nullptr, true);

const UIKind& UICompImage::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("image.bitmap", UI_BITMAP, UI_FIELD(UICompImage, bitmap),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        // The animation settings go with a copy but not with a template.
        UIProp("image.anim_loop_time", UI_NUMBER, UI_FIELD(UICompImage, anim_loop_time),
               UI_READ | UI_EXPORT | UI_CLONE),
        UIProp("image.anim_pause_time", UI_NUMBER, UI_FIELD(UICompImage, anim_pause_time),
               UI_READ | UI_EXPORT | UI_CLONE),
        UIProp("image.anim_mode", UI_KEYWORD, UI_FIELD(UICompImage, anim_mode), UI_READ | UI_EXPORT | UI_CLONE)
            .Words(anim_modes),
        // Not written to layout files.
        UIProp("image.bitmap_switch", UI_BITMAP, UI_FIELD(UICompImage, bitmap), UI_ALIAS | UI_REMEASURE),
        UIProp("image.anim_key", UI_NUMBER, UI_FIELD(UICompImage, anim_key), UI_READ),
    };
    static_assert(UINamedRows(rows) == UI_IMAGE_NUM_PROPS, "one row per image property");
    static_assert(UIPropRowsValid(rows, "image."), "image property table");
    static constexpr UIKind kind = UIMakeKind(UI_IMAGE, "UICompImage", "image.", rows, Make, UI_UNKNOWN_NAMES_COMP_SHORT);
    return kind;
}
