// The path: an ordered list of points, relative to the component's static
// position, that scripts read (a position and a heading at any distance
// along it, straight or smoothed at the corners) and that the UI editor
// lets a developer draw. It draws nothing but the editor's guides.
#ifndef FRAMEWORK_UI_PATH_H
#define FRAMEWORK_UI_PATH_H

#include "ui/ui-comps.h"

enum { UI_PATH_NUM_PROPS = 2 };

struct UIPathPoint {
    float x, y;    // relative to the static position
    float dx, dy;  // unit vector to the next point; (0, 0) for the last and for a zero-length segment
    float cx, cy;  // from the point to the midpoint of its neighbours
    float distance;  // path length from the first point
    bool operator==(const UIPathPoint& o) const { return x == o.x && y == o.y; }
};

class UICompPath : public UIComp {
public:
    UICompPath();
    static UIComp* Make() { return new UICompPath(); }

    const UIKind& Kind() const override;
    void Update(float) override {}
    // The editor's guides only.
    void Draw() override;
    void Precalculate() override;
    void EditUpdate(float dt) override;
    // Also "path.point[<n>]": the two numbers of point n, nothing for an
    // index outside the points.
    int GetProperty(const char* prop, lua_State* L) override;

    void AddPoint(vec2_t p);
    float GetLength();
    vec2_t GetPos(bool smooth, float d);
    float GetAngle(bool smooth, float d);
    // The point within 6 units of p (relative to the static position), or -1.
    int GetPointAt(vec2_t p);
    int NumPoints() const { return points.count; }

    int selected_point = -1;
    nArray<UIPathPoint> points;

private:
    // Points added since the last Precalculate: the next read runs it.
    bool stale = false;
    void Fresh() {
        if (stale) Precalculate();
    }
};

#endif
