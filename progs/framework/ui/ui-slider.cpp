// The slider. See ui-slider.h.
#include "ui/ui-slider.h"

#include <math.h>
#include <string.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompSlider::UICompSlider() { type = UI_SLIDER; }

bool UICompSlider::IsHorizontal() { return UIBitmapWidth(bm_panel) > UIBitmapHeight(bm_panel); }

void UICompSlider::UpdateDimensions() {
    float w = 16, h = 16;
    kd_bitmap_t* first = bm_panel ? bm_panel : bm_panel_over ? bm_panel_over : bm_full;
    if (first) w = (float)UIBitmapWidth(first), h = (float)UIBitmapHeight(first);
    if (bm_marker) {
        w = (float)(int)fmaxf(w, (float)UIBitmapWidth(bm_marker));
        h = (float)(int)fmaxf(h, (float)UIBitmapHeight(bm_marker));
    }
    width = w;
    height = h;
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
}

static float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

void UICompSlider::SetValueAndReport(float v) {
    v = Clamp01(v);
    if (v == value) return;
    value = v;
    UISendComponentClick(OwnerSet(), this);
}

int UICompSlider::ProcessCursorMove(UICursor*, int key, float) {
    if (!bm_panel) return 0;
    bool horizontal = IsHorizontal();
    float step;
    if (horizontal && (key == 37 || key == 39)) step = key == 39 ? 0.1f : -0.1f;
    else if (!horizontal && (key == 38 || key == 40)) step = key == 40 ? 0.1f : -0.1f;
    else return 0;
    SetValueAndReport(value + step);
    return 1;
}

float UICompSlider::ValueAt(const vec2_t& pos) {
    if (!bm_full) return value;
    float S = dynamic_scale;
    float fw = (float)UIBitmapWidth(bm_full), fh = (float)UIBitmapHeight(bm_full);
    vec2_t p = GetAlignedPos();
    float pl = padding.x, ph = padding.y;
    bool horizontal = IsHorizontal();
    // A track with no length between the paddings selects nothing: the
    // division would give an infinite or undefined value.
    float span = S * ((horizontal ? fw : fh) - pl - ph);
    if (!(fabsf(span) > 1e-6f)) return value;
    float a = GetStaticAngle();
    float v;
    if (fabsf(a) < 0.000001f) {
        float L = p.x + width / 2 - S * fw / 2;
        float T = p.y + height / 2 - S * fh / 2;
        v = horizontal ? (pos.x - L - S * pl) / span : 1 - (pos.y - T - S * ph) / span;
    } else {
        float dx = pos.x - (p.x + width / 2), dy = pos.y - (p.y + height / 2);
        float ca = cosf(-a), sa = sinf(-a);
        float lx = dx * ca - dy * sa, ly = dx * sa + dy * ca;
        v = horizontal ? (lx + width / 2 - S * pl) / span : 1 - (ly + height / 2 - S * ph) / span;
    }
    if (!isfinite(v)) return value;
    return Clamp01(v);
}

int UICompSlider::ProcessCursorMove(UICursor* cursor, const vec2_t& pos, float) {
    if (!cursor || !cursor->pressed) return 1;
    if (!bm_panel) return 0;
    SetValueAndReport(ValueAt(pos));
    return 1;
}

void UICompSlider::DrawTrack(kd_bitmap_t* bm, float A, float cut_from, float cut_to) {
    // cut_from / cut_to: the drawn window along the track as fractions of
    // the bitmap (u for horizontal, v for vertical fills).
    if (!bm) return;
    float S = dynamic_scale;
    float w = (float)UIBitmapWidth(bm), h = (float)UIBitmapHeight(bm);
    vec2_t p = GetAlignedPos();
    float left = p.x + width / 2 - S * w / 2, top = p.y + height / 2 - S * h / 2;
    float x0 = left, x1 = left + S * w, y0 = top, y1 = top + S * h;
    float u0 = 0, u1 = 1, v0 = 0, v1 = 1;
    if (bm == bm_full && cut_to >= 0) {
        if (IsHorizontal()) x1 = left + S * w * cut_to, u1 = cut_to;
        else y0 = top + S * h * cut_from, v0 = cut_from;
    }
    float alpha255 = A * color.a * 255;
    uint32_t a8 = (uint32_t)(alpha255 < 0 ? 0 : alpha255 > 255 ? 255 : alpha255);
    uint32_t col = (a8 << 24) | 0xFFFFFFu;
    float z = kd->GetDepthDefault();
    kd_vertex_t v[4] = {{x0, y0, z, col, u0, v0}, {x1, y0, z, col, u1, v0}, {x0, y1, z, col, u0, v1},
                        {x1, y1, z, col, u1, v1}};
    kd->DrawBitmap4V(bm, v);
}

void UICompSlider::Draw() {
    if (ui_widget_hooks.resize_mode || inherit_scale) UpdateDimensions();
    float A = GetStaticAlpha();
    UIDrawSetup(this, A);
    bool pushed = UIPushRotation(this);
    DrawTrack(bm_panel, A, 0, -1);
    if (time_cursor_over > 0) DrawTrack(bm_panel_over, A, 0, -1);
    if (bm_full) {
        float S = dynamic_scale;
        float fw = (float)UIBitmapWidth(bm_full), fh = (float)UIBitmapHeight(bm_full);
        float pl = padding.x, ph = padding.y;
        vec2_t p = GetAlignedPos();
        float left = p.x + width / 2 - S * fw / 2, top = p.y + height / 2 - S * fh / 2;
        if (IsHorizontal()) {
            float F = pl + (fw - pl - ph) * value;
            DrawTrack(bm_full, A, 0, fw > 0 ? F / fw : 0);
            if (bm_marker) kd->DrawBitmapRS(bm_marker, left + S * F, top + S * fh / 2, 0, S);
        } else {
            float G = ph + (1 - value) * (fh - pl - ph);
            DrawTrack(bm_full, A, fh > 0 ? G / fh : 0, 1);
            if (bm_marker) kd->DrawBitmapRS(bm_marker, left + S * fw / 2, top + S * G, 0, S);
        }
    }
    if (pushed) kd->PopTransform();
}

void UICompSlider::ApplyCacheMode(int mode) {
    UIComp::ApplyCacheMode(mode);
    if (mode == 2) UpdateDimensions();
}

const UIKind& UICompSlider::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("slider.bm_panel", UI_BITMAP, UI_FIELD(UICompSlider, bm_panel),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("slider.bm_panel_over", UI_BITMAP, UI_FIELD(UICompSlider, bm_panel_over),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("slider.bm_full", UI_BITMAP, UI_FIELD(UICompSlider, bm_full),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("slider.bm_marker", UI_BITMAP, UI_FIELD(UICompSlider, bm_marker), UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("slider.padding", UI_NUMBER, UI_FIELD(UICompSlider, padding), UI_EXPORT | UI_INHERIT | UI_NEAR)
            .Format("\"%g\""),
        // The value is the player's, not the layout's: it is not written.
        UIProp("slider.value", UI_NUMBER, UI_FIELD(UICompSlider, value), UI_READ | UI_INHERIT),
    };
    static_assert(UINamedRows(rows) == UI_SLIDER_NUM_PROPS, "one row per slider property");
    static_assert(UIPropRowsValid(rows, "slider."), "slider property table");
    static constexpr UIKind kind = UIMakeKind(UI_SLIDER, "UICompSlider", "slider.", rows, Make);
    return kind;
}
