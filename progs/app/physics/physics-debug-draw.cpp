#include "physics/physics-debug-draw.h"

#include "framework-kd.h"
#include "kodo.h"

// Only the colour's red, green and blue: the overlay keeps the alpha the
// simulation set, and the colour stays set after the call (the
// simulation's drawing sets its own before it draws again).
static void UseColor(const b2Color& c) { kd->SetColor(c.r, c.g, c.b); }

void PhysicsDebugDraw::DrawPolygon(const b2Vec2* vertices, int32 vertexCount, const b2Color& color) {
    if (!vertices || vertexCount < 1) return;
    UseColor(color);
    for (int32 i = 0; i < vertexCount; i++) {
        const b2Vec2& a = vertices[i];
        const b2Vec2& b = vertices[(i + 1) % vertexCount];
        kd->DrawLine(a.x, a.y, b.x, b.y);
    }
}

// Outlines only: a fill would hide the game's own drawing of the bodies.
void PhysicsDebugDraw::DrawSolidPolygon(const b2Vec2* vertices, int32 vertexCount, const b2Color& color) {
    DrawPolygon(vertices, vertexCount, color);
}

int PhysicsDebugDraw::CircleSegments(float radius) {
    // A negative or non-finite radius has no outline; (int) of a NaN or of
    // a huge float is undefined, so those never reach the conversion.
    if (!(radius >= 0.0f) || !isfinite(radius)) return 0;
    float n = 10.0f + radius * 0.5f;
    if (n >= (float)kMaxCircleSegments) return kMaxCircleSegments;
    return (int)n;
}

void PhysicsDebugDraw::DrawCircle(const b2Vec2& center, float radius, const b2Color& color) {
    int n = CircleSegments(radius);
    if (n < 1) return;
    UseColor(color);
    float step = 2.0f * b2_pi / (float)n;
    float px = center.x + radius, py = center.y;
    for (int k = 1; k <= n; k++) {
        float angle = step * (float)k;
        float x = center.x + radius * cosf(angle), y = center.y + radius * sinf(angle);
        kd->DrawLine(px, py, x, y);
        px = x;
        py = y;
    }
}

// The axis is left out: the overlay shows where shapes are, not how they
// turn.
void PhysicsDebugDraw::DrawSolidCircle(const b2Vec2& center, float radius, const b2Vec2&, const b2Color& color) {
    DrawCircle(center, radius, color);
}

void PhysicsDebugDraw::DrawSegment(const b2Vec2& p1, const b2Vec2& p2, const b2Color& color) {
    UseColor(color);
    kd->DrawLine(p1.x, p1.y, p2.x, p2.y);
}

void PhysicsDebugDraw::DrawTransform(const b2Transform&) { kd->SetColor(1, 1, 1); }

// A filled square of `size` screen pixels centred on the point.
void PhysicsDebugDraw::DrawPoint(const b2Vec2& p, float size, const b2Color& color) {
    if (!(size > 0.0f) || !isfinite(size)) return;
    UseColor(color);
    float side = size * metres_per_pixel;
    kd->DrawRect(p.x - side * 0.5f, p.y - side * 0.5f, side, side);
}
