// The list box. See ui-listbox.h.
#include "ui/ui-listbox.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "manager.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompListbox::UICompListbox() {
    type = UI_LISTBOX;
    interactive = false;
}

UICompListbox::~UICompListbox() { ClearLines(); }

// ---------------------------------------------------------------------------
// Lines.

// Formats into the box's 4096-byte line buffer; a null format gives "".
#define UI_LISTBOX_FORMAT(buffer, fmt)              \
    char buffer[4096];                              \
    buffer[0] = 0;                                  \
    if (fmt) {                                      \
        va_list ap_;                                \
        va_start(ap_, fmt);                         \
        vsnprintf(buffer, sizeof buffer, fmt, ap_); \
        va_end(ap_);                                \
    }

static size_t Length(const char* text) { return text ? strlen(text) + 1 : 0; }

size_t UICompListbox::held_bytes = 0;
bool UICompListbox::refusal_reported = false;

bool UICompListbox::Fits(int more_lines, size_t more, size_t less) {
    more += (size_t)more_lines * sizeof(UIListboxLine);
    if (held_bytes - less + more <= kMaxBytes) {
        held_bytes = held_bytes - less + more;
        bytes = bytes - less + more;
        return true;
    }
    if (!refusal_reported)
        kd->PrintDebugf(KD_LOG_WARNING,
                        "List boxes hold %zu bytes together, all they may (%zu): a line or text of list box '%s' and "
                        "further ones are left out.\n",
                        held_bytes, kMaxBytes, name ? name : "");
    refusal_reported = true;
    return false;
}

bool UICompListbox::Replace(char*& field, const char* text) {
    if (!Fits(0, Length(text), Length(field))) return false;
    char* copy = text ? nStringDuplicate(text) : nullptr;
    free(field);
    field = copy;
    return true;
}

int UICompListbox::AddLine() {
    if (!Fits(1, 0, 0)) return -1;
    lines.InsertLast(UIListboxLine());
    return lines.count - 1;
}

int UICompListbox::AddLine(kd_bitmap_t* bm, const char* fmt, ...) {
    UI_LISTBOX_FORMAT(buffer, fmt);
    if (!Fits(1, Length(buffer), 0)) return -1;
    UIListboxLine line;
    line.bitmap = bm;
    line.text = nStringDuplicate(buffer);
    lines.InsertLast(line);
    if (bm) {
        // The column fits the bitmap drawn at the height of a line (never
        // enlarged); a bitmap without pixels yet reserves only the gap.
        int h = UIBitmapHeight(bm);
        float s = h > 0 ? ((float)line_height - 2) / (float)h : 1;
        s = s < 0 ? 0 : s > 1 ? 1 : s;
        int w = (int)((float)UIBitmapWidth(bm) * s + 2.0f);
        if (w > bitmap_column_width) bitmap_column_width = w;
    }
    return lines.count - 1;
}

const UIListboxLine* UICompListbox::GetLine(int i) const { return i >= 0 && i < lines.count ? &lines[i] : nullptr; }

int UICompListbox::SetLineId(int i, const char* id) {
    if (i < 0 || i >= lines.count) return 0;
    return Replace(lines[i].id, id ? id : "") ? 1 : 0;
}

int UICompListbox::SetLineText(int i, const char* fmt, ...) {
    if (i < 0 || i >= lines.count) return 0;
    if (!fmt) {
        Replace(lines[i].text, nullptr);
        return 1;
    }
    UI_LISTBOX_FORMAT(buffer, fmt);
    return Replace(lines[i].text, buffer) ? 1 : 0;
}

void UICompListbox::SetLineTextRight(int i, const char* fmt, ...) {
    if (i < 0 || i >= lines.count) return;
    if (!fmt) {
        Replace(lines[i].text_right, nullptr);
        return;
    }
    UI_LISTBOX_FORMAT(buffer, fmt);
    Replace(lines[i].text_right, buffer);
}

void UICompListbox::SetLineBitmap(int i, kd_bitmap_t* bm) {
    if (i >= 0 && i < lines.count) lines[i].bitmap = bm;
}

void UICompListbox::ClearLines() {
    for (int i = 0; i < lines.count; i++) {
        free(lines[i].id);
        free(lines[i].text);
        free(lines[i].text_right);
        lines[i] = UIListboxLine();
    }
    lines.count = 0;
    held_bytes -= bytes;
    bytes = 0;
}

void UICompListbox::SetFont(kd_font_t* f) {
    // A font the engine could not supply leaves no font and the line
    // height as it was.
    font = f;
    if (f && f->line_height > line_height) line_height = f->line_height;
}

// ---------------------------------------------------------------------------
// Size and scrolling.

bool UICompListbox::FrameSized() const { return UIBitmapWidth(bm_frame) > 0; }

int UICompListbox::VisibleLines(int box_height) const {
    return line_height > 0 ? (box_height - padding_top - padding_bottom) / line_height : 0;
}

void UICompListbox::UpdateDimensions() {
    CalculateDynamicScale();
    if (FrameSized()) {
        content_width = UIBitmapWidth(bm_frame);
        content_height = UIBitmapHeight(bm_frame);
    }
    width = (float)(content_width ? content_width : 16) * dynamic_scale;
    height = (float)(content_height ? content_height : 16) * dynamic_scale;
}

// The target may run past either end by as many lines as a line is
// pixels high (the rubber band); Update springs it back.
void UICompListbox::ClampTarget() {
    float n = (float)lines.count, L = (float)line_height;
    if (scroll_position + pending_scroll < -L)
        pending_scroll = -scroll_position;
    else if (scroll_position + pending_scroll > L + n)
        pending_scroll = n - scroll_position;
}

// The eased rate for a distance d: 10 x d lines per second, at least 2
// and at most 80.
static float Rate(float d, float dt) {
    float a = fabsf(d);
    a = a < 0.2f ? 0.2f : a > 8.0f ? 8.0f : a;
    return dt * 10 * (d < 0 ? -a : a);
}

// One eased step from v towards a target, landing on it exactly rather
// than passing it: a spring that passes its rest point goes back and
// forth around it for ever, and the lines shimmer.
static float Towards(float v, float target, float dt) {
    float d = target - v, step = Rate(d, dt);
    return fabsf(step) >= fabsf(d) ? target : v + step;
}

void UICompListbox::Update(float dt) {
    if (!bm_frame) return;
    ClampTarget();
    if (pending_scroll != 0) {
        float step = Rate(pending_scroll, dt);
        if (fabsf(step) >= fabsf(pending_scroll)) {
            scroll_position += pending_scroll;
            pending_scroll = 0;
        } else {
            scroll_position += step;
            pending_scroll -= step;
        }
    }
    if (dragging) return;
    if (scroll_position < 0) {
        scroll_position = Towards(scroll_position, 0, dt);
    } else {
        int limit = lines.count - VisibleLines(UIBitmapHeight(bm_frame)) + 1;
        if (limit < 0) limit = 0;
        if (scroll_position > (float)limit) scroll_position = Towards(scroll_position, (float)limit, dt);
    }
}

void UICompListbox::ScrollListbox(bool down) {
    if (!bm_frame) return;
    int half = (int)((float)VisibleLines(UIBitmapHeight(bm_frame)) * 0.5f);
    pending_scroll += down ? (float)half : -(float)half;
    ClampTarget();
}

// ---------------------------------------------------------------------------
// Input.

int UICompListbox::ProcessKey(int key) {
    int n = lines.count, V = VisibleLines(content_height);
    int s = selected;
    switch (key) {
        case 38:
            s--;
            break;
        case 40:
            s++;
            break;
        case 33:
            s -= V / 2;
            break;
        case 34:
            s += V / 2;
            break;
        case 36:
            s = 0;
            break;
        case 35:
            s = n - 1;
            break;
        default:
            return 0;
    }
    if (s < 0) s = 0;
    if (s > n - 1) s = n - 1;
    selected = s;
    // Into view of where the list is heading, not of where it is this
    // frame: key repeats faster than the scroll would otherwise add up
    // and carry the selection out of view.
    float target = scroll_position + pending_scroll;
    if ((float)selected < target)
        pending_scroll += (float)selected - target;
    else if ((float)selected >= target + (float)V - 1)
        pending_scroll += (float)selected - (target + (float)V - 2);
    ClampTarget();
    return 1;
}

int UICompListbox::ProcessCursorMove(UICursor*, int key, float) { return ProcessKey(key); }

int UICompListbox::ProcessCursorMove(UICursor* cursor, const vec2_t& pos, float) {
    if (!cursor || !cursor->pressed || dragging || !font || lines.count == 0) return 1;
    if (!(fabsf(dynamic_scale) > 1e-6f)) return 1;
    float y = (pos.y - GetAlignedPos().y) / dynamic_scale;
    int n = lines.count, first = scroll_position > 0 ? (int)scroll_position : 0;
    int last = first + 1 + VisibleLines(content_height);
    if (last > n) last = n;
    float L = (float)line_height;
    float top = (float)padding_top - (scroll_position - (float)first) * L;
    for (int i = first; i < last; i++, top += L) {
        if (y >= top && y < top + L) {
            selected = i;
            break;
        }
    }
    return 1;
}

int UICompListbox::ProcessMouseWheel(float delta) {
    pending_scroll += delta / 120;
    return 1;
}

void UICompListbox::BeginTouch(const kd_event_t& e) {
    previous_point = drag_point = current_point = vec2_t{(float)e.x, (float)e.y};
    touch_time = kd->GetTime();
    dragging = false;
}

int UICompListbox::ProcessEvent(kd_event_t* e) {
    if (!e) return 0;
    vec2_t at = {(float)e->x, (float)e->y};
    // The screen manager locks the cursor to the box only after the box
    // has seen the button-down event, so a gesture starts at a press on
    // the box; waiting for the lock would measure the first move from
    // the previous gesture's point.
    if (e->type == KD_EVENT_BUTTON_DOWN && IsPointOver(at)) {
        BeginTouch(*e);
        return 1;
    }
    if (!UIIsLocked(this)) {
        dragging = false;
        return 1;
    }
    switch (e->type) {
        case KD_EVENT_BUTTON_DOWN:
            BeginTouch(*e);
            return 1;
        case KD_EVENT_POINTER_MOVE: {
            if (kd->GetKeyStatei(KD_KEY_MOUSE_BUTTON_0) == 0) return 0;
            if (!dragging) {
                if (fabsf(at.y - previous_point.y) <= 3.0f) return 0;
                previous_point = drag_point = current_point = at;
                dragging = true;
            }
            touch_time = kd->GetTime();
            previous_point = current_point;
            current_point = at;
            // A box drawn at no size has no lines to drag.
            if (line_height > 0 && fabsf(dynamic_scale) > 1e-6f)
                pending_scroll -= ((at.y - drag_point.y) / (float)line_height) / dynamic_scale;
            drag_point.y = at.y;
            return 1;
        }
        case KD_EVENT_BUTTON_UP:
            if (dragging) {
                dragging = false;
                pending_scroll *= 4;  // the flick
                current_point = at;
            }
            return 1;
        default:
            return 1;
    }
}

// ---------------------------------------------------------------------------
// Drawing.

void UICompListbox::Draw() {
    float A = GetStaticAlpha();
    UIDrawSetup(this, A);
    UpdateDimensions();
    bool pushed = UIPushRotation(this);
    vec2_t P = GetAlignedPos();
    float s = dynamic_scale;
    if (bm_frame) UIDrawBitmapInBox(bm_frame, P.x, P.y, s);

    int n = lines.count;
    if (font && n >= 1) {
        float L = (float)line_height;
        kd->SetScissorRect((int)(P.x - 10 * s), (int)(P.y + s * (float)padding_top), (int)(width + 20 * s),
                           (int)(height - s * (float)(padding_top + padding_bottom)));
        kd->SetTextAlign(0);
        kd->SetTextTransform(s, s, 0);
        float X = P.x + s * (float)padding_left;
        int first = (int)scroll_position;
        float y = P.y + s * ((float)padding_top - (scroll_position - (float)first) * L);
        float bottom = P.y + height - s * (float)padding_bottom;
        for (int i = first; i < n; i++) {
            if (i < 0) {
                y += L * s;
                continue;
            }
            const UIListboxLine& line = lines[i];
            if (i == selected) {
                int sw = UIBitmapWidth(bm_selection), sh = UIBitmapHeight(bm_selection);
                if (sw > 0) {
                    float x = P.x + ((sw & 1) ? 0.5f : 0);
                    float cy = y + s * L / 2 + ((sh & 1) ? 0.5f : 0);
                    kd->DrawBitmapRS(bm_selection, x + s * (float)sw / 2, cy, 0, s);
                } else {
                    kd->DrawRect(P.x, y, (float)(int)(width + 20 * s), L * s);
                }
            }
            const char* text = line.text ? line.text : "";
            float text_x = X;
            if (line.bitmap) {
                int bh = UIBitmapHeight(line.bitmap);
                if (bh > 0) {
                    float f = (L - 2) / (float)bh;
                    f = f < 0 ? 0 : f > 1 ? 1 : f;
                    kd->DrawBitmapRS(line.bitmap, X + s * (float)bitmap_column_width * 0.5f,
                                     y + (float)(bh / 2) * s * f, 0, s * f);
                }
                text_x = X + (float)(bitmap_column_width + 2) * s;
            }
            // The text ends before the right one, with a gap, and inside the
            // frame; it sits in the middle of its row, as the selection does
            // (a font smaller than the template's rows would ride at their
            // top, the first line cut by the frame).
            const float right = P.x + width - (float)padding_right * s;
            const float text_y = y + s * (L - (float)font->line_height) / 2;
            float room = right - text_x;
            if (line.text_right) room -= kd->GetTextWidthf(font, "%s", line.text_right) + kRightGap * s;
            UIDrawFittedText(font, text_x, text_y, room, s, text);
            if (line.text_right) {
                kd->SetTextAlign(UI_ALIGN_RIGHT);
                kd->DrawTextf(font, right, text_y, "%s", line.text_right);
                kd->SetTextAlign(0);
            }
            y += s * L;
            if (y >= bottom) break;
        }
        kd_parms_t* parms = Manager::GetParms();
        bool known = parms->width > 0 && parms->height > 0;
        kd->SetScissorRect(0, 0, known ? parms->width : ui_screen.actual_width,
                           known ? parms->height : ui_screen.actual_height);
    }
    kd->SetTextTransform(1, 1, 0);
    if (bm_frame_top) UIDrawBitmapInBox(bm_frame_top, P.x, P.y, s);
    if (pushed) kd->PopTransform();
}

void UICompListbox::ApplyCacheMode(int mode) {
    // All three bitmaps, the frame overlay too: one that is not taken on
    // entering has no pixels to draw when the screen shows.
    UIComp::ApplyCacheMode(mode);
    if (mode == 2) UpdateDimensions();
}

void UICompListbox::EditUpdate(float) {
    if (!FrameSized()) {
        vec2_t s = GetStaticPos();
        int w = (int)fabsf(kd->GetKeyStatef(KD_KEY_POINTER_X) - s.x);
        int h = (int)fabsf(kd->GetKeyStatef(KD_KEY_POINTER_Y) - s.y);
        content_width = (align & UI_ALIGN_HCENTER) ? 2 * w : w;
        content_height = (align & UI_ALIGN_VCENTER) ? 2 * h : h;
    }
    UpdateDimensions();
}

// ---------------------------------------------------------------------------
// Properties.

int UICompListbox::GetProperty(const char* prop, lua_State* L) {
    static const char kLine[] = "listbox.line[";
    if (!prop || !L || strncmp(prop, kLine, sizeof kLine - 1)) return UIComp::GetProperty(prop, L);
    AddToPropertyAccessStatistics(prop);
    const UIListboxLine* line = GetLine(atoi(prop + sizeof kLine - 1));
    const char* value = nullptr;
    if (line) {
        if (strstr(prop, ".text_right"))
            value = line->text_right;
        else if (strstr(prop, ".text"))
            value = line->text;
        else if (strstr(prop, ".id"))
            value = line->id;
        else
            value = line->text;
    }
    lua_pushstring(L, value ? value : "");
    return 1;
}

static UICompListbox* AsListbox(UIComp* c) { return static_cast<UICompListbox*>(c); }

const UIKind& UICompListbox::Kind() const {
    static constexpr UIPropRow rows[] = {
        // Layouts of other programs name a text; a list box has none of its own.
        UIProp("listbox.text", UI_TEXT, 0).OnSet([](UIComp*, const UIPropValue&, lua_State*) {}),
        // The player's choice, not the layout's: not written, not inherited.
        UIProp("listbox.selected", UI_INTEGER, UI_FIELD(UICompListbox, selected), UI_READ),
        // The frame gives the size. A built-in frame ('!') is not written;
        // the content size stands in its place.
        UIProp("listbox.bm_frame", UI_BITMAP, UI_FIELD(UICompListbox, bm_frame), UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                UICompListbox* b = AsListbox(c);
                c->ReplaceBitmapApplyingReferenceCounting(&b->bm_frame, v.text);
                b->content_width = UIBitmapWidth(b->bm_frame);
                b->content_height = UIBitmapHeight(b->bm_frame);
                c->width = (float)b->content_width;
                c->height = (float)b->content_height;
                c->UpdateDimensions();
            })
            .OnPut([](UIComp* c, UIComp* T, nString& out) {
                UICompListbox *b = AsListbox(c), *t = AsListbox(T);
                if (!UIBitmapIsPlaceholder(b->bm_frame)) {
                    if (b->bm_frame != t->bm_frame)
                        UIAppendTextLine(out, "listbox.bm_frame", UIBitmapName(b->bm_frame));
                } else if (b->content_width != t->content_width || b->content_height != t->content_height) {
                    UIAppendf(out, "SetProperty (\"listbox.content_size\", %d, %d);\n", b->content_width,
                              b->content_height);
                }
            }),
        UIProp("listbox.bm_frame_top", UI_BITMAP, UI_FIELD(UICompListbox, bm_frame_top),
               UI_READ | UI_EXPORT | UI_INHERIT),
        UIProp("listbox.bm_selection", UI_BITMAP, UI_FIELD(UICompListbox, bm_selection), UI_EXPORT | UI_INHERIT),
        // Written by the frame's row.
        UIProp("listbox.content_size", UI_INTEGER,
               UIPair(
                   [](UIComp* c, double* v) {
                       v[0] = AsListbox(c)->content_width;
                       v[1] = AsListbox(c)->content_height;
                   },
                   [](UIComp* c, const double* v) {
                       AsListbox(c)->content_width = (int)v[0];
                       AsListbox(c)->content_height = (int)v[1];
                   },
                   2),
               UI_INHERIT | UI_REMEASURE),
        UIProp("listbox.font", UI_FONT, UI_FIELD(UICompListbox, font), UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { AsListbox(c)->SetFont(v.font); }),
        UIProp("listbox.padding_left", UI_INTEGER, UI_FIELD(UICompListbox, padding_left), UI_EXPORT | UI_INHERIT)
            .Format("\"%d\""),
        UIProp("listbox.padding_right", UI_INTEGER, UI_FIELD(UICompListbox, padding_right), UI_EXPORT | UI_INHERIT)
            .Format("\"%d\""),
        UIProp("listbox.padding_top", UI_INTEGER, UI_FIELD(UICompListbox, padding_top), UI_EXPORT | UI_INHERIT)
            .Format("\"%d\""),
        UIProp("listbox.padding_bottom", UI_INTEGER, UI_FIELD(UICompListbox, padding_bottom), UI_EXPORT | UI_INHERIT)
            .Format("\"%d\""),
        // The line height follows the template's font.
        UIProp(nullptr, UI_INTEGER, UI_FIELD(UICompListbox, line_height), UI_NO_SET | UI_INHERIT),
    };
    static_assert(UINamedRows(rows) == UI_LISTBOX_NUM_PROPS, "one row per list box property");
    static_assert(UIPropRowsValid(rows, "listbox."), "list box property table");
    static constexpr UIKind kind = UIMakeKind(UI_LISTBOX, "UICompListbox", "listbox.", rows, Make);
    return kind;
}
