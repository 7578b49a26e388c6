// The path. See ui-path.h.
#include "ui/ui-path.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompPath::UICompPath() {
    type = UI_PATH;
    interactive = false;
}

void UICompPath::AddPoint(vec2_t p) {
    UIPathPoint q = {p.x, p.y, 0, 0, 0, 0, 0};
    points.InsertLast(q);
    stale = true;
}

// 1/sqrt(s) by the bit trick and one Newton step: the directions keep the
// small error that layouts were tuned with.
static float FastInverseSqrt(float s) {
    float half = 0.5f * s, y = s;
    uint32_t i;
    memcpy(&i, &y, sizeof i);
    i = 0x5F3759DF - (i >> 1);
    memcpy(&y, &i, sizeof y);
    return y * (1.5f - half * y * y);
}

void UICompPath::Precalculate() {
    stale = false;
    int n = points.count;
    UIPathPoint* p = points.data;
    double distance = 0;
    for (int i = 0; i < n; i++) {
        p[i].dx = p[i].dy = p[i].cx = p[i].cy = 0;
        if (i > 0) {
            double ex = (double)p[i].x - p[i - 1].x, ey = (double)p[i].y - p[i - 1].y;
            distance += sqrt(ex * ex + ey * ey);
        }
        p[i].distance = (float)distance;
        if (i + 1 < n) {
            float ex = p[i + 1].x - p[i].x, ey = p[i + 1].y - p[i].y;
            float s = ex * ex + ey * ey;
            // A segment of no length has no direction: it keeps (0, 0).
            if (s > 0) {
                float k = FastInverseSqrt(s);
                p[i].dx = ex * k, p[i].dy = ey * k;
            }
        }
        if (i > 0 && i + 1 < n) {
            p[i].cx = (p[i - 1].x + p[i + 1].x) / 2 - p[i].x;
            p[i].cy = (p[i - 1].y + p[i + 1].y) / 2 - p[i].y;
        }
    }
}

float UICompPath::GetLength() {
    Fresh();
    return points.count ? points.data[points.count - 1].distance : 0;
}

vec2_t UICompPath::GetPos(bool smooth, float d) {
    Fresh();
    int n = points.count;
    const UIPathPoint* p = points.data;
    if (!n) return vec2_t{0, 0};
    if (d <= 0) return vec2_t{p[0].x + d * p[0].dx, p[0].y + d * p[0].dy};
    if (n == 1) return vec2_t{p[0].x, p[0].y};
    // The first segment reaching d; segments of no length are passed over
    // (they would divide by their length).
    int k = 1;
    while (k < n && !(p[k].distance >= d && p[k].distance > p[k - 1].distance)) k++;
    if (k == n) return vec2_t{p[n - 1].x, p[n - 1].y};
    int j = k - 1;
    float s = d - p[j].distance;
    vec2_t base = {p[j].x + s * p[j].dx, p[j].y + s * p[j].dy};
    if (!smooth) return base;
    float u = s / (p[k].distance - p[j].distance);
    const UIPathPoint& corner = u <= 0.5f ? p[j] : p[k];
    float w = u <= 0.5f ? (1 - 2 * u) * 0.4f : (u - 0.5f) * 0.8f;
    return vec2_t{base.x + w * w * corner.cx, base.y + w * w * corner.cy};
}

float UICompPath::GetAngle(bool smooth, float d) {
    vec2_t a = GetPos(smooth, d - 5), b = GetPos(smooth, d + 5);
    return atan2f(b.y - a.y, b.x - a.x);
}

int UICompPath::GetPointAt(vec2_t p) {
    vec2_t S = GetStaticPos();
    float qx = p.x - S.x, qy = p.y - S.y;
    int best = -1;
    float best_d = 0;
    for (int i = 0; i < points.count; i++) {
        float d = hypotf(points.data[i].x - qx, points.data[i].y - qy);
        if (best < 0 || d < best_d) best = i, best_d = d;
    }
    return best >= 0 && best_d < 6.0f ? best : -1;
}

int UICompPath::GetProperty(const char* prop, lua_State* L) {
    if (!prop || !L || !strstr(prop, "path.point[") || strlen(prop) < 11) return UIComp::GetProperty(prop, L);
    AddToPropertyAccessStatistics(prop);
    char* end = nullptr;
    long i = strtol(prop + 11, &end, 10);
    if (end == prop + 11 || i < 0 || i >= points.count) return 0;
    lua_pushnumber(L, points.data[i].x);
    lua_pushnumber(L, points.data[i].y);
    return 2;
}

// The second pointer button adds a point, BACKSPACE removes the last.
static const int kMouseButton1 = 511, kBackspace = 8;

void UICompPath::EditUpdate(float) {
    if (!ui_widget_hooks.edit_mode) return;
    vec2_t S = GetStaticPos();
    vec2_t m = {kd->GetKeyStatef(KD_KEY_POINTER_X), kd->GetKeyStatef(KD_KEY_POINTER_Y)};
    vec2_t rel = {m.x - S.x, m.y - S.y};
    if (kd->GetKeyStatei(KD_KEY_MOUSE_BUTTON_0)) {
        if (selected_point < 0) selected_point = GetPointAt(m);
        if (selected_point >= 0 && selected_point < points.count) {
            points.data[selected_point].x = rel.x;
            points.data[selected_point].y = rel.y;
        }
    } else {
        selected_point = -1;
    }
    if ((kd->GetKeyStatei(kBackspace) & 1) && points.count) {
        points.RemoveIndex(points.count - 1);
        if (selected_point >= points.count) selected_point = -1;
    }
    if (kd->GetKeyStatei(kMouseButton1) & 1) AddPoint(rel);
    Precalculate();
}

void UICompPath::Draw() {
    if (!ui_widget_hooks.edit_mode) return;
    Fresh();
    UIDrawSetup(this, GetStaticAlpha());
    vec2_t P = GetAlignedPos();
    const UIPathPoint* p = points.data;
    kd->SetColor(1, 1, 1);
    for (int i = 0; i + 1 < points.count; i++) kd->DrawLine(P.x + p[i].x, P.y + p[i].y, P.x + p[i + 1].x, P.y + p[i + 1].y);
    // A probe that follows the mouse along the straight path.
    float d = kd->GetKeyStatef(KD_KEY_POINTER_X) * 0.5f - 40;
    vec2_t at = GetPos(false, d);
    float a = GetAngle(false, d);
    kd->SetColor(1, 0, 0);
    kd->DrawRect(P.x + at.x - 1, P.y + at.y - 1, 3, 3);
    kd->DrawLine(P.x + at.x, P.y + at.y, P.x + at.x + 40 * cosf(a), P.y + at.y + 40 * sinf(a));
    kd->SetColor(0, 1, 0);
    float length = GetLength();
    for (float t = 0; t < length - 5; t += 5) {
        vec2_t u = GetPos(true, t), v = GetPos(true, t + 5);
        kd->DrawLine(P.x + u.x, P.y + u.y, P.x + v.x, P.y + v.y);
    }
    float A = GetStaticAlpha() * color.a;
    for (int i = 0; i < points.count; i++) {
        kd->SetAlpha(A * (i == selected_point ? 1.0f : 0.5f));
        float x0 = P.x + p[i].x - 3, y0 = P.y + p[i].y - 3;
        kd->DrawLine(x0, y0, x0 + 7, y0);
        kd->DrawLine(x0 + 7, y0, x0 + 7, y0 + 7);
        kd->DrawLine(x0 + 7, y0 + 7, x0, y0 + 7);
        kd->DrawLine(x0, y0 + 7, x0, y0);
    }
    kd->SetColor(1, 1, 1);
}

static UICompPath* PA(UIComp* c) { return static_cast<UICompPath*>(c); }

const UIKind& UICompPath::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("path.point", UI_NUMBER, UI_EXPORT | UI_INHERIT)
            .Count(2)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                PA(c)->AddPoint(vec2_t{(float)v.num[0], (float)v.num[1]});
            })
            .OnPut([](UIComp* c, UIComp* T, nString& out) {
                // The template's points come with the template when the file
                // is read again: only the points after them are written.
                const nArray<UIPathPoint>& mine = PA(c)->points;
                const nArray<UIPathPoint>& its = PA(T)->points;
                int from = 0;
                while (from < its.count && from < mine.count && mine.data[from] == its.data[from]) from++;
                if (from < its.count) from = 0;
                for (int i = from; i < mine.count; i++)
                    UIAppendf(out, "SetProperty (\"path.point\", %g, %g);\n", mine.data[i].x, mine.data[i].y);
            })
            .OnCopy([](UIComp* to, UIComp* from) {
                PA(to)->points = PA(from)->points;
                PA(to)->Precalculate();
            }),
        // Counted, not set.
        UIProp("path.num_points", UI_INTEGER, UI_READ)
            .OnSet([](UIComp*, const UIPropValue&, lua_State*) {})
            .OnGet([](UIComp* c, lua_State* L) { return lua_pushinteger(L, PA(c)->NumPoints()), 1; }),
    };
    static_assert(UINamedRows(rows) == UI_PATH_NUM_PROPS, "one row per path property");
    static_assert(UIPropRowsValid(rows, "path."), "path property table");
    static constexpr UIKind kind = UIMakeKind(UI_PATH, "UICompPath", "path.", rows, Make);
    return kind;
}
