// Two plain areas: the rectangle, filled in the component colour
// (backdrops, dimming layers), and the marker, an invisible area that
// scripts and the game use as a named place and size on the screen.
#ifndef FRAMEWORK_UI_RECTANGLE_H
#define FRAMEWORK_UI_RECTANGLE_H

#include "ui/ui-comps.h"

enum { UI_RECTANGLE_NUM_PROPS = 2, UI_MARKER_NUM_PROPS = 2 };

class UICompRectangle : public UIComp {
public:
    UICompRectangle();
    static UIComp* Make() { return new UICompRectangle(); }

    const UIKind& Kind() const override;
    void Update(float) override {}
    // Fills the scaled box when both sizes are above 0.
    void Draw() override;
    void EditUpdate(float dt) override;
    // The size times "scale" (16 for a size of 0, so the box can still be
    // hit and laid out), times the dynamic scale.
    void UpdateDimensions() override;

    float rect_width = 0, rect_height = 0;
};

class UICompMarker : public UIComp {
public:
    UICompMarker();
    static UIComp* Make() { return new UICompMarker(); }

    const UIKind& Kind() const override;
    void Update(float) override {}
    // Draws nothing.
    void Draw() override;
    void EditUpdate(float dt) override;
    // The area times the dynamic scale; setting the area does not
    // re-measure, the screen's next drawing pass does.
    void UpdateDimensions() override;

    float area_width = 64, area_height = 64;
};

// The size that scale type STRETCH_TO_COVER_SCREEN gives: the display's.
void UICoverScreenSize(UIComp* c);
// width and height = the unscaled size times "scale" (a side of 0 taking
// the stand-in given for it), then times the dynamic scale.
void UISizeRectTimesScale(UIComp* c, float w, float h, float zero_w, float zero_h);
// The editor's resize drag for kinds sized by a rectangle: the dragged
// size becomes the rectangle and the unscaled width and height.
void UIDragRect(UIComp* c, float* rect_w, float* rect_h);

#endif
