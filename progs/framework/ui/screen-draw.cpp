// The screen manager's drawing: the stack and its overlays, the virtual
// screen with its scales, and the loading indicator. See screen-manager.h.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "luaman.h"
#include "manager.h"
#include "particles.h"
#include "ui/aiplayer.h"
#include "ui/screen-manager.h"
#include "ui/ui-button.h"
#include "ui/ui-comps.h"
#include "ui/ui-image.h"
#include "ui/ui-widgets.h"

static bool DeveloperMode() { return Manager::GetParms()->developer_mode; }
static bool Held(int key) { return kd->GetKeyStatei(key) != 0; }

static kd_font_t* ConsoleFont() { return kd->GetFont("core/console.sft"); }

void DrawToolTip(float x, float y, const char* text) {
    kd_font_t* font = ConsoleFont();
    if (!font || !text) return;
    kd->SetTextAlign(0);
    const float w = kd->GetTextWidthf(font, "%s", text);
    const float h = kd->GetTextHeightf(font, "%s", text) + 4;
    kd->SetBlend(0);
    kd->SetColor(0, 0, 0);
    kd->SetAlpha(0.75f);
    kd->DrawRect(x - 2, y - 2, w + 4, h);
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
    kd->DrawRect(x - 3, y - 3, w + 6, 1);
    kd->DrawRect(x - 3, y - 2 + h, w + 6, 1);
    kd->DrawRect(x - 3, y - 2, 1, h);
    kd->DrawRect(x + 2 + w, y - 2, 1, h);
    kd->DrawTextf(font, x + 1, y + 3, "%s", text);
}

// ---------------------------------------------------------------------------
// Virtual screen.

void ScreenMan::SetVirtualScreenDimensions(int w, int h) {
    virtual_width = w;
    virtual_height = h;
    virtual_x = virtual_y = 0;
    if (centre_virtual_screen) {
        virtual_x = (float)((actual_width - w) / 2);
        virtual_y = (float)((actual_height - h) / 2);
    }
    int rw = reference_width, rh = reference_height;
    if ((w == rw && h == rh) || rw <= 0 || rh <= 0) {
        // Equal sizes scale by exactly 1; so does a reference size without
        // area, which would otherwise divide by zero.
        scale_cover = scale_width = scale_height = scale_ref = 1.0f;
    } else {
        scale_width = (float)w / (float)rw;
        scale_height = (float)h / (float)rh;
        scale_cover = fmaxf((float)(w + 2) / (float)rw, (float)(h + 2) / (float)rh);
        scale_ref = fminf(scale_width, scale_height);
    }
    pman.reference_scale = scale_ref;
    UpdateAllVisibleComponentDimensions();
    kd_prog_t* record = Manager::GetProgramRecord();
    if (record && record->EventProc) {
        kd_event_t e;
        memset(&e, 0, sizeof e);
        e.type = 63;
        e.id = (intptr_t) "VIRTUAL_SCREEN_RESIZE";
        record->EventProc(e);
    }
}

void ScreenMan::SetTargetVirtualScreenDimensions(int w, int h) {
    if (w == vs_target_w && h == vs_target_h) return;
    vs_target_w = w;
    vs_target_h = h;
    vs_start_w = virtual_width;
    vs_start_h = virtual_height;
    vs_progress = 0.001f;
}

vec2_t ScreenMan::TransformPointToVirtualScreen(vec2_t p) const {
    float z = scale_cover;
    return vec2_t{virtual_x + z * (p.x - virtual_x), virtual_y + z * (p.y - virtual_y)};
}

void ScreenMan::UpdateAllVisibleComponentDimensions() {
    for (int i = 0; i < stack.count; i++) {
        Screen* s = stack.data[i];
        if (!s->preloaded || !s->in_stack || !s->uiset) continue;
        UISet* set = s->uiset;
        for (int k = 0; k < set->comps.count; k++) {
            UIComp* c = set->comps[k];
            if (!c) continue;
            c->UpdateDimensions();
            c->CalculateDynamicScale();
        }
    }
}

const char* ScreenMan::GetResolutionName(int w, int h) {
    static const struct {
        int w, h;
        const char* name;
    } sizes[] = {{320, 240, "QVGA: Android 1.x"},
                 {640, 480, "VGA"},
                 {800, 480, "WVGA: Samsung bada Wave, Nokia N900, Android 2.x"},
                 {854, 480, "WVGA: Android 2.x, Motorola Droid/Milestone"},
                 {720, 480, "DVD NTSC"},
                 {1280, 720, "720p"},
                 {1920, 1080, "1080p"},
                 {400, 320, "Palm Pixi/+, HP Veer"},
                 {480, 272, "Sony PSP"},
                 {480, 320, "HVGA: iPhone 3G/S"},
                 {960, 544, "Sony PS Vita"},
                 {960, 640, "iPhone 4"},
                 {1024, 768, "iPad, PC/Mac default"},
                 {640, 360, "Nokia N8"}};
    int lo = w < h ? w : h, hi = w < h ? h : w;
    for (const auto& s : sizes)
        if (s.w == hi && s.h == lo) return s.name;
    return "";
}

// ---------------------------------------------------------------------------
// Loading indicator.

void ScreenMan::UpdateLoadingIndicator(float dt) {
    loading_alpha += loading_count > 0 ? 3 * dt : -3 * dt;
    loading_alpha = fminf(fmaxf(loading_alpha, 0), 1);
}

void ScreenMan::DrawLoadingIndicator() {
    if (!(loading_alpha > 0)) return;
    // Looked up while shown only; no pointer outlives an engine.
    kd_bitmap_t* windmill = kd->GetBitmap("loader/windmill.png");
    if (!windmill) return;
    float e = UIEase(loading_alpha) * scale_cover;
    float x = (float)virtual_width - e * ((float)windmill->width / 2 + 16) + virtual_x;
    float y = (float)virtual_height - e * ((float)windmill->height / 2 + 16) + virtual_y;
    float angle = (float)(kd->GetTime() % 1500) / 1500.0f * 2 * (float)M_PI;
    kd->SetAlpha(e);
    kd->DrawBitmapRS(windmill, x, y, angle, e);
    kd->SetAlpha(1);
}

// ---------------------------------------------------------------------------
// The frame's drawing.

void ScreenMan::DrawScreens(float dt) {
    bool developer = DeveloperMode();
    bool same_size = actual_width == virtual_width && actual_height == virtual_height;
    if (developer && !same_size) kd->ClearScreen(0, 0, 0);
    float vh = (float)virtual_height;
    kd->SetDepthDefault(vh * 0.1f);
    kd->SetDepthRange(0.5f, vh * 0.1f, 600);
    kd->ClearDepth(1.0f);
    draw_clock += (int)(dt * 1000.0f);
    if (developer) {
        // A colour that changes every 750 ms shows where the virtual area is.
        int phase = (draw_clock / 750) % 3;
        float r = phase == 0, g = phase == 1, b = phase == 2;
        if (same_size) {
            kd->ClearScreen(r, g, b);
        } else {
            kd->SetColor(r, g, b);
            kd->SetAlpha(1);
            kd->DrawRect(virtual_x, virtual_y, (float)virtual_width, (float)virtual_height);
            kd->SetColor(1, 1, 1);
        }
    }

    std::vector<Screen*> copy(stack.data, stack.data + stack.count);
    int first = -1;
    for (int i = (int)copy.size() - 1; i >= 0 && first < 0; i--)
        if (copy[i]->covers_screen) first = i;
    if (first < 0) {
        kd->ClearScreen(0, 0, 0);
        first = 0;
    }
    for (size_t i = (size_t)first; i < copy.size(); i++) {
        Screen* s = copy[i];
        if (!s->preloaded || !s->in_stack) continue;
        s->Draw(dt);
        UISet* set = ScreenMan::OwnSet(s);
        if (set && set->L && set->Has(UI_ON_DRAW)) lua_man.CallLuaFunction(set->L, "OnDraw");
    }

    pman.DrawParts();
    if (!EditMode()) Manager::RunSteps(STEP_DRAW_OVERLAY);
    DrawLoadingIndicator();

    bool edit = EditMode();
    if (edit) DrawEditModeOverlays();
    if (edit) DrawEditMenu(dt);
    if (developer && (!same_size || ResizeMode())) DrawDeveloperFrame();
    if (ai_man.enabled) ai_man.Draw();
    if (ResizeMode() && anim_key < 0.5f) DrawToolTip((float)actual_width - 94, 10, "Resize Mode");
    if (edit) {
        if (Held(KD_KEY_F2) && edit_selection) edit_selection->DrawInfoBox(mpos);
        if (Held(KD_KEY_F1)) DrawHelpPanel();
        if (!isolated_comp && measuring) {
            char text[128];
            float dx = mpos.x - measure_start.x, dy = mpos.y - measure_start.y;
            snprintf(text, sizeof text, "X:%d Y:%d W:%d H:%d Length:%d", (int)mpos.x, (int)mpos.y, (int)dx, (int)dy,
                     (int)sqrtf(dx * dx + dy * dy));
            DrawToolTip(10, 10, text);
        }
    }
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

// The bitmap a button or an image is drawn with, by name; null for the
// other kinds, which have no one bitmap to name.
static const char* ShownBitmapName(const UIComp* c) {
    if (c->type == UI_BUTTON) return UIBitmapName(static_cast<const UICompButton*>(c)->bm_idle);
    if (c->type == UI_IMAGE) return UIBitmapName(static_cast<const UICompImage*>(c)->bitmap);
    return nullptr;
}

void ScreenMan::DrawEditModeOverlays() {
    Screen* top = TopScreen();
    UISet* set = top ? top->uiset : nullptr;
    if (!set) return;
    kd_bitmap_t* not_localized = kd->GetBitmap("core/icon-not-localized.png");
    kd_bitmap_t* dummy = kd->GetBitmap("core/icon-dummy.png");
    for (int i = 0; i < set->comps.count; i++) {
        UIComp* c = set->comps[i];
        if (!c) continue;
        vec2_t k[4];
        UIComponentCorners(c, k);
        bool selected = c == edit_selection;
        kd->SetAlpha(1);
        if (selected)
            kd->SetColor(0, 1, 0);
        else
            kd->SetColor(0.4f, 0.6f, 0.4f);
        for (int j = 0; j < 4; j++) kd->DrawLine(k[j].x, k[j].y, k[(j + 1) % 4].x, k[(j + 1) % 4].y);
        if (selected) {
            for (const vec2_t& corner : k) {
                float d = sqrtf((corner.x - mpos.x) * (corner.x - mpos.x) + (corner.y - mpos.y) * (corner.y - mpos.y));
                if (d <= 5)
                    kd->SetColor(0.5f, 0.9f, 0.5f);
                else
                    kd->SetColor(0.9f, 0.9f, 0.5f);
                kd->DrawRect(corner.x - 4, corner.y - 4, 8, 8);
            }
        }
        vec2_t p = c->GetStaticPos();
        kd->SetColor(1, 1, 1);
        kd->DrawRect(p.x - 1, p.y - 1, 3, 3);
        float blink = (draw_clock / 400) % 2 ? 0.15f : 1.0f;
        kd->SetAlpha(blink);
        if (!c->localize && not_localized) kd->DrawBitmapRS(not_localized, p.x, p.y, 0, 1);
        if (c->name && strstr(c->name, "dummy") && dummy) kd->DrawBitmapRS(dummy, p.x, p.y, 0, 1);
        kd->SetAlpha(1);
        if (Held(KD_KEY_F2)) DrawToolTip(p.x, p.y, c->name);
        const char* bitmap = ShownBitmapName(c);
        if (Held(KD_KEY_F3) && bitmap && *bitmap) {
            // Under the name when both are asked for, not over it.
            float below = Held(KD_KEY_F2) ? UIFontLineHeight(ConsoleFont()) + 6 : 0;
            DrawToolTip(p.x, p.y + below, bitmap);
        }
        if (Held(KD_KEY_F4) && c->parent) {
            vec2_t q = c->parent->GetStaticPos();
            kd->SetColor(0, 1, 0);
            kd->SetAlpha(0.25f);
            kd->DrawLine(p.x, p.y, q.x, q.y);
            kd->SetAlpha(1);
        }
    }
    kd->SetColor(1, 1, 1);
}

void ScreenMan::DrawDeveloperFrame() {
    float x = virtual_x, y = virtual_y, w = (float)virtual_width, h = (float)virtual_height;
    float aw = (float)actual_width, ah = (float)actual_height;
    kd->SetBlend(0);
    kd->SetColor(0, 0, 0);
    kd->SetAlpha(0.75f);
    kd->DrawRect(0, 0, aw, y);
    kd->DrawRect(0, y + h, aw, ah - y - h);
    kd->DrawRect(0, y, x, h);
    kd->DrawRect(x + w, y, aw - x - w, h);
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
    const float b = 7;
    kd->DrawRect(x - b, y - b, w + 2 * b, b);
    kd->DrawRect(x - b, y + h, w + 2 * b, b);
    kd->DrawRect(x - b, y, b, h);
    kd->DrawRect(x + w, y, b, h);
    kd_font_t* font = ConsoleFont();
    // A size without a device's name is drawn without the empty brackets,
    // which the small font draws together as a box.
    const char* name = GetResolutionName(virtual_width, virtual_height);
    if (font && *name)
        kd->DrawTextf(font, x, y + h + b + 2, "%d x %d (%s)", virtual_width, virtual_height, name);
    else if (font)
        kd->DrawTextf(font, x, y + h + b + 2, "%d x %d", virtual_width, virtual_height);
}

void ScreenMan::DrawHelpPanel() {
    static const char* const rows[][2] = {
        {"Ctrl+LMB", "Hold down to move component under cursor."},
        {"Alt+Ctrl+LMB", "Hold down to move current selected component."},
        {"Tab", "Select next component. Shift+Tab selects the previous one."},
        {"Z/z", "Move component back/forth in Z order."},
        {"NumPad", "Align comp. (eg. 7 is topleft, 8 is top, 5 is center and so on. Try it.)"},
        {"L", "Load/Reload ui file."},
        {"S", "Save ui file."},
        {"K", "Localize comp on/off (affects components with text)"},
        {"J", "Toggle cache mode between preload and cache on enter/leave (BE CAREFUL WITH THIS!)"},
        {"C", "Clone selected comp"},
        {"Del", "Delete selected comp"},
        {"E", "Edit component Text (if applicaple)"},
        {"N", "Edit component Name"},
        {"P", "Edit component Parent"},
        {"I", "Edit component Inherit value"},
        {"B", "Browse for component bitmap image. (For Labels)"},
        {"F", "Browse for component font. (if applicaple)"},
        {"A", "Add new component at mouse cursor."},
        {"W", "Isolate selected component for editing."},
        {"O", "Open screen browser. When in browser, exit edit mode and use a/z to browse."},
    };
    kd->SetBlend(0);
    kd->SetColor(0, 0, 0);
    kd->SetAlpha(0.85f);
    kd->DrawRect(40, 40, 760, 500);
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
    kd->DrawRect(40, 40, 760, 1);
    kd->DrawRect(40, 539, 760, 1);
    kd->DrawRect(40, 40, 1, 500);
    kd->DrawRect(799, 40, 1, 500);
    kd_font_t* font = ConsoleFont();
    if (!font) return;
    float line = kd->GetTextHeightf(font, "X");
    if (line <= 0) line = 16;
    float y = 50;
    kd->DrawTextf(font, 50, y, "Commands:   (LMB is left mouse button, RMB is the right one)");
    y += line * 1.5f;
    for (const auto& r : rows) {
        kd->DrawTextf(font, 50, y, "%s", r[0]);
        kd->DrawTextf(font, 180, y, "%s", r[1]);
        y += line;
    }
}
