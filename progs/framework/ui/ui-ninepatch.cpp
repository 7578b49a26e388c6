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
    if (bm) {
        ReplaceBitmapApplyingReferenceCounting(&bitmap, bm->name);
    } else {
        // No name to load by: drop the reference taken for the old bitmap.
        if (bitmap && OwnerSetLoaded() && features_enabled && !UIBitmapIsPlaceholder(bitmap))
            kd->ReleaseBitmap(bitmap);
        bitmap = nullptr;
    }
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
    UIApplyCacheModeToBitmap(bitmap, mode);
    if (mode == UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE) UpdateDimensions();
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

int UICompNinePatch::InheritFrom(UIComp* source) {
    int r = UIComp::InheritFrom(source);
    if (!r) return r;
    UICompNinePatch* s = dynamic_cast<UICompNinePatch*>(source);
    if (!s) return 1;
    bitmap = s->bitmap;
    client_x0 = s->client_x0, client_y0 = s->client_y0, client_x1 = s->client_x1, client_y1 = s->client_y1;
    client_width = s->client_width, client_height = s->client_height;
    UpdateDimensions();
    return 1;
}

UIComp* UICompNinePatch::Clone(const char* new_name) { return UICloneInto(new UICompNinePatch(), this, new_name); }

int UICompNinePatch::SetProperty(const char* prop, lua_State* L) {
    int r = UIComp::SetProperty(prop, L);
    if (r >= 0 || !prop) return r;
    if (UIIsProperty(prop, "ninepatch.bitmap")) {
        if (!UISetBitmapProperty(L, this, prop, &bitmap)) return 0;
        UpdateDimensions();
        return 0;
    }
    if (UIIsProperty(prop, "ninepatch.bitmap_client_rect")) {
        float v[4];
        for (int i = 0; i < 4; i++)
            if (!UIReadNumber(L, 2 + i, &v[i])) return UIRefuse(L, this, prop, "four numbers", 2 + i), 0;
        client_x0 = v[0], client_y0 = v[1], client_x1 = v[2], client_y1 = v[3];
        return 0;
    }
    if (UIIsProperty(prop, "ninepatch.client_size")) {
        int v[2];
        for (int i = 0; i < 2; i++)
            if (!UIReadInteger(L, 2 + i, &v[i])) return UIRefuse(L, this, prop, "two numbers", 2 + i), 0;
        client_width = v[0], client_height = v[1];
        UpdateDimensions();
        return 0;
    }
    kd->Popupf(1, "UICompNinePatch::SetProperty: Unknown Property '%s'\n", prop);
    return -1;
}

int UICompNinePatch::GetProperty(const char* prop, lua_State* L) {
    int r = UIComp::GetProperty(prop, L);
    if (r > 0 || !prop || !L || UIFindBaseProperty(prop)) return r;
    if (UIIsProperty(prop, "ninepatch.bitmap")) return lua_pushstring(L, UIBitmapName(bitmap)), 1;
    if (UIIsProperty(prop, "ninepatch.client_width")) return lua_pushinteger(L, client_width), 1;
    if (UIIsProperty(prop, "ninepatch.client_height")) return lua_pushinteger(L, client_height), 1;
    kd->Popupf(1, "UICompNinePatch::GetProperty: Unknown Property '%s'\n", prop);
    return 0;
}

void UICompNinePatch::ExportLua(nString& out) {
    UIComp::ExportLua(out);
    static UICompNinePatch defaults;
    UICompNinePatch* T = dynamic_cast<UICompNinePatch*>(template_comp);
    if (!T) T = &defaults;
    UIAppendBitmapLine(out, "ninepatch.bitmap", bitmap, T->bitmap);
    if (client_x0 != T->client_x0 || client_y0 != T->client_y0 || client_x1 != T->client_x1 ||
        client_y1 != T->client_y1)
        UIAppendf(out, "SetProperty (\"ninepatch.bitmap_client_rect\", %g, %g, %g, %g);\n", client_x0, client_y0,
                  client_x1, client_y1);
    if (client_width != T->client_width || client_height != T->client_height)
        UIAppendf(out, "SetProperty (\"ninepatch.client_size\", %d, %d);\n", client_width, client_height);
}
