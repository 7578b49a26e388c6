// The nine-patch. See ui-ninepatch.h.
#include "ui/ui-ninepatch.h"

#include <math.h>
#include <string.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompNinePatch::UICompNinePatch() {
    type = UI_NINEPATCH;
    interactive = false;
}

void UICompNinePatch::SetBitmap(kd_bitmap_t* bm) {
    UIReplaceBitmap(this, &bitmap, bm);
    UpdateDimensions();
}

vec2_t UICompNinePatch::FullSize() {
    if (!bitmap) return vec2_t{1, 1};
    float w = (float)UIBitmapWidth(bitmap), h = (float)UIBitmapHeight(bitmap);
    return vec2_t{(float)client_width + client_x0 + (w - client_x1), (float)client_height + client_y0 + (h - client_y1)};
}

void UICompNinePatch::UpdateDimensions() {
    // The scale follows the whole panel's unscaled size, which the client
    // size sets, not the last scaled width and height.
    vec2_t F = FullSize();
    const UIScreenValues& s = ui_screen;
    float SW = (float)s.actual_width, SH = (float)s.actual_height;
    bool sized = F.x > 0 && F.y > 0;  // a collapsed panel keeps 1
    float d = 1;
    switch (scale_type) {
        case UI_SCALE_FIT_INSIDE_SCREEN: d = sized ? fminf(SW / F.x, SH / F.y) : 1; break;
        case UI_SCALE_FIT_TO_COVER_SCREEN: d = sized ? fmaxf(SW / F.x, SH / F.y) : 1; break;
        case UI_SCALE_RELATIVE_TO_SCREEN_WIDTH: d = s.scale_width; break;
        case UI_SCALE_RELATIVE_TO_SCREEN_HEIGHT: d = s.scale_height; break;
        case UI_SCALE_RELATIVE_TO_SCREEN_SIZE: d = s.scale_ref; break;
        case UI_SCALE_RELATIVE_TO_PARENT: d = parent ? parent->dynamic_scale : s.scale_height; break;
        default: break;
    }
    scale_type_factor = d;
    dynamic_scale = GetStaticScale() * d;
    height = (float)(int)(F.y * dynamic_scale);
    width = (float)(int)(F.x * dynamic_scale);
}

static uint8_t Byte(float v) {
    v *= 255;
    return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v);
}

void UICompNinePatch::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
    vec2_t P = GetAlignedPos();
    float A = GetStaticAlpha();
    if (!(A > 0)) return;
    bool pushed = UIPushRotation(this);
    UIDrawSetup(this, A);
    float z = kd->GetDepthDefault();
    if (UIBitmapUsable(bitmap)) {
        float w = (float)UIBitmapWidth(bitmap), h = (float)UIBitmapHeight(bitmap);
        float dx = (float)client_width - (client_x1 - client_x0);
        float dy = (float)client_height - (client_y1 - client_y0);
        float cols[4] = {0, client_x0, client_x1, w}, rows[4] = {0, client_y0, client_y1, h};
        float px[4] = {0, client_x0, client_x1 + dx, w + dx}, py[4] = {0, client_y0, client_y1 + dy, h + dy};
        // The engine's vertex colour: blue, green, red, alpha bytes in memory.
        uint32_t col = (uint32_t)Byte(A * color.a) << 24 | (uint32_t)Byte(color.r) << 16 |
                       (uint32_t)Byte(color.g) << 8 | (uint32_t)Byte(color.b);
        float S = dynamic_scale;
        bool scaled = fabsf(S - 1) >= 0.000001f;
        for (int r = 0; r < 3; r++)
            for (int c = 0; c < 3; c++) {
                kd_vertex_t q[4];
                for (int k = 0; k < 4; k++) {
                    int ci = c + (k & 1), ri = r + (k >> 1);
                    float x = px[ci], y = py[ri];
                    if (scaled) x *= S, y *= S;
                    q[k] = kd_vertex_t{P.x + x, P.y + y, z, col, cols[ci] / w, rows[ri] / h};
                }
                kd->DrawBitmap4V(bitmap, q);
            }
    }
    if (pushed) kd->PopTransform();
}

void UICompNinePatch::ApplyCacheMode(int mode) {
    if (!bitmap) return;
    UIComp::ApplyCacheMode(mode);
    if (mode == 2) UpdateDimensions();
}

void UICompNinePatch::EditUpdate(float) {
    if (!bitmap) return;
    float w = (float)UIBitmapWidth(bitmap), h = (float)UIBitmapHeight(bitmap);
    vec2_t s = GetStaticPos();
    float mx = kd->GetKeyStatef(KD_KEY_POINTER_X), my = kd->GetKeyStatef(KD_KEY_POINTER_Y);
    int ax = (int)fabsf(mx - s.x), ay = (int)fabsf(my - s.y);
    if (align & UI_ALIGN_HCENTER) ax *= 2;
    if (align & UI_ALIGN_VCENTER) ay *= 2;
    client_width = ax - (int)(client_x0 + (w - client_x1));
    client_height = ay - (int)(client_y0 + (h - client_y1));
    UpdateDimensions();
}

const UIKind& UICompNinePatch::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("ninepatch.bitmap", UI_BITMAP, UI_FIELD(UICompNinePatch, bitmap),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        // Changing the cut alone does not re-measure; the next size change does.
        UIProp("ninepatch.bitmap_client_rect", UI_NUMBER,
               UIPair(
                   [](UIComp* c, double* v) {
                       UICompNinePatch* n = static_cast<UICompNinePatch*>(c);
                       v[0] = n->client_x0, v[1] = n->client_y0, v[2] = n->client_x1, v[3] = n->client_y1;
                   },
                   [](UIComp* c, const double* v) {
                       UICompNinePatch* n = static_cast<UICompNinePatch*>(c);
                       n->client_x0 = (float)v[0], n->client_y0 = (float)v[1];
                       n->client_x1 = (float)v[2], n->client_y1 = (float)v[3];
                   },
                   4),
               UI_EXPORT | UI_INHERIT),
        UIProp("ninepatch.client_size", UI_INTEGER,
               UIPair(
                   [](UIComp* c, double* v) {
                       UICompNinePatch* n = static_cast<UICompNinePatch*>(c);
                       v[0] = n->client_width, v[1] = n->client_height;
                   },
                   [](UIComp* c, const double* v) {
                       UICompNinePatch* n = static_cast<UICompNinePatch*>(c);
                       n->client_width = (int)v[0], n->client_height = (int)v[1];
                   },
                   2),
               UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        // Read only.
        UIProp("ninepatch.client_width", UI_INTEGER, UI_FIELD(UICompNinePatch, client_width),
               UI_READ | UI_NO_SET | UI_ALIAS),
        UIProp("ninepatch.client_height", UI_INTEGER, UI_FIELD(UICompNinePatch, client_height),
               UI_READ | UI_NO_SET | UI_ALIAS),
    };
    static_assert(UINamedRows(rows) == UI_NINEPATCH_NUM_PROPS, "one row per nine-patch property");
    static_assert(UIPropRowsValid(rows, "ninepatch."), "nine-patch property table");
    static constexpr UIKind kind = UIMakeKind(UI_NINEPATCH, "UICompNinePatch", "ninepatch.", rows, Make);
    return kind;
}
