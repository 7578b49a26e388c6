// Shared parts of the widget kinds. See ui-widgets.h.
#include "ui/ui-widgets.h"

#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "localization.h"
#include "manager.h"

UIWidgetHooks ui_widget_hooks;

void UISendComponentClick(UISet* set, UIComp* comp) {
    if (ui_widget_hooks.send_component_click) ui_widget_hooks.send_component_click(set, comp);
}

bool UIHasFocus(UIComp* comp) { return ui_widget_hooks.has_focus && ui_widget_hooks.has_focus(comp); }

bool UIIsLocked(UIComp* comp) { return ui_widget_hooks.is_locked && ui_widget_hooks.is_locked(comp); }

bool UIDeveloperMode() { return Manager::GetParms() && Manager::GetParms()->developer_mode; }

int UIBitmapWidth(kd_bitmap_t* bm) { return bm && bm->width > 0 ? bm->width : 0; }
int UIBitmapHeight(kd_bitmap_t* bm) { return bm && bm->height > 0 ? bm->height : 0; }
const char* UIBitmapName(kd_bitmap_t* bm) { return bm && bm->name ? bm->name : ""; }
bool UIBitmapIsPlaceholder(kd_bitmap_t* bm) { return !bm || !bm->name || bm->name[0] == '!'; }
bool UIBitmapUsable(kd_bitmap_t* bm) { return !UIBitmapIsPlaceholder(bm) && bm->width > 0 && bm->height > 0; }

const char* UIFontName(kd_font_t* font) { return font && font->name ? font->name : ""; }

float UIFontLineHeight(kd_font_t* font) { return font ? (float)font->line_height : 0; }

bool UIFontIsUTF8(kd_font_t* font) { return font && font->encoding == KD_FONT_UTF8; }

bool UIFontHasGlyph(kd_font_t* font, int code) {
    if (!font || !font->glyphs || code < 0) return false;
    if (font->encoding == KD_FONT_UTF8) {
        for (int i = 0; i < font->glyph_count; i++)
            if (font->glyphs[i].code == code) return true;
        return false;
    }
    if (code > 255 || code >= font->glyph_count) return false;
    const kd_glyph_t& g = font->glyphs[code];
    return g.advance > 0 || g.bitmap.width > 0;
}

void UIDrawSetup(UIComp* c, float A) {
    kd->SetColor(c->color.r, c->color.g, c->color.b);
    kd->SetAlpha(A * c->color.a);
    kd->SetBlend(c->blend_mode);
    kd->SetPixelFilter(c->pixel_filter);
}

bool UIPushRotation(UIComp* c) {
    float a = c->GetStaticAngle();
    if (fabsf(a) < 0.000001f) return false;
    vec2_t p = c->GetStaticPos();
    float ca = cosf(a), sa = sinf(a);
    // Translate to the origin, rotate, translate back. Built here rather
    // than from the engine's identity, so the kinds need no engine symbol
    // but the `kd` table.
    nTransform m = {{ca, -sa, 0, p.x - ca * p.x + sa * p.y,  //
                     sa, ca, 0, p.y - sa * p.x - ca * p.y,   //
                     0, 0, 1, 0,                             //
                     0, 0, 0, 1}};
    kd->PushTransform(&m);
    return true;
}

void UIDrawBitmapInBox(kd_bitmap_t* bm, float x, float y, float S) {
    if (!bm) return;
    int w = UIBitmapWidth(bm), h = UIBitmapHeight(bm);
    if (w & 1) x += 0.5f;
    if (h & 1) y += 0.5f;
    kd->DrawBitmapRS(bm, x + S * (float)w / 2, y + S * (float)h / 2, 0, S);
}

void UIDrawFittedText(kd_font_t* font, float x, float y, float room, float scale, const char* given) {
    const float kNarrowest = 0.85f;
    const char* text = given ? given : "";
    const float width = kd->GetTextWidthf(font, "%s", text);
    if (width > room) kd->SetTextTransform(scale * fmaxf(room / width, kNarrowest), scale, 0);
    std::string cut;
    // Measured again at the narrowed scale, which may be all it needs.
    const bool shortened = *text && width > room && kd->GetTextWidthf(font, "%s", text) > room;
    if (shortened) {
        // The longest start of the text, cut before a character and
        // without trailing spaces, that fits with "..." after it (or none,
        // "..." alone). A longer start is never narrower, so it is found by
        // halving: a long line costs a few measures a frame, not one for
        // each character it loses.
        std::vector<size_t> ends(1, 0);  // where a character starts
        for (size_t i = 1; text[i]; i++)
            if (((unsigned char)text[i] & 0xC0) != 0x80) ends.push_back(i);
        auto start = [&](size_t end) {
            std::string s(text, end);
            while (!s.empty() && s.back() == ' ') s.pop_back();
            return s;
        };
        size_t lo = 0, hi = ends.size();  // ends[lo] fits, or is the empty start; none from hi on does
        while (hi - lo > 1) {
            const size_t mid = lo + (hi - lo) / 2;
            if (kd->GetTextWidthf(font, "%s...", start(ends[mid]).c_str()) <= room)
                lo = mid;
            else
                hi = mid;
        }
        cut = start(ends[lo]);
    }
    if (shortened)
        kd->DrawTextf(font, x, y, "%s...", cut.c_str());
    else
        kd->DrawTextf(font, x, y, "%s", text);
    kd->SetTextTransform(scale, scale, 0);
}

const char* UIShownText(UIComp* c, const char* text) {
    if (text && c->features_enabled && c->localize) return loc_man.Localize(text);
    return text;
}

void UIWarnDynamicText(UIComp* c, const char* text) {
    if (!c->is_loaded || !c->localize || !UIDeveloperMode() || ui_widget_hooks.editor_active) return;
    UISet* set = c->OwnerSet();
    kd->Popupf(1, "Setting dynamic text '%s' for localizable component '%s/%s'\n", text ? text : "",
               set ? set->file.c_str() : "", c->name ? c->name : "");
}

void UIReplaceBitmap(UIComp* c, kd_bitmap_t** slot, kd_bitmap_t* bm) {
    if (bm) {
        c->ReplaceBitmapApplyingReferenceCounting(slot, bm->name);
        return;
    }
    // No name to load by: drop the reference taken for the old bitmap.
    if (*slot && c->OwnerSetLoaded() && c->features_enabled && !UIBitmapIsPlaceholder(*slot))
        kd->ReleaseBitmap(*slot);
    *slot = nullptr;
}

void UIApplyCacheModeToBitmap(kd_bitmap_t* bm, int mode) {
    if (UIBitmapIsPlaceholder(bm)) return;
    if (mode == UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE) kd->LoadBitmap(bm->name, ui_screen.cache_flags[1]);
    else if (mode == UI_CACHE_IGNORE_LOADING) kd->ReleaseBitmap(bm);
}

vec2_t UIEditDragSize(UIComp* c, float per) {
    vec2_t S = c->GetStaticPos();
    float mx = kd->GetKeyStatef(KD_KEY_POINTER_X), my = kd->GetKeyStatef(KD_KEY_POINTER_Y);
    vec2_t d = {fabsf(mx - S.x) / per, fabsf(my - S.y) / per};
    if (c->align & UI_ALIGN_HCENTER) d.x *= 2;
    if (c->align & UI_ALIGN_VCENTER) d.y *= 2;
    return d;
}

#include "ui/ui-ad.h"
#include "ui/ui-button.h"
#include "ui/ui-checkbox.h"
#include "ui/ui-editbox.h"
#include "ui/ui-emitter.h"
#include "ui/ui-image.h"
#include "ui/ui-listbox.h"
#include "ui/ui-model.h"
#include "ui/ui-ninepatch.h"
#include "ui/ui-path.h"
#include "ui/ui-rectangle.h"
#include "ui/ui-ruler.h"
#include "ui/ui-scriptable.h"
#include "ui/ui-slider.h"
#include "ui/ui-textbox.h"
#include "ui/ui-touchfield.h"
#include "ui/ui-touchgrid.h"

void UIRegisterWidgetKinds() {
    UIComp::RegisterCompClass(UI_BUTTON, UICompButton::Make);
    UIComp::RegisterCompClass(UI_CHECKBOX, UICompCheckbox::Make);
    UIComp::RegisterCompClass(UI_SLIDER, UICompSlider::Make);
    UIComp::RegisterCompClass(UI_EDITBOX, UICompEditbox::Make);
    UIComp::RegisterCompClass(UI_LISTBOX, UICompListbox::Make);
    UIComp::RegisterCompClass(UI_IMAGE, UICompImage::Make);
    UIComp::RegisterCompClass(UI_NINEPATCH, UICompNinePatch::Make);
    UIComp::RegisterCompClass(UI_TEXTBOX, UICompTextbox::Make);
    UIComp::RegisterCompClass(UI_PATH, UICompPath::Make);
    UIComp::RegisterCompClass(UI_EMITTER, UICompEmitter::Make);
    UIComp::RegisterCompClass(UI_SCRIPTABLE, UICompScriptable::Make);
    UIComp::RegisterCompClass(UI_TOUCHFIELD, UICompTouchField::Make);
    UIComp::RegisterCompClass(UI_TOUCHGRID, UICompTouchGrid::Make);
    UIComp::RegisterCompClass(UI_RECTANGLE, UICompRectangle::Make);
    UIComp::RegisterCompClass(UI_MARKER, UICompMarker::Make);
    UIComp::RegisterCompClass(UI_RULER, UICompRuler::Make);
    UIComp::RegisterCompClass(UI_AD, UICompAd::Make);
    UIComp::RegisterCompClass(UI_MODEL, UICompModel::Make);
}
