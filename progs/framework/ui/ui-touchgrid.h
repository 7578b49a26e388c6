// The touch grid: an invisible paging controller, a grid of equal cells
// (pages) along one or two axes with one selected per axis. A drag past a
// threshold moves the selection by whole steps and the shown offset eases
// to the selected step; scripts read the selected step and the offset to
// place the pages, and children placed relative to the grid move with it.
// A press on a child is cancelled while the grid moves, so letting go of a
// page being scrolled clicks nothing.
#ifndef FRAMEWORK_UI_TOUCHGRID_H
#define FRAMEWORK_UI_TOUCHGRID_H

#include "ui/ui-comps.h"

enum { UI_TOUCHGRID_NUM_PROPS = 14 };

class UICompTouchGrid : public UIComp {
public:
    // One axis of the grid. The step count is at least 1 and the step size
    // at least 1 unit (scripts and layouts may ask for less), so the
    // selection always names a cell and the drag arithmetic divides by a
    // size.
    struct AxisValue {
        bool enabled = true;
        int num_steps = 1;
        int selected = 0;  // within [0, num_steps - 1]
        float step_size = 64;
        float offset = 0;         // shown, eased toward the target
        float target_offset = 0;  // selected x step size
        float accumulator = 0;    // drag not yet turned into steps
        int steps_moved = 0;      // in the current drag

        void SetNumSteps(int n);
        void SetStepSize(float s);
        // Moves the selection to `n` (clamped) and the target with it.
        void Select(int n);
        // A pointer movement of d units; true when a step was taken (or the
        // axis is off).
        bool ApplyDrag(float d);
        // Eases the offset toward the target.
        void Update(float dt);
    };

    UICompTouchGrid();
    static UIComp* Make() { return new UICompTouchGrid(); }

    const UIKind& Kind() const override;
    void Update(float dt) override;
    // Nothing, but the developer's guides (edit mode, or SHIFT held).
    void Draw() override;
    void EditUpdate(float dt) override;
    int ProcessEvent(kd_event_t* e) override;
    void OnScreenEnter(Screen*) override { UnlockSlideGrip(); }
    void OnScreenLeave(Screen*) override { UnlockSlideGrip(); }
    // One cell times the dynamic scale; the content is all the cells.
    void UpdateDimensions() override;
    vec2_t GetScrollOffset() override { return vec2_t{x.offset, y.offset}; }

    void UnlockSlideGrip() { pressed = false; }
    bool IsPointOverContent(vec2_t p);
    // `c` is the grid or has it among its parents.
    bool Holds(UIComp* c) const;

    AxisValue x, y;
    float cell_width = 64, cell_height = 64;
    float content_width = 64, content_height = 64;
    bool pressed = false;
    vec2_t reference_position = {0, 0};
    vec2_t current_position = {0, 0};
};

#endif
