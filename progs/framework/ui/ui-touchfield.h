// The touch field: an invisible scrolling controller, a view area of fixed
// size over a larger content rectangle. A finger drags the content (the
// wheel turns the vertical axis); per axis the field keeps a scroll value
// with limits that are springy or hard, inertia after a fling and eased
// motion toward a target. Screens and scripts read "touchfield.value_x"
// and "touchfield.value_y" to place what they draw, and children placed
// relative to the field scroll with it.
//
// The touch grid (ui-touchgrid.h) shares the guide drawing and the way a
// moving container cancels the press that started on a child.
#ifndef FRAMEWORK_UI_TOUCHFIELD_H
#define FRAMEWORK_UI_TOUCHFIELD_H

#include "ui/ui-comps.h"

enum UITouchLimit { UI_LIMIT_SPRING = 0, UI_LIMIT_STOP, UI_LIMIT_SMOOTH_STOP, UI_LIMIT_SMOOTH_DRAG };

enum { UI_TOUCHFIELD_NUM_PROPS = 15 };

class UICompTouchField : public UIComp {
public:
    // One axis of the field.
    struct SlidingValue {
        bool enabled = true;
        float value = 0;            // the scroll offset, unscaled units
        int limit_type = UI_LIMIT_SPRING;
        float minimum = 0, maximum = 0;
        float drag_position = 0;    // where the drag puts the value; the SMOOTH_DRAG target
        float velocity = 0;         // units per second, after a release
        float speed = 0;            // accumulated drag movement: the measure of a fling
        bool dragging = false;
        float grab_value = 0;       // the value when the drag began
        bool drag_applied = false;  // an update has copied the drag position into the value
        bool moved_far = false;     // the drag went more than 10 units from where it began

        // A press (or a wheel step) takes hold of the axis.
        void Grab();
        // The drag of `d` units since the press (positive moves the
        // content toward lower coordinates).
        void UpdateSlide(float d);
        // Lets a running drag go; a fast one leaves velocity behind.
        void Release();
        // Inertia, springs and eased motion for dt seconds.
        void Update(float dt);
    };

    UICompTouchField();
    static UIComp* Make() { return new UICompTouchField(); }

    const UIKind& Kind() const override;
    void Update(float dt) override;
    // Nothing, but the developer's guides (edit mode, or SHIFT held).
    void Draw() override;
    void EditUpdate(float dt) override;
    int ProcessEvent(kd_event_t* e) override;
    void OnScreenEnter(Screen*) override { UnlockSlideGrip(); }
    void OnScreenLeave(Screen*) override { UnlockSlideGrip(); }
    // The area times the dynamic scale; the limits from the content and
    // area sizes (so limits set by a script last until the next call).
    void UpdateDimensions() override;
    vec2_t GetScrollOffset() override { return vec2_t{x.value, y.value}; }

    void SetValueX(float v) { x.value = x.drag_position = v; }
    void SetValueY(float v) { y.value = y.drag_position = v; }
    void SetAreaWidth(float v) { area_width = v, UpdateDimensions(); }
    void SetAreaHeight(float v) { area_height = v, UpdateDimensions(); }
    void SetContentWidth(float v) { content_width = v, UpdateDimensions(); }
    void SetContentHeight(float v) { content_height = v, UpdateDimensions(); }
    void SlideToTargetValueX(float v) { SlideToTarget(x, v); }
    void SlideToTargetValueY(float v) { SlideToTarget(y, v); }
    // Lets go of both axes and of the press.
    void UnlockSlideGrip();
    bool IsPointOverContent(vec2_t p);
    bool IsPointOverViewArea(vec2_t p);

    float content_width = 100, content_height = 100;
    float area_width = 100, area_height = 100;
    SlidingValue x, y;
    bool pressed = false;
    vec2_t press_position = {0, 0};
    vec2_t current_position = {0, 0};
    bool allow_dragging_only_inside_view_area = false;

private:
    static void SlideToTarget(SlidingValue& a, float v);
};

// Shared by the touch field and the touch grid.

// The owner screen is not the top of the stack (a press held there is let go).
bool UITouchScreenIsCovered(UIComp* c);
// A container moved far enough under a press: every cursor lets go, and
// the cursors given (all when `only_locked` is false, else those that were
// locked) stay locked to nothing, so the press ends in no click.
void UICancelCursorPresses(bool only_locked);
// The guides of the developer (drawn while edit mode is on or SHIFT is
// held in developer mode): the view rectangle in black, the content
// rectangle in white, the press line, and a line of text at the aligned
// position. Answers whether the guides are on (the caller then adds its
// own lines and calls UIEndTouchGuides).
bool UIBeginTouchGuides(UIComp* c, vec2_t view_size, vec2_t content_origin, vec2_t content_size, bool pressed,
                        vec2_t from, vec2_t to, const char* text);
void UIEndTouchGuides();

#endif
