// The touch grid. See ui-touchgrid.h.
#include "ui/ui-touchgrid.h"

#include <math.h>
#include <stdio.h>

#include "ui/screen-manager.h"
#include "ui/ui-props.h"
#include "ui/ui-touchfield.h"
#include "ui/ui-widgets.h"

// ---------------------------------------------------------------------------
// One axis.

void UICompTouchGrid::AxisValue::SetNumSteps(int n) {
    num_steps = n < 1 ? 1 : n;
    Select(selected);
}

void UICompTouchGrid::AxisValue::SetStepSize(float s) {
    step_size = s >= 1 ? s : 1;  // also for NaN
    target_offset = (float)selected * step_size;
}

void UICompTouchGrid::AxisValue::Select(int n) {
    selected = n < 0 ? 0 : n > num_steps - 1 ? num_steps - 1 : n;
    target_offset = (float)selected * step_size;
}

bool UICompTouchGrid::AxisValue::ApplyDrag(float d) {
    if (!enabled) return true;
    // Dragging toward lower coordinates advances the selection.
    accumulator -= d;
    // The first step of a drag comes sooner: a quarter step, at most 50.
    bool first = steps_moved == 0;
    float threshold = first ? fminf(step_size * 0.25f, 50) : step_size;
    if (!(fabsf(accumulator) > threshold)) return false;
    // Counted in floating point and limited before it becomes an integer:
    // a wild movement must not overflow it.
    float limit = first ? 1.0f : (float)num_steps;
    float n = fminf(fmaxf(truncf(accumulator / threshold), -limit), limit);
    steps_moved += (int)n;
    Select(selected + (int)n);
    accumulator -= n * threshold;
    return true;
}

void UICompTouchGrid::AxisValue::Update(float dt) {
    if (!enabled) {
        offset = 0;
        return;
    }
    // Faster the further away: from 2 to 600 hundredths of a step a second.
    double gap = fabs((double)target_offset - offset);
    double speed = fmin(fmax(gap, 2.0), 600.0) * 0.01 * step_size;
    double step = (double)dt * speed, o = offset;
    if (o < target_offset) o = fmin(o + step, (double)target_offset);
    else if (o > target_offset) o = fmax(o - step, (double)target_offset);
    offset = (float)o;
}

// ---------------------------------------------------------------------------
// The grid.

UICompTouchGrid::UICompTouchGrid() {
    type = UI_TOUCHGRID;
    interactive = false;
    UpdateDimensions();
}

void UICompTouchGrid::UpdateDimensions() {
    width = cell_width = x.step_size;
    height = cell_height = y.step_size;
    content_width = x.step_size * (float)x.num_steps;
    content_height = y.step_size * (float)y.num_steps;
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
}

bool UICompTouchGrid::IsPointOverContent(vec2_t p) {
    vec2_t o = GetAlignedPos();
    float s = dynamic_scale;
    float x0 = o.x - s * x.offset, y0 = o.y - s * y.offset;
    return p.x >= x0 && p.x < x0 + s * content_width && p.y >= y0 && p.y < y0 + s * content_height;
}

bool UICompTouchGrid::Holds(UIComp* c) const {
    // Bounded: a parent loop made by hand must not hang the frame.
    for (int depth = 0; c && depth < 64; depth++, c = c->parent)
        if (c == this) return true;
    return false;
}

int UICompTouchGrid::ProcessEvent(kd_event_t* e) {
    if (!IsActive()) return 1;
    bool pointer = e->type == KD_EVENT_BUTTON_DOWN || e->type == KD_EVENT_BUTTON_UP ||
                   e->type == KD_EVENT_POINTER_MOVE || e->type == KD_EVENT_WHEEL;
    if (!pointer) return 0;
    if (e->id != 0) return 1;  // a second finger
    vec2_t p = {(float)e->x, (float)e->y};
    float s = dynamic_scale > 0 ? dynamic_scale : 1;
    switch (e->type) {
        case KD_EVENT_BUTTON_DOWN:
            if (!IsPointOverContent(p)) return 0;
            pressed = true;
            reference_position = current_position = p;
            x.steps_moved = y.steps_moved = 0;
            x.accumulator = y.accumulator = 0;
            return 1;
        case KD_EVENT_WHEEL:
            y.Select(y.selected - (int)(e->wheel / 120));
            return 1;
        default:
            if (!pressed) return 0;
            current_position = p;
            if (x.ApplyDrag((p.x - (float)e->prev_x) / s)) reference_position.x = p.x;
            if (y.ApplyDrag((p.y - (float)e->prev_y) / s)) reference_position.y = p.y;
            if (e->type == KD_EVENT_BUTTON_UP) pressed = false;
            return 1;
    }
}

void UICompTouchGrid::Update(float dt) {
    if (pressed && UITouchScreenIsCovered(this)) pressed = false;
    if (!IsActive()) return;
    x.Update(dt);
    y.Update(dt);
    bool moving = fabsf(x.target_offset - x.offset) >= 1 || fabsf(y.target_offset - y.offset) >= 1;
    if (!moving) return;
    // A press on a page that is being scrolled must not end in a click.
    for (const UICursor& c : sman.cursor)
        if (c.locked && c.locked != &comp_null && Holds(c.locked)) {
            UICancelCursorPresses(true);
            return;
        }
}

void UICompTouchGrid::Draw() {
    vec2_t P = GetAlignedPos();
    float s = dynamic_scale;
    char text[64];
    snprintf(text, sizeof text, "acc %.2f %.2f", x.accumulator, y.accumulator);
    vec2_t o = {P.x - s * x.offset, P.y - s * y.offset};
    vec2_t size = {s * content_width, s * content_height};
    if (!UIBeginTouchGuides(this, vec2_t{width, height}, o, size, pressed, reference_position, current_position,
                            text))
        return;
    for (int i = 1; i < x.num_steps; i++) {
        float gx = o.x + (float)i * size.x / (float)x.num_steps;
        kd->DrawLine(gx, o.y, gx, o.y + size.y);
    }
    for (int i = 1; i < y.num_steps; i++) {
        float gy = o.y + (float)i * size.y / (float)y.num_steps;
        kd->DrawLine(o.x, gy, o.x + size.x, gy);
    }
    UIEndTouchGuides();
}

void UICompTouchGrid::EditUpdate(float) {
    vec2_t d = UIEditDragSize(this, 1);
    x.SetStepSize(d.x);
    y.SetStepSize(d.y);
    UpdateDimensions();
}

// ---------------------------------------------------------------------------
// Properties.

static UICompTouchGrid* TG(UIComp* c) { return static_cast<UICompTouchGrid*>(c); }

// The set forms that move the selection of one axis.
static void SetSelected(UIComp* c, const UIPropValue& v, bool y_axis, bool relative, bool instant) {
    UICompTouchGrid::AxisValue& a = y_axis ? TG(c)->y : TG(c)->x;
    a.Select((relative ? a.selected : 0) + (int)v.num[0]);
    if (instant) a.offset = a.target_offset;
}

const UIKind& UICompTouchGrid::Kind() const {
    static constexpr UIPropRow rows[] = {
        // Written to layout files, in this order.
        UIProp("touchgrid.axis_x_enabled", UI_INTEGER, UI_FIELD(UICompTouchGrid, x.enabled), UI_EXPORT | UI_INHERIT),
        UIProp("touchgrid.axis_y_enabled", UI_INTEGER, UI_FIELD(UICompTouchGrid, y.enabled), UI_EXPORT | UI_INHERIT),
        UIProp("touchgrid.num_steps_axis_x", UI_INTEGER, UI_FIELD(UICompTouchGrid, x.num_steps),
               UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { TG(c)->x.SetNumSteps((int)v.num[0]); }),
        UIProp("touchgrid.num_steps_axis_y", UI_INTEGER, UI_FIELD(UICompTouchGrid, y.num_steps),
               UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { TG(c)->y.SetNumSteps((int)v.num[0]); }),
        UIProp("touchgrid.step_size_axis_x", UI_NUMBER, UI_FIELD(UICompTouchGrid, x.step_size),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("%d")
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { TG(c)->x.SetStepSize((float)v.num[0]); }),
        UIProp("touchgrid.step_size_axis_y", UI_NUMBER, UI_FIELD(UICompTouchGrid, y.step_size),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE)
            .Format("%d")
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { TG(c)->y.SetStepSize((float)v.num[0]); }),

        // The selection and the offsets: read and set by scripts, not written.
        UIProp("touchgrid.selected_step_axis_x", UI_INTEGER, UI_FIELD(UICompTouchGrid, x.selected), UI_READ)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { SetSelected(c, v, false, false, false); }),
        UIProp("touchgrid.selected_step_axis_y", UI_INTEGER, UI_FIELD(UICompTouchGrid, y.selected), UI_READ)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { SetSelected(c, v, true, false, false); }),
        UIProp("touchgrid.offset_selected_step_axis_x", UI_INTEGER, 0)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { SetSelected(c, v, false, true, false); }),
        UIProp("touchgrid.offset_selected_step_axis_y", UI_INTEGER, 0)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { SetSelected(c, v, true, true, false); }),
        UIProp("touchgrid.selected_step_axis_x_instant", UI_INTEGER, 0)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { SetSelected(c, v, false, false, true); }),
        UIProp("touchgrid.selected_step_axis_y_instant", UI_INTEGER, 0)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { SetSelected(c, v, true, false, true); }),
        UIProp("touchgrid.current_offset_x", UI_INTEGER, UI_FIELD(UICompTouchGrid, x.offset), UI_READ | UI_NO_SET),
        UIProp("touchgrid.current_offset_y", UI_INTEGER, UI_FIELD(UICompTouchGrid, y.offset), UI_READ | UI_NO_SET),
        // Both axes whole, and the derived sizes, come from a template.
        UIProp(nullptr, UI_NUMBER, UI_INHERIT | UI_NO_SET).OnCopy([](UIComp* to, UIComp* from) {
            TG(to)->x = TG(from)->x;
            TG(to)->y = TG(from)->y;
            TG(to)->cell_width = TG(from)->cell_width, TG(to)->cell_height = TG(from)->cell_height;
            TG(to)->content_width = TG(from)->content_width, TG(to)->content_height = TG(from)->content_height;
        }),
    };
    static_assert(UINamedRows(rows) == UI_TOUCHGRID_NUM_PROPS, "one row per touch grid property");
    static_assert(UIPropRowsValid(rows, "touchgrid."), "touch grid property table");
    static constexpr UIKind kind = UIMakeKind(UI_TOUCHGRID, "UICompTouchGrid", "touchgrid.", rows, Make);
    return kind;
}
