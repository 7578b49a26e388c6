// The ruler. See ui-ruler.h.
#include "ui/ui-ruler.h"

#include <math.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompRuler::UICompRuler() {
    type = UI_RULER;
    interactive = false;
}

void UICompRuler::SetEndpointBitmap(kd_bitmap_t* bm) {
    UIReplaceBitmap(this, &bm_endpoint, bm);
    UpdateDimensions();
}

void UICompRuler::SetRepeatBitmap(kd_bitmap_t* bm) {
    UIReplaceBitmap(this, &bm_repeat, bm);
    UpdateDimensions();
}

int UICompRuler::TileCount(float span, int tile_width, float s) {
    float step = (float)tile_width * s;
    if (!(step > 0) || !(span > 0)) return 0;
    float n = span / step;
    return n >= (float)UI_RULER_MAX_TILES ? UI_RULER_MAX_TILES : (int)n;
}

void UICompRuler::UpdateDimensions() {
    // The scale follows the bar's unscaled size.
    width = client_width;
    height = client_height;
    CalculateDynamicScale();
    float s = dynamic_scale;
    float k = (align & UI_ALIGN_HCENTER) ? 2.0f : 1.0f;
    width = (float)(int)(client_width * s * k);
    height = (float)(int)(client_height * s * k);
    if (!bm_endpoint || !bm_repeat) return;
    // Across the bar, the thicker of the two bitmaps.
    float thick = s * (float)(UIBitmapHeight(bm_endpoint) > UIBitmapHeight(bm_repeat) ? UIBitmapHeight(bm_endpoint)
                                                                                        : UIBitmapHeight(bm_repeat));
    if (width > height) height = thick;
    else if (width < height) width = thick;
}

void UICompRuler::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
    float A = GetStaticAlpha();
    if (!(A > 0)) return;
    bool pushed = UIPushRotation(this);
    UIDrawSetup(this, A);

    vec2_t S = GetStaticPos();
    float left = S.x, top = S.y;
    if (align & UI_ALIGN_HCENTER) left -= width / 2;
    if (align & UI_ALIGN_VCENTER) top -= height / 2;
    if (align & UI_ALIGN_RIGHT) left -= width;
    if (align & UI_ALIGN_BOTTOM) top -= height;
    float right = left + width, bottom = top + height;

    if (bm_endpoint && bm_repeat) {
        float s = dynamic_scale;
        int e = UIBitmapWidth(bm_endpoint) / 2, r = UIBitmapWidth(bm_repeat);
        bool across = IsHorizontal();
        float a0 = (across ? left : top) + s * (float)e;
        float b0 = (across ? right : bottom) - s * (float)e;
        float mid = across ? top + height * 0.5f : left + width * 0.5f;
        float rot = across ? 0.0f : (float)M_PI / 2;
        // A point `along` the bar, on its centre line.
        auto at = [&](float along, float* x, float* y) {
            *x = across ? along : mid;
            *y = across ? mid : along;
        };
        float x, y;
        int n = TileCount(fabsf(b0 - a0), r, s);
        for (int i = 0; i < n; i++) {
            at(a0 + s * (float)(r / 2) + (float)i * (float)r * s, &x, &y);
            kd->DrawBitmapRS(bm_repeat, x, y, rot, s);
        }
        at(a0 - s * endpoint_offset, &x, &y);
        kd->DrawBitmapRS(bm_endpoint, x, y, rot, s);
        // The far cap mirrored for this one draw: the bitmap is shared.
        kd_bitmap_hw_data_t& hw = bm_endpoint->hw;
        float u = hw.left_u;
        hw.left_u = hw.right_u, hw.right_u = u;
        at(b0 + s * endpoint_offset, &x, &y);
        kd->DrawBitmapRS(bm_endpoint, x, y, rot, s);
        hw.right_u = hw.left_u, hw.left_u = u;
    }
    if (pushed) kd->PopTransform();
}

void UICompRuler::ApplyCacheMode(int mode) {
    UIComp::ApplyCacheMode(mode);
    if (mode == UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE) UpdateDimensions();
}

void UICompRuler::EditUpdate(float) {
    vec2_t S = GetStaticPos();
    float mx = kd->GetKeyStatef(KD_KEY_POINTER_X), my = kd->GetKeyStatef(KD_KEY_POINTER_Y);
    // A scale of 0 would make the size infinite: the drag waits for one.
    if (!(dynamic_scale > 0)) return;
    client_width = fabsf(mx - S.x) / dynamic_scale;
    client_height = fabsf(my - S.y) / dynamic_scale;
    UpdateDimensions();
}

// Sizes are stored as numbers and read back truncated.
static int PushTruncated(lua_State* L, float v) { return lua_pushinteger(L, (lua_Integer)(int)v), 1; }

const UIKind& UICompRuler::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("ruler.endpoint_bitmap", UI_BITMAP, UI_FIELD(UICompRuler, bm_endpoint),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("ruler.repeat_bitmap", UI_BITMAP, UI_FIELD(UICompRuler, bm_repeat),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("ruler.client_width", UI_NUMBER, UI_FIELD(UICompRuler, client_width),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("%f")
            .OnGet([](UIComp* c, lua_State* L) { return PushTruncated(L, static_cast<UICompRuler*>(c)->client_width); }),
        UIProp("ruler.client_height", UI_NUMBER, UI_FIELD(UICompRuler, client_height),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("%f")
            .OnGet([](UIComp* c, lua_State* L) { return PushTruncated(L, static_cast<UICompRuler*>(c)->client_height); }),
        UIProp("ruler.endpoint_offset", UI_NUMBER, UI_FIELD(UICompRuler, endpoint_offset),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("%f")
            .OnGet([](UIComp* c, lua_State* L) {
                return PushTruncated(L, static_cast<UICompRuler*>(c)->endpoint_offset);
            }),
    };
    static_assert(UINamedRows(rows) == UI_RULER_NUM_PROPS, "one row per ruler property");
    static_assert(UIPropRowsValid(rows, "ruler."), "ruler property table");
    static constexpr UIKind kind = UIMakeKind(UI_RULER, "UICompRuler", "ruler.", rows, Make);
    return kind;
}
