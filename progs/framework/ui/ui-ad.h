// The advert: a rectangle of a screen kept for an advert that the platform
// draws. It picks an advert format from its size, asks the platform's
// advert service for one while its screen is away, and shows it at its
// place when the screen is entered; it draws nothing itself. It speaks to
// the platform only through the "ADS_" extension commands; a platform
// without an advert service answers none of them, and then no advert is
// ever held and nothing is shown.
#ifndef FRAMEWORK_UI_AD_H
#define FRAMEWORK_UI_AD_H

#include "ui/ui-comps.h"

enum { UI_AD_NUM_PROPS = 2 };

enum UIAdType { UI_AD_NONE = 0, UI_AD_BANNER = 1, UI_AD_LARGE = 2, UI_AD_FULLSCREEN = 3 };

class UICompAd : public UIComp {
public:
    UICompAd();
    static UIComp* Make() { return new UICompAd(); }

    const UIKind& Kind() const override;
    void Update(float) override {}
    // Sets the draw state and draws nothing: the platform draws the advert.
    void Draw() override;
    void EditUpdate(float dt) override;
    void OnScreenEnter(Screen*) override { ShowAd(); }
    void OnScreenLeave(Screen*) override { HideAd(); }
    void UpdateDimensions() override;

    // From the scaled size: full screen from 90% of the virtual screen on,
    // else 300 x 250, else a 320 x 50 banner, else none.
    int GetPreferredAdType();
    // Asks for an advert of the preferred format (none for UI_AD_NONE).
    void PreloadAd();
    void PositionAd();
    bool IsAdReady();
    void ShowAd();
    // Dismisses the advert held and asks for the next one at once.
    void HideAd();
    // The developer's stand-in for the advert (the component's Draw does
    // not call it).
    void DrawPlaceholder();

    int loaded_ad_type = UI_AD_NONE;
    int ad_id = 0;
    float rect_width = 320, rect_height = 50;
};

#endif
