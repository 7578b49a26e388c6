// Path and emitter: positions along a path (straight and smoothed),
// segments of no length, point indices out of range; the emitter's pool
// size with and without a time interval, the initial simulation and its
// cap, and its bursts.
#include <math.h>

#include "particle-effects.h"
#include "ui/ui-emitter.h"
#include "ui/ui-path.h"
#include "widget-fixture.h"

namespace {

struct PathEmitterTest : WidgetFixture {
    // Reads "path.point[...]" as "x, y", or "<none>".
    static std::string Point(UIComp* c, const char* prop) {
        lua_State* L = luaL_newstate();
        lua_pushstring(L, prop);
        int n = c->GetProperty(prop, L);
        std::string s = n == 2 ? wf::F((float)lua_tonumber(L, 2)) + ", " + wf::F((float)lua_tonumber(L, 3)) : "<none>";
        lua_close(L);
        return s;
    }
};

}  // namespace

TEST_F(PathEmitterTest, PathPositionsStraightAndSmoothed) {
    UICompPath p;
    Set(&p, "'path.point', 0, 0");
    Set(&p, "'path.point', 10, 0");
    Set(&p, "'path.point', 10, 10");
    EXPECT_EQ(Get(&p, "path.num_points"), "3");
    EXPECT_FLOAT_EQ(p.GetLength(), 20);
    vec2_t a = p.GetPos(false, 15);
    EXPECT_NEAR(a.x, 10, 1e-2);
    EXPECT_NEAR(a.y, 5, 1e-2);
    EXPECT_FLOAT_EQ(p.points.data[1].cx, -5);
    EXPECT_FLOAT_EQ(p.points.data[1].cy, 5);
    vec2_t b = p.GetPos(true, 10);
    EXPECT_NEAR(b.x, 9.2f, 2e-2);  // the fast inverse square root is a little short
    EXPECT_NEAR(b.y, 0.8f, 1e-2);
    vec2_t end = p.GetPos(false, 99), back = p.GetPos(false, -4);
    EXPECT_FLOAT_EQ(end.y, 10);
    EXPECT_NEAR(back.x, -4, 1e-2);
    EXPECT_NEAR(p.GetAngle(false, 15), M_PI / 2, 1e-2);
    EXPECT_EQ(Point(&p, "path.point[2]"), "10, 10");
    // Out of range, or no index at all: nothing is read.
    for (const char* bad : {"path.point[3]", "path.point[-1]", "path.point[99999999999]", "path.point[", "path.point[x]"})
        EXPECT_EQ(Point(&p, bad), "<none>") << bad;
    // The editor's point picking.
    p.position_type = UI_POS_ABSOLUTE;
    EXPECT_EQ(p.GetPointAt(vec2_t{12, 9}), 2);
    EXPECT_EQ(p.GetPointAt(vec2_t{30, 30}), -1);
}

TEST_F(PathEmitterTest, PathSegmentsOfNoLengthGiveNoNaN) {
    UICompPath p;
    for (const char* pt : {"0, 0", "0, 0", "10, 0", "10, 0", "10, 0", "10, 10", "10, 10"})
        Set(&p, std::string("'path.point', ") + pt);
    EXPECT_FLOAT_EQ(p.GetLength(), 20);
    for (float d = -5; d <= 25; d += 0.5f) {
        for (bool smooth : {false, true}) {
            vec2_t q = p.GetPos(smooth, d);
            ASSERT_TRUE(isfinite(q.x) && isfinite(q.y)) << d << (smooth ? " smooth" : " straight");
            ASSERT_TRUE(isfinite(p.GetAngle(smooth, d))) << d;
        }
    }
    vec2_t at = p.GetPos(false, 10);
    EXPECT_NEAR(at.x, 10, 2e-2);
    EXPECT_NEAR(at.y, 0, 1e-2);
    // All points in one place.
    UICompPath q;
    Set(&q, "'path.point', 5, 5");
    Set(&q, "'path.point', 5, 5");
    vec2_t same = q.GetPos(true, 3);
    EXPECT_FLOAT_EQ(same.x, 5);
    EXPECT_FLOAT_EQ(same.y, 5);
}

TEST_F(PathEmitterTest, EmitterPoolSizeNeedsNoTimeIntervalAndSimulationIsCapped) {
    fx_t fx[2] = {};
    fx[0].name = (char*)"fx/test.lua";
    fx[0].num_parts = 9;
    fx[0].age = {0, 0.5f};
    fx[0].age_to_die = {1, 2};
    fx[0].continued = 1;
    fx[1].name = (char*)"&";
    fx[1].num_parts = 0;
    UICompEmitter em;
    EXPECT_EQ(em.pool.pool_size, UI_EMITTER_POOL);
    // No time interval (the default): one burst of each record.
    em.SetFX(fx);
    EXPECT_EQ(em.pool.pool_size, 10 + 1);
    // Every half second: a particle lives up to 2 s, so 5 bursts at once.
    Set(&em, "'emitter.time_interval', 0.5");
    EXPECT_EQ(em.pool.pool_size, 5 * 10 + 1);  // the second record lives no time: one burst
    Set(&em, "'emitter.time_interval', -1");
    EXPECT_EQ(em.pool.pool_size, 11);
    // 0.12 s of simulation: three steps of 0.05 s.
    em.time_interval = 0;
    Set(&em, "'emitter.initial_simulation_time', 0.12");
    EXPECT_NEAR(em.phase, 0.15f, 1e-5);
    // A wild value runs at most the cap, not for ever.
    unsigned int t0 = kd->GetTime();
    Set(&em, "'emitter.initial_simulation_time', 1e30");
    EXPECT_LT(kd->GetTime() - t0, 5000u);
    Set(&em, "'emitter.initial_simulation_time', 0/0");
    EXPECT_EQ(Get(&em, "emitter.fx"), "fx/test.lua");
}

TEST_F(PathEmitterTest, EmitterBurstsEveryIntervalWhileActive) {
    fx_t fx = {};
    fx.name = (char*)"fx/test.lua";
    fx.num_parts = 3;
    fx.age_to_die = {10, 10};
    UICompEmitter em;
    em.SetFX(&fx);
    em.time_interval = 0.25f;
    em.RescaleParticleSystem();
    for (int i = 0; i < 10; i++) em.Update(0.1f);  // bursts at 0.25, 0.5, 0.75 and 1.0
    EXPECT_EQ(em.pool.live_count, 4 * 3);
    em.active = false;
    em.Update(1);
    EXPECT_EQ(em.pool.live_count, 4 * 3);
    // A long frame catches up a few bursts, not hundreds.
    em.active = true;
    em.Update(100);
    EXPECT_LE(em.pool.live_count, em.pool.pool_size);
    EXPECT_LT(em.time_accumulator, em.time_interval);
    // Drawn in the component's coordinates: the camera is the static
    // position over the scale.
    em.position_type = UI_POS_ABSOLUTE;
    em.position = {60, 30, 0};
    em.scale_type = UI_SCALE_ACTUAL_SIZE;
    em.scale = 2;
    em.Draw();
    EXPECT_EQ(Get(&em, "emitter.cam_x"), "-30");
    EXPECT_FLOAT_EQ(em.pool.draw_scale, 2);
}
