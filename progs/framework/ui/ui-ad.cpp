// The advert. See ui-ad.h.
#include "ui/ui-ad.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "ui/screen-manager.h"
#include "ui/ui-props.h"
#include "ui/ui-rectangle.h"
#include "ui/ui-widgets.h"

UICompAd::UICompAd() {
    type = UI_AD;
    interactive = false;
    UpdateDimensions();
}

void UICompAd::UpdateDimensions() {
    UISizeRectTimesScale(this, rect_width, rect_height, 320, 50);
    // The advert covers the virtual screen, not the display.
    if (scale_type == UI_SCALE_STRETCH_TO_COVER_SCREEN) {
        width = (float)ui_screen.virtual_width;
        height = (float)ui_screen.virtual_height;
    }
}

int UICompAd::GetPreferredAdType() {
    float vw = (float)ui_screen.virtual_width, vh = (float)ui_screen.virtual_height;
    if (width >= 0.9f * vw && height >= 0.9f * vh) return UI_AD_FULLSCREEN;
    if (width >= 300 && height >= 250) return UI_AD_LARGE;
    if (width >= 320 && height >= 50) return UI_AD_BANNER;
    return UI_AD_NONE;
}

void UICompAd::PreloadAd() {
    loaded_ad_type = UI_AD_NONE;
    int want = GetPreferredAdType();
    static const char* const formats[] = {nullptr, "LANDSCAPE", "300x250", "FULLSCREEN"};
    if (want == UI_AD_NONE) return;
    const char* reply = kd->CallExtension("ADS_REQUEST_AD", formats[want]);
    if (!reply) return;
    loaded_ad_type = want;
    ad_id = atoi(reply);
}

// The ad id as the commands take it.
static void IdText(char (&out)[16], int id) { snprintf(out, sizeof out, "%i", id); }

void UICompAd::PositionAd() {
    if (loaded_ad_type == UI_AD_NONE) return;
    vec2_t p = GetAlignedPos();
    char text[48];
    snprintf(text, sizeof text, "%d,%d,%d", ad_id, (int)p.x, (int)p.y);
    kd->CallExtension("ADS_SET_AD_POSITION", text);
}

bool UICompAd::IsAdReady() {
    if (loaded_ad_type == UI_AD_NONE) return false;
    char id[16];
    IdText(id, ad_id);
    const char* reply = kd->CallExtension("ADS_IS_AD_READY", id);
    return nStringsMatch(reply, "OK");
}

void UICompAd::ShowAd() {
    PositionAd();
    if (!IsAdReady()) return;
    char id[16];
    IdText(id, ad_id);
    kd->CallExtension("ADS_SHOW_AD", id);
}

void UICompAd::HideAd() {
    char id[16];
    IdText(id, ad_id);
    kd->CallExtension("ADS_DISMISS_AD", id);
    loaded_ad_type = UI_AD_NONE;
    PreloadAd();
}

void UICompAd::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
    float A = GetStaticAlpha();
    if (A > 0) UIDrawSetup(this, A);
}

void UICompAd::DrawPlaceholder() {
    vec2_t p = GetAlignedPos();
    vec2_t c = {p.x + width / 2, p.y + height / 2};
    kd->SetAlpha(GetStaticAlpha());
    kd->SetColor(1, 1, 1);
    kd->SetTextAlign(UI_ALIGN_CENTER);
    const char* text = "Ad: WARNING - no ad type fits here!";
    float w = 0, h = 0;
    switch (GetPreferredAdType()) {
        case UI_AD_LARGE: w = 300, h = 250, text = "Ad: Large 300x250"; break;
        case UI_AD_FULLSCREEN:
            w = (float)ui_screen.virtual_width, h = (float)ui_screen.virtual_height, text = "Ad: Fullscreen";
            break;
        case UI_AD_BANNER: w = 320, h = 50, text = "Ad: Landscape Banner"; break;
        default: break;
    }
    if (w > 0) kd->DrawRect(c.x - w / 2, c.y - h / 2, w, h);
    if (sman.default_font) kd->DrawTextf(sman.default_font, c.x, c.y, "%s", text);
    kd->SetTextAlign(0);
}

void UICompAd::EditUpdate(float) { UIDragRect(this, &rect_width, &rect_height); }

const UIKind& UICompAd::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("ad.rect_width", UI_NUMBER, UI_FIELD(UICompAd, rect_width),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("\"%g\""),
        UIProp("ad.rect_height", UI_NUMBER, UI_FIELD(UICompAd, rect_height),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("\"%g\""),
    };
    static_assert(UINamedRows(rows) == UI_AD_NUM_PROPS, "one row per ad property");
    static_assert(UIPropRowsValid(rows, "ad."), "ad property table");
    static constexpr UIKind kind = UIMakeKind(UI_AD, "UICompAd", "ad.", rows, Make, UI_UNKNOWN_NAMES_COMP);
    return kind;
}
