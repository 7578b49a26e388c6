// The touch field. See ui-touchfield.h.
#include "ui/ui-touchfield.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "ui/screen-manager.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

// ---------------------------------------------------------------------------
// Shared with the touch grid.

bool UITouchScreenIsCovered(UIComp* c) { return c->owner && sman.PeekScreen(0) != c->owner; }

void UICancelCursorPresses(bool only_locked) {
    bool locked[UI_MAX_CURSORS];
    for (int i = 0; i < UI_MAX_CURSORS; i++) locked[i] = sman.cursor[i].locked != nullptr;
    sman.UnlockCursors();
    for (int i = 0; i < UI_MAX_CURSORS; i++)
        if (!only_locked || locked[i]) sman.cursor[i].locked = &comp_null;
}

bool UIBeginTouchGuides(UIComp* c, vec2_t view_size, vec2_t content_origin, vec2_t content_size, bool pressed,
                        vec2_t from, vec2_t to, const char* text) {
    if (!UIDeveloperMode() || !(ui_widget_hooks.edit_mode || kd->GetKeyStatei(16))) return false;
    vec2_t P = c->GetAlignedPos();
    UIDrawSetup(c, c->GetStaticAlpha());
    kd->SetColor(0, 0, 0);
    kd->DrawRect(P.x, P.y, view_size.x, view_size.y);
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(0.75f);
    kd->DrawRect(content_origin.x, content_origin.y, content_size.x, content_size.y);
    if (pressed) kd->DrawLine(from.x, from.y, to.x, to.y);
    if (kd_font_t* font = kd->GetFont("core/console.sft")) kd->DrawTextf(font, P.x, P.y, "%s", text);
    return true;
}

void UIEndTouchGuides() { kd->SetColor(1, 1, 1); }

// ---------------------------------------------------------------------------
// One axis.

void UICompTouchField::SlidingValue::Grab() {
    grab_value = drag_position = value;
    moved_far = drag_applied = false;
    dragging = true;
    if (fabsf(speed) < 2) velocity = 0;
}

void UICompTouchField::SlidingValue::Release() {
    if (!dragging) return;
    dragging = false;
    // Speeds of 3 or less are a slow let-go and leave no motion; from 4 up
    // the whole speed counts.
    float f = fabsf(speed) - 3;
    velocity += speed * 100 * (f < 0 ? 0 : f > 1 ? 1 : f);
}

void UICompTouchField::SlidingValue::UpdateSlide(float d) {
    if (!dragging) return;
    if (fabsf(d) > 10) moved_far = true;
    float p = d + grab_value;
    float step = p - drag_position;
    // The sign bit decides, so a step of -0 counts as a change of direction
    // from a positive speed.
    if (signbit(speed) == signbit(step)) speed += step;
    else speed = step;
    drag_applied = false;
    drag_position = truncf(p);
    switch (limit_type) {
        case UI_LIMIT_SPRING:
            // Past a limit the content follows the finger at half the pace.
            if (drag_position < minimum) drag_position = (drag_position + minimum) / 2;
            if (drag_position > maximum) drag_position = (maximum + drag_position) / 2;
            value = drag_position;
            break;
        case UI_LIMIT_STOP: value = fminf(fmaxf(drag_position, minimum), maximum); break;
        case UI_LIMIT_SMOOTH_DRAG: drag_position = fminf(fmaxf(drag_position, minimum), maximum); break;
        default: break;
    }
}

void UICompTouchField::SlidingValue::Update(float dt) {
    speed = fminf(fmaxf(speed, -10), 10) * (float)pow(2.5e-5, (double)dt);
    bool springy = limit_type == UI_LIMIT_SPRING || limit_type == UI_LIMIT_STOP;
    if (springy && !dragging) {
        value += dt * velocity;
        velocity *= (float)pow(fabsf(velocity) < 100 ? 0.001 : 0.025, (double)dt);
        // At rest the value lands on a whole number, but not past a limit:
        // there the rounding would undo each frame's pull of the spring and
        // hold the content a unit or two beyond the limit for good.
        if (fabsf(velocity) < 10) {
            velocity = 0;
            if (value >= minimum && value <= maximum) value = truncf(value + 0.5f);
        }
        if (limit_type == UI_LIMIT_SPRING) {
            if (value < minimum) value = fminf(value + dt * (minimum - value) * 10, minimum);
            if (value > maximum) value = fmaxf(value + dt * (maximum - value) * 10, maximum);
            // Within half a unit the spring is done.
            if (velocity == 0 && value < minimum && minimum - value < 0.5f) value = minimum;
            if (velocity == 0 && value > maximum && value - maximum < 0.5f) value = maximum;
        } else {
            value = fminf(fmaxf(value, minimum), maximum);
        }
    } else if (springy) {
        if (!drag_applied) {
            drag_applied = true;
            value = drag_position;
        }
        if (limit_type == UI_LIMIT_STOP) value = fminf(fmaxf(value, minimum), maximum);
    } else if (limit_type == UI_LIMIT_SMOOTH_DRAG) {
        double step = (double)dt * fabs((double)drag_position - value) * 10;
        double v = value;
        if (v < drag_position) v = fmin(v + step, (double)drag_position);
        else if (v > drag_position) v = fmax(v - step, (double)drag_position);
        value = (float)v;
    }
}

// ---------------------------------------------------------------------------
// The field.

UICompTouchField::UICompTouchField() {
    type = UI_TOUCHFIELD;
    interactive = false;
    UpdateDimensions();
}

void UICompTouchField::SlideToTarget(SlidingValue& a, float v) {
    a.drag_position = v;
    a.moved_far = false;
    a.Release();
}

void UICompTouchField::UnlockSlideGrip() {
    for (SlidingValue* a : {&x, &y}) {
        if (!a->enabled) continue;
        a->moved_far = false;
        a->Release();
    }
    pressed = false;
}

bool UICompTouchField::IsPointOverContent(vec2_t p) {
    vec2_t o = GetAlignedPos();
    float s = dynamic_scale;
    float x0 = o.x - s * x.value, y0 = o.y - s * y.value;
    return p.x >= x0 && p.x < x0 + s * content_width && p.y >= y0 && p.y < y0 + s * content_height;
}

bool UICompTouchField::IsPointOverViewArea(vec2_t p) {
    vec2_t o = GetAlignedPos();
    float s = dynamic_scale;
    return p.x >= o.x && p.x < o.x + s * area_width && p.y >= o.y && p.y < o.y + s * area_height;
}

void UICompTouchField::UpdateDimensions() {
    width = area_width;
    height = area_height;
    x.minimum = y.minimum = 0;
    x.maximum = fmaxf(0, content_width - area_width);
    y.maximum = fmaxf(0, content_height - area_height);
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
}

int UICompTouchField::ProcessEvent(kd_event_t* e) {
    bool pointer = e->type == KD_EVENT_BUTTON_DOWN || e->type == KD_EVENT_BUTTON_UP || e->type == KD_EVENT_POINTER_MOVE;
    // A second finger is not a drag of this field.
    if (pointer && e->id != 0) return 1;
    vec2_t p = {(float)e->x, (float)e->y};
    // A scale of 0 would make every move infinite.
    float s = dynamic_scale > 0 ? dynamic_scale : 1;
    switch (e->type) {
        case KD_EVENT_BUTTON_DOWN: {
            bool inside = allow_dragging_only_inside_view_area ? IsPointOverViewArea(p) : IsPointOverContent(p);
            if (!inside) return 0;
            for (SlidingValue* a : {&x, &y})
                if (a->enabled) a->Grab();
            pressed = true;
            press_position = current_position = p;
            return 1;
        }
        case KD_EVENT_BUTTON_UP:
            if (!pressed) return 0;
            for (SlidingValue* a : {&x, &y}) {
                if (!a->enabled) continue;
                a->moved_far = false;
                a->Release();
            }
            current_position = p;
            pressed = false;
            return 1;
        case KD_EVENT_POINTER_MOVE:
            if (!pressed) return 0;
            current_position = p;
            if (x.enabled) x.UpdateSlide((press_position.x - p.x) / s);
            if (y.enabled) y.UpdateSlide((press_position.y - p.y) / s);
            return 1;
        case KD_EVENT_WHEEL:
            // A notch drags the vertical axis by one unit and lets it go.
            if (pressed || !y.enabled) return 0;
            y.Grab();
            y.UpdateSlide((float)e->wheel / 120);
            y.moved_far = false;
            y.Release();
            return 0;
        default: return 0;
    }
}

void UICompTouchField::Update(float dt) {
    if (pressed && UITouchScreenIsCovered(this)) UnlockSlideGrip();
    for (SlidingValue* a : {&x, &y}) {
        if (!a->enabled) {
            a->value = 0;
            continue;
        }
        a->Update(dt);
        // The press that started the drag must not end in a click on a
        // component under it.
        if (a->moved_far) UICancelCursorPresses(false);
    }
}

void UICompTouchField::Draw() {
    vec2_t P = GetAlignedPos();
    float s = dynamic_scale;
    char text[48];
    snprintf(text, sizeof text, "vel %.2f", y.velocity);
    vec2_t origin = {P.x - s * x.value, P.y - s * y.value};
    if (!UIBeginTouchGuides(this, vec2_t{width, height}, origin, vec2_t{s * content_width, s * content_height},
                            pressed, press_position, current_position, text))
        return;
    kd->SetColor(1, 0, 0);
    kd->DrawLine(press_position.x, press_position.y, press_position.x + 2 * x.speed,
                 press_position.y + 2 * y.speed);
    UIEndTouchGuides();
}

void UICompTouchField::EditUpdate(float) {
    vec2_t d = UIEditDragSize(this, 1);
    area_width = d.x;
    area_height = d.y;
    UpdateDimensions();
}

// ---------------------------------------------------------------------------
// Properties.

static UICompTouchField* TF(UIComp* c) { return static_cast<UICompTouchField*>(c); }

static constexpr UIKeyword limit_words[] = {{"SPRING", UI_LIMIT_SPRING},
                                            {"STOP", UI_LIMIT_STOP},
                                            {"SMOOTH_STOP", UI_LIMIT_SMOOTH_STOP},
                                            {"SMOOTH_DRAG", UI_LIMIT_SMOOTH_DRAG}};
// Any other word is SPRING, without a warning.
static constexpr UIKeywordSet limit_types = UIWordSet(limit_words, UI_LIMIT_SPRING, "SPRING", "SPRING");

const UIKind& UICompTouchField::Kind() const {
    static constexpr UIPropRow rows[] = {
        // Written to layout files, in this order.
        UIProp("touchfield.allow_dragging_only_inside_view_area", UI_FLAG,
               UI_FIELD(UICompTouchField, allow_dragging_only_inside_view_area), UI_EXPORT | UI_INHERIT)
            .OnPut([](UIComp* c, UIComp* T, nString& out) {
                bool v = TF(c)->allow_dragging_only_inside_view_area;
                if (v != TF(T)->allow_dragging_only_inside_view_area)
                    UIAppendf(out, "SetProperty (\"touchfield.allow_dragging_only_inside_view_area\", %s);\n",
                              v ? "true" : "false");
            }),
        UIProp("touchfield.area_width", UI_NUMBER, UI_FIELD(UICompTouchField, area_width),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("touchfield.area_height", UI_NUMBER, UI_FIELD(UICompTouchField, area_height),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("touchfield.content_width", UI_NUMBER, UI_FIELD(UICompTouchField, content_width),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("touchfield.content_height", UI_NUMBER, UI_FIELD(UICompTouchField, content_height),
               UI_READ | UI_EXPORT | UI_INHERIT | UI_REMEASURE),
        UIProp("touchfield.axis_x_enabled", UI_INTEGER, UI_FIELD(UICompTouchField, x.enabled),
               UI_EXPORT | UI_INHERIT),
        UIProp("touchfield.axis_y_enabled", UI_INTEGER, UI_FIELD(UICompTouchField, y.enabled),
               UI_EXPORT | UI_INHERIT),
        UIProp("touchfield.limit_type", UI_KEYWORD, UI_FIELD(UICompTouchField, x.limit_type), UI_EXPORT | UI_INHERIT)
            .Words(limit_types)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                TF(c)->x.limit_type = TF(c)->y.limit_type = (int)v.num[0];
            }),

        // The scroll state: read and set by scripts, not written.
        UIProp("touchfield.value_x", UI_NUMBER, UI_FIELD(UICompTouchField, x.value), UI_READ)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { TF(c)->SetValueX((float)v.num[0]); }),
        UIProp("touchfield.value_y", UI_NUMBER, UI_FIELD(UICompTouchField, y.value), UI_READ)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { TF(c)->SetValueY((float)v.num[0]); }),
        UIProp("touchfield.values", UI_NUMBER, UI_READ | UI_NO_SET).OnGet([](UIComp* c, lua_State* L) {
            lua_pushnumber(L, TF(c)->x.value);
            lua_pushnumber(L, TF(c)->y.value);
            return 2;
        }),
        UIProp("touchfield.target_value_x", UI_NUMBER, 0).OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
            TF(c)->SlideToTargetValueX((float)v.num[0]);
        }),
        UIProp("touchfield.target_value_y", UI_NUMBER, 0).OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
            TF(c)->SlideToTargetValueY((float)v.num[0]);
        }),
        UIProp("touchfield.limits_x", UI_NUMBER,
               UIPair([](UIComp* c, double* v) { v[0] = TF(c)->x.minimum, v[1] = TF(c)->x.maximum; },
                      [](UIComp* c, const double* v) {
                          TF(c)->x.minimum = (float)v[0], TF(c)->x.maximum = (float)fmax(v[0], v[1]);
                      },
                      2),
               UI_READ),
        UIProp("touchfield.limits_y", UI_NUMBER,
               UIPair([](UIComp* c, double* v) { v[0] = TF(c)->y.minimum, v[1] = TF(c)->y.maximum; },
                      [](UIComp* c, const double* v) {
                          TF(c)->y.minimum = (float)v[0], TF(c)->y.maximum = (float)fmax(v[0], v[1]);
                      },
                      2),
               UI_READ),
        // A template gives its whole scroll state too.
        UIProp(nullptr, UI_NUMBER, UI_INHERIT | UI_NO_SET).OnCopy([](UIComp* to, UIComp* from) {
            TF(to)->x = TF(from)->x;
            TF(to)->y = TF(from)->y;
            TF(to)->pressed = TF(from)->pressed;
            TF(to)->press_position = TF(from)->press_position;
            TF(to)->current_position = TF(from)->current_position;
        }),
    };
    static_assert(UINamedRows(rows) == UI_TOUCHFIELD_NUM_PROPS, "one row per touch field property");
    static_assert(UIPropRowsValid(rows, "touchfield."), "touch field property table");
    static constexpr UIKind kind = UIMakeKind(UI_TOUCHFIELD, "UICompTouchField", "touchfield.", rows, Make);
    return kind;
}
