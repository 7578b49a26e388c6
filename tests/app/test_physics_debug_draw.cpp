// The developer overlay of the physics world: outlines of boxes and
// circles, joints and points drawn through the engine's line drawing in
// world metres, in the colours the world hands over.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include <box2d/box2d.h>

#include "app-env.h"
#include "physics/physics-debug-draw.h"
#include "recording-kd.h"

namespace {

struct Line {
    float x0, y0, x1, y1;
    int color;  // index into Calls::colors of the colour in force
};
struct Rect {
    float x, y, w, h;
    int color;
};
struct Calls {
    std::vector<Line> lines;
    std::vector<Rect> rects;
    std::vector<b2Color> colors;
    int alphas = 0;
    void Clear() { *this = Calls(); }
};
Calls& calls() {
    static Calls c;
    return c;
}
void RecSetColor(float r, float g, float b) { calls().colors.push_back(b2Color(r, g, b)); }
void RecSetAlpha(float) { calls().alphas++; }
void RecDrawLine(float x0, float y0, float x1, float y1) {
    calls().lines.push_back({x0, y0, x1, y1, (int)calls().colors.size() - 1});
}
void RecDrawRect(float x, float y, float w, float h) {
    calls().rects.push_back({x, y, w, h, (int)calls().colors.size() - 1});
}

// The program's engine table with the drawing slots recording.
struct DrawRecorder {
    RecordingKd r{kd};
    DrawRecorder() {
        r.table.SetColor = RecSetColor;
        r.table.SetAlpha = RecSetAlpha;
        r.table.DrawLine = RecDrawLine;
        r.table.DrawRect = RecDrawRect;
        calls().Clear();
        r.Install();
    }
};

bool Near(float a, float b) { return fabsf(a - b) < 1e-4f; }

bool HasLine(float x0, float y0, float x1, float y1) {
    for (const Line& l : calls().lines)
        if (Near(l.x0, x0) && Near(l.y0, y0) && Near(l.x1, x1) && Near(l.y1, y1)) return true;
    return false;
}

const b2Color* ColorOf(const Line& l) { return l.color >= 0 ? &calls().colors[l.color] : nullptr; }

void ExpectColor(const b2Color* c, float r, float g, float b) {
    ASSERT_NE(c, nullptr);
    EXPECT_FLOAT_EQ(c->r, r);
    EXPECT_FLOAT_EQ(c->g, g);
    EXPECT_FLOAT_EQ(c->b, b);
}

b2Body* MakeBox(b2World* w, b2BodyType type, float x, float y, float hx, float hy) {
    b2BodyDef def;
    def.type = type;
    def.position.Set(x, y);
    b2Body* body = w->CreateBody(&def);
    b2PolygonShape box;
    box.SetAsBox(hx, hy);
    body->CreateFixture(&box, 1.0f);
    return body;
}

b2Body* MakeCircle(b2World* w, float x, float y, float radius) {
    b2BodyDef def;
    def.type = b2_dynamicBody;
    def.position.Set(x, y);
    b2Body* body = w->CreateBody(&def);
    b2CircleShape circle;
    circle.m_radius = radius;
    body->CreateFixture(&circle, 1.0f);
    return body;
}

// A world of a 2 x 1 box at (2, 3), a circle of radius 0.5 at (6, 3) and a
// distance joint between their centres.
struct Scene {
    AppEnv env;
    PhysicsSimulation sim;
    PhysicsDebugDraw& dd = sim.debug_draw;  // registered by InitWorld
    b2Body *box = nullptr, *ball = nullptr;
    Scene() {
        sim.InitWorld();
        box = MakeBox(sim.world, b2_dynamicBody, 2, 3, 1, 0.5f);
        ball = MakeCircle(sim.world, 6, 3, 0.5f);
        b2DistanceJointDef jd;
        jd.Initialize(box, ball, box->GetWorldCenter(), ball->GetWorldCenter());
        sim.world->CreateJoint(&jd);
    }
    ~Scene() { sim.FreeWorld(); }
};

}  // namespace

TEST(PhysicsDebugDraw, TheWorldDrawsShapesOnly) {
    Scene s;
    EXPECT_EQ(s.dd.GetFlags(), (uint32)b2Draw::e_shapeBit);
    DrawRecorder rec;
    B2DrawDebugData(s.sim.world);
    // Four box edges and ten circle segments; no joint, no fill, no point.
    EXPECT_EQ(calls().lines.size(), 14u);
    EXPECT_TRUE(calls().rects.empty());
    EXPECT_EQ(calls().alphas, 0);
}

TEST(PhysicsDebugDraw, BoxOutlineInWorldMetres) {
    Scene s;
    DrawRecorder rec;
    B2DrawDebugData(s.sim.world);
    // Corners (1, 2.5), (3, 2.5), (3, 3.5), (1, 3.5), closed.
    EXPECT_TRUE(HasLine(1, 2.5f, 3, 2.5f));
    EXPECT_TRUE(HasLine(3, 2.5f, 3, 3.5f));
    EXPECT_TRUE(HasLine(3, 3.5f, 1, 3.5f));
    EXPECT_TRUE(HasLine(1, 3.5f, 1, 2.5f));
    // An awake dynamic body is drawn in the world's pink.
    for (const Line& l : calls().lines) ExpectColor(ColorOf(l), 0.9f, 0.7f, 0.7f);
}

TEST(PhysicsDebugDraw, CircleOutlineStartsOnTheRightAndCloses) {
    Scene s;
    s.box->SetEnabled(false);
    DrawRecorder rec;
    B2DrawDebugData(s.sim.world);
    // A disabled box is still outlined, in its own colour.
    ASSERT_EQ(calls().lines.size(), 14u);
    std::vector<Line> circle;
    for (const Line& l : calls().lines) {
        const b2Color* c = ColorOf(l);
        ASSERT_NE(c, nullptr);
        if (Near(c->r, 0.9f)) circle.push_back(l);
        else ExpectColor(c, 0.5f, 0.5f, 0.3f);
    }
    ASSERT_EQ(circle.size(), 10u);
    EXPECT_TRUE(Near(circle[0].x0, 6.5f) && Near(circle[0].y0, 3));
    EXPECT_TRUE(Near(circle[9].x1, 6.5f) && Near(circle[9].y1, 3));
    for (size_t i = 1; i < circle.size(); i++) {
        EXPECT_FLOAT_EQ(circle[i].x0, circle[i - 1].x1);
        EXPECT_FLOAT_EQ(circle[i].y0, circle[i - 1].y1);
    }
    for (const Line& l : circle) EXPECT_NEAR(hypotf(l.x1 - 6, l.y1 - 3), 0.5f, 1e-5f);
}

TEST(PhysicsDebugDraw, StaticAndSleepingBodiesHaveTheirColours) {
    Scene s;
    b2Body* ground = MakeBox(s.sim.world, b2_staticBody, 0, 10, 5, 1);
    s.ball->SetAwake(false);
    DrawRecorder rec;
    B2DrawDebugData(s.sim.world);
    bool saw_static = false, saw_sleeping = false;
    for (const Line& l : calls().lines) {
        const b2Color* c = ColorOf(l);
        ASSERT_NE(c, nullptr);
        if (Near(l.y0, 9) && Near(l.y1, 9)) {
            ExpectColor(c, 0.5f, 0.9f, 0.5f);
            saw_static = true;
        }
        if (Near(l.x0, 6.5f) && Near(l.y0, 3)) {
            ExpectColor(c, 0.6f, 0.6f, 0.6f);
            saw_sleeping = true;
        }
    }
    EXPECT_TRUE(saw_static);
    EXPECT_TRUE(saw_sleeping);
    (void)ground;
}

TEST(PhysicsDebugDraw, JointsWhenAsked) {
    Scene s;
    s.dd.SetFlags(b2Draw::e_jointBit);
    DrawRecorder rec;
    B2DrawDebugData(s.sim.world);
    // The link between the two anchors, and no shape.
    ASSERT_FALSE(calls().lines.empty());
    EXPECT_TRUE(HasLine(2, 3, 6, 3));
    EXPECT_FALSE(HasLine(1, 2.5f, 3, 2.5f));
    // The rest length is marked with a point: a square of its pixel size
    // in metres, centred on the point.
    ASSERT_FALSE(calls().rects.empty());
    const Rect& r = calls().rects[0];
    EXPECT_GT(r.w, 0.0f);
    EXPECT_FLOAT_EQ(r.w, r.h);
    EXPECT_NEAR(r.x + r.w / 2, 6, 1e-4f);
    EXPECT_NEAR(r.y + r.h / 2, 3, 1e-4f);
}

TEST(PhysicsDebugDraw, CircleSegmentCount) {
    EXPECT_EQ(PhysicsDebugDraw::CircleSegments(0.5f), 10);
    EXPECT_EQ(PhysicsDebugDraw::CircleSegments(4.0f), 12);
    EXPECT_EQ(PhysicsDebugDraw::CircleSegments(0.0f), 10);
    EXPECT_EQ(PhysicsDebugDraw::CircleSegments(-1.0f), 0);
    EXPECT_EQ(PhysicsDebugDraw::CircleSegments(NAN), 0);
    EXPECT_EQ(PhysicsDebugDraw::CircleSegments(INFINITY), 0);
    EXPECT_EQ(PhysicsDebugDraw::CircleSegments(1e30f), PhysicsDebugDraw::kMaxCircleSegments);

    FwEngine e;
    DrawRecorder rec;
    PhysicsDebugDraw dd;
    dd.DrawSolidCircle(b2Vec2(0, 0), 4.0f, b2Vec2(1, 0), b2Color(1, 0, 0));
    EXPECT_EQ(calls().lines.size(), 12u);  // the axis is not drawn
    calls().Clear();
    dd.DrawCircle(b2Vec2(0, 0), NAN, b2Color(1, 0, 0));
    dd.DrawCircle(b2Vec2(0, 0), 1e30f, b2Color(1, 0, 0));
    EXPECT_EQ(calls().lines.size(), (size_t)PhysicsDebugDraw::kMaxCircleSegments);
}

TEST(PhysicsDebugDraw, PrimitivesDirectly) {
    FwEngine e;
    DrawRecorder rec;
    PhysicsDebugDraw dd;
    b2Vec2 tri[3] = {b2Vec2(0, 0), b2Vec2(1, 0), b2Vec2(0, 1)};
    dd.DrawPolygon(tri, 0, b2Color(1, 0, 0));
    dd.DrawPolygon(nullptr, 3, b2Color(1, 0, 0));
    EXPECT_TRUE(calls().lines.empty());
    EXPECT_TRUE(calls().colors.empty());
    dd.DrawSolidPolygon(tri, 3, b2Color(0.25f, 0.5f, 0.75f));
    ASSERT_EQ(calls().lines.size(), 3u);
    EXPECT_TRUE(HasLine(0, 1, 0, 0));  // closed back to the first vertex
    ExpectColor(ColorOf(calls().lines[2]), 0.25f, 0.5f, 0.75f);
    EXPECT_TRUE(calls().rects.empty());  // outline only, no fill

    calls().Clear();
    dd.DrawSegment(b2Vec2(1, 2), b2Vec2(3, 4), b2Color(0, 1, 0));
    ASSERT_EQ(calls().lines.size(), 1u);
    EXPECT_TRUE(HasLine(1, 2, 3, 4));
    ExpectColor(ColorOf(calls().lines[0]), 0, 1, 0);

    // A transform leaves the colour white and draws nothing.
    calls().Clear();
    b2Transform xf;
    xf.SetIdentity();
    dd.DrawTransform(xf);
    EXPECT_TRUE(calls().lines.empty());
    ASSERT_EQ(calls().colors.size(), 1u);
    ExpectColor(&calls().colors[0], 1, 1, 1);

    // A point of 6 pixels at 30 pixels a metre is a 0.2 m square.
    calls().Clear();
    dd.DrawPoint(b2Vec2(1, 1), 6.0f, b2Color(0, 0, 1));
    ASSERT_EQ(calls().rects.size(), 1u);
    EXPECT_NEAR(calls().rects[0].x, 0.9f, 1e-5f);
    EXPECT_NEAR(calls().rects[0].w, 0.2f, 1e-5f);
    dd.DrawPoint(b2Vec2(1, 1), NAN, b2Color(0, 0, 1));
    EXPECT_EQ(calls().rects.size(), 1u);
    EXPECT_EQ(calls().alphas, 0);  // the overlay keeps the alpha in force
}
