// The developer overlay of the physics world: Box2D outlines every fixture
// (and, when its flags ask, joints and points) through the engine's line
// drawing. The simulation calls the world's debug drawing inside its view
// transform, so every coordinate given here is in world metres and goes
// to the engine unchanged; the transform stack maps it to the screen.
#ifndef APP_PHYSICS_DEBUG_DRAW_H
#define APP_PHYSICS_DEBUG_DRAW_H

#include "physics/b2-compat.h"

class PhysicsDebugDraw : public b2Draw {
public:
    // A circle's outline gets 10 + radius/2 segments; a runaway radius
    // would otherwise ask for millions of lines in one frame.
    static constexpr int kMaxCircleSegments = 256;

    // Box2D gives point sizes in screen pixels while the overlay draws in
    // metres: the simulation's metres per pixel converts them.
    float metres_per_pixel = 1.0f / 30.0f;

    void DrawPolygon(const b2Vec2* vertices, int32 vertexCount, const b2Color& color) override;
    void DrawSolidPolygon(const b2Vec2* vertices, int32 vertexCount, const b2Color& color) override;
    void DrawCircle(const b2Vec2& center, float radius, const b2Color& color) override;
    void DrawSolidCircle(const b2Vec2& center, float radius, const b2Vec2& axis, const b2Color& color) override;
    void DrawSegment(const b2Vec2& p1, const b2Vec2& p2, const b2Color& color) override;
    void DrawTransform(const b2Transform& xf) override;
    void DrawPoint(const b2Vec2& p, float size, const b2Color& color) override;

    // The number of segments of a circle outline (0: nothing is drawn).
    static int CircleSegments(float radius);
};

#endif
