// The rectangle and the marker. See ui-rectangle.h.
#include "ui/ui-rectangle.h"

#include <math.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

void UICoverScreenSize(UIComp* c) {
    if (c->scale_type != UI_SCALE_STRETCH_TO_COVER_SCREEN) return;
    c->width = (float)ui_screen.actual_width;
    c->height = (float)ui_screen.actual_height;
}

// ---------------------------------------------------------------------------
// Rectangle.

UICompRectangle::UICompRectangle() {
    type = UI_RECTANGLE;
    interactive = false;
}

void UISizeRectTimesScale(UIComp* c, float w, float h, float zero_w, float zero_h) {
    c->width = w * c->scale;
    c->height = h * c->scale;
    if (c->width == 0) c->width = zero_w;
    if (c->height == 0) c->height = zero_h;
    c->CalculateDynamicScale();
    c->width *= c->dynamic_scale;
    c->height *= c->dynamic_scale;
}

void UIDragRect(UIComp* c, float* rect_w, float* rect_h) {
    vec2_t d = UIEditDragSize(c, 1);
    *rect_w = c->width = d.x;
    *rect_h = c->height = d.y;
    c->UpdateDimensions();
}

void UICompRectangle::UpdateDimensions() {
    UISizeRectTimesScale(this, rect_width, rect_height, 16, 16);
    UICoverScreenSize(this);
}

void UICompRectangle::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
    vec2_t P = GetAlignedPos();
    float A = GetStaticAlpha();
    if (!(A > 0)) return;
    bool pushed = UIPushRotation(this);
    UIDrawSetup(this, A);
    if (rect_width > 0 && rect_height > 0) kd->DrawRect(P.x, P.y, width, height);
    if (pushed) kd->PopTransform();
}

void UICompRectangle::EditUpdate(float) { UIDragRect(this, &rect_width, &rect_height); }

const UIKind& UICompRectangle::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("rectangle.rect_width", UI_NUMBER, UI_FIELD(UICompRectangle, rect_width),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("\"%g\""),
        UIProp("rectangle.rect_height", UI_NUMBER, UI_FIELD(UICompRectangle, rect_height),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("\"%g\""),
    };
    static_assert(UINamedRows(rows) == UI_RECTANGLE_NUM_PROPS, "one row per rectangle property");
    static_assert(UIPropRowsValid(rows, "rectangle."), "rectangle property table");
    static constexpr UIKind kind =
        UIMakeKind(UI_RECTANGLE, "UICompRectangle", "rectangle.", rows, Make, UI_UNKNOWN_NAMES_COMP);
    return kind;
}

// ---------------------------------------------------------------------------
// Marker.

UICompMarker::UICompMarker() {
    type = UI_MARKER;
    interactive = false;
}

void UICompMarker::UpdateDimensions() {
    width = area_width;
    height = area_height;
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
    UICoverScreenSize(this);
}

void UICompMarker::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
}

void UICompMarker::EditUpdate(float) {
    // A scale of 0 would make the area infinite: the drag waits for one.
    if (!(dynamic_scale > 0)) return;
    vec2_t d = UIEditDragSize(this, dynamic_scale);
    area_width = d.x;
    area_height = d.y;
    UpdateDimensions();
}

const UIKind& UICompMarker::Kind() const {
    // A copy keeps the area; a marker re-based on a template keeps its own.
    static constexpr UIPropRow rows[] = {
        UIProp("marker.area_width", UI_NUMBER, UI_FIELD(UICompMarker, area_width), UI_READ | UI_EXPORT | UI_CLONE),
        UIProp("marker.area_height", UI_NUMBER, UI_FIELD(UICompMarker, area_height), UI_READ | UI_EXPORT | UI_CLONE),
    };
    static_assert(UINamedRows(rows) == UI_MARKER_NUM_PROPS, "one row per marker property");
    static_assert(UIPropRowsValid(rows, "marker."), "marker property table");
    static constexpr UIKind kind = UIMakeKind(UI_MARKER, "UICompMarker", "marker.", rows, Make, UI_UNKNOWN_NAMES_COMP);
    return kind;
}
