// The drawing API's vertex math against a recording renderer:
// the quads handed to the renderer, the transform stack, the vertex
// processors, colour and alpha, render targets and scissoring; the shader
// table; resolution choice, autoscaling and the screen
// transform; the minimal bitmap records the renderer needs.
#include <gtest/gtest.h>
#include <math.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kd-settings.h"
#include "kd-xmldb.h"
#include "rendimp-gles.h"
#include "test-support.h"

namespace {

struct Quad {
    kd_bitmap_t* bm;
    bool textured;
    kd_vertex_t v[4];
};

// Records what reaches it; accepts one screen size only.
class RecordingRendImp : public RendImpNull {
public:
    std::vector<Quad> quads;
    std::vector<Quad> shaded;
    std::vector<nTransform> transforms;
    std::vector<std::vector<int>> scissors;
    std::vector<kd_bitmap_t*> targets;
    int flushes = 0;
    int accept_w = 1024, accept_h = 600;
    int loads = 0, creates = 0, frees = 0;

    const char* GetName() override { return "Recording"; }
    bool IsResolutionSupported(int w, int h) override { return w == accept_w && h == accept_h; }
    void DrawQuad(kd_bitmap_t* bm, kd_vertex_t* v) override { Add(bm, true, v); }
    void DrawNonTexturedQuad(kd_vertex_t* v) override { Add(nullptr, false, v); }
    void DrawShadedQuad(kd_bitmap_t* bm, kd_vertex_t* v) override {
        Quad q{bm, true, {}};
        memcpy(q.v, v, sizeof q.v);
        shaded.push_back(q);
    }
    void SetTransform(nTransform* m) override { transforms.push_back(*m); }
    void Flush() override { flushes++; }
    bool SetScissorRect(int x, int y, int w, int h) override {
        scissors.push_back({x, y, w, h});
        return true;
    }
    bool SetRenderTarget(kd_bitmap_t* bm) override {
        targets.push_back(bm);
        return true;
    }
    bool LoadBitmap(kd_bitmap_t* bm) override {
        loads++;
        bm->hw.loaded = 1;
        bm->hw.texture = 100 + (unsigned)loads;
        bm->hw.left_u = 0;
        bm->hw.top_v = 0;
        bm->hw.right_u = 1;
        bm->hw.bottom_v = 1;
        return true;
    }
    bool CreateBitmap(kd_bitmap_t* bm) override {
        creates++;
        bm->flags |= KD_BITMAP_RENDER_TARGET;
        bm->hw.loaded = 1;
        bm->hw.texture = 200 + (unsigned)creates;
        bm->hw.framebuffer = 1;
        return true;
    }
    void FreeBitmap(kd_bitmap_hw_data_t* hw) override {
        frees++;
        hw->loaded = 0;
    }
    void Reset() {
        quads.clear();
        shaded.clear();
        transforms.clear();
        scissors.clear();
        targets.clear();
        flushes = loads = creates = frees = 0;
        accept_w = 1024;
        accept_h = 600;
    }

private:
    void Add(kd_bitmap_t* bm, bool textured, kd_vertex_t* v) {
        Quad q{bm, textured, {}};
        memcpy(q.v, v, sizeof q.v);
        quads.push_back(q);
    }
};

RecordingRendImp recorder;
RendImp* GetRecorder() { return &recorder; }

uint8_t Byte(uint32_t c, int i) { return reinterpret_cast<uint8_t*>(&c)[i]; }

class Drawing : public ::testing::Test {
protected:
    TempWorkDir dir;

    void SetUp() override {
        ResetTestProg();
        recorder.Reset();
        KDID_SetRendImpFactory(GetRecorder);
        ASSERT_TRUE(KDI_PreInit(nullptr));
        ASSERT_TRUE(KDI_Init());
        kd_state.developer_mode = true;  // popups become log lines
        kd_state.verbose_level = 0;
        recorder.Reset();
        bm = MakeBitmap(16, 8);
    }
    void TearDown() override {
        kd_state.developer_mode = false;
        KODO_Shutdown();
        KDID_SetRendImpFactory(GetRendImpNull);
    }

    // A drawable record outside the table.
    static kd_bitmap_t MakeBitmap(int w, int h) {
        kd_bitmap_t b;
        memset(&b, 0, sizeof b);
        b.name = const_cast<char*>("test");
        b.width = w;
        b.height = h;
        b.state = KD_BITMAP_READY;
        b.hw.loaded = 1;
        b.hw.texture = 7;
        b.hw.left_u = 0.25f;
        b.hw.top_v = 0.5f;
        b.hw.right_u = 0.75f;
        b.hw.bottom_v = 1.0f;
        return b;
    }

    const Quad& Last() { return recorder.quads.back(); }

    kd_bitmap_t bm;
};

void ExpectCorner(const kd_vertex_t& v, float x, float y, const char* what) {
    EXPECT_NEAR(v.x, x, 1e-4) << what;
    EXPECT_NEAR(v.y, y, 1e-4) << what;
}

}  // namespace

// ------------------------------------------------------------- quads

TEST_F(Drawing, DrawBitmapFillsTheRectangleTemplate) {
    KD_DrawBitmap(&bm, 10, 20);
    ASSERT_EQ(recorder.quads.size(), 1u);
    const Quad& q = Last();
    EXPECT_EQ(q.bm, &bm);
    ExpectCorner(q.v[0], 10, 20, "top-left");
    ExpectCorner(q.v[1], 26, 20, "top-right");
    ExpectCorner(q.v[2], 10, 28, "bottom-left");
    ExpectCorner(q.v[3], 26, 28, "bottom-right");
    EXPECT_FLOAT_EQ(q.v[0].u, 0.25f);
    EXPECT_FLOAT_EQ(q.v[0].v, 0.5f);
    EXPECT_FLOAT_EQ(q.v[1].u, 0.75f);
    EXPECT_FLOAT_EQ(q.v[2].v, 1.0f);
    EXPECT_FLOAT_EQ(q.v[3].u, 0.75f);
    EXPECT_FLOAT_EQ(q.v[3].v, 1.0f);
    for (auto& v : q.v) {
        EXPECT_FLOAT_EQ(v.z, 0.5f);
        EXPECT_EQ(v.color, 0xFFFFFFFFu);
    }
}

TEST_F(Drawing, BitmapsThatAreNotDrawableAreSkipped) {
    kd_bitmap_t not_ready = bm;
    not_ready.state = KD_BITMAP_LOADING;
    kd_bitmap_t not_loaded = bm;
    not_loaded.hw.loaded = 0;
    KD_DrawBitmap(nullptr, 0, 0);
    KD_DrawBitmap(&not_ready, 0, 0);
    KD_DrawBitmap(&not_loaded, 0, 0);
    KD_DrawBitmapRS(&not_loaded, 0, 0, 0, 1);
    kd_vertex_t v[4] = {};
    KD_DrawBitmap4V(&not_loaded, v);
    EXPECT_TRUE(recorder.quads.empty());
}

TEST_F(Drawing, DrawBitmapRSWithOddWidthMovesTheCentreLeft) {
    kd_bitmap_t b = MakeBitmap(5, 4);
    KD_DrawBitmapRS(&b, 10, 10, 0, 1);
    const Quad& q = Last();
    ExpectCorner(q.v[0], 7, 8, "top-left");
    ExpectCorner(q.v[1], 12, 8, "top-right");
    ExpectCorner(q.v[2], 7, 12, "bottom-left");
    ExpectCorner(q.v[3], 12, 12, "bottom-right");
}

TEST_F(Drawing, DrawBitmapRSQuarterTurnSwapsTheExtentsClockwise) {
    kd_bitmap_t b = MakeBitmap(5, 4);
    KD_DrawBitmapRS(&b, 10, 10, (float)M_PI / 2, 1);
    const Quad& q = Last();
    // hw = 2.5, hh = 2, centre (9.5, 10): top-left at (cx + hh, cy - hw).
    ExpectCorner(q.v[0], 11.5f, 7.5f, "top-left");
    ExpectCorner(q.v[1], 11.5f, 12.5f, "top-right");
    ExpectCorner(q.v[2], 7.5f, 7.5f, "bottom-left");
    ExpectCorner(q.v[3], 7.5f, 12.5f, "bottom-right");
}

TEST_F(Drawing, DrawBitmapRSScalesAroundTheCentre) {
    KD_DrawBitmapRS(&bm, 100, 50, 0, 2);  // 16 x 8, even: no shift
    const Quad& q = Last();
    ExpectCorner(q.v[0], 84, 42, "top-left");
    ExpectCorner(q.v[3], 116, 58, "bottom-right");
}

TEST_F(Drawing, AlphaIsClampedAndZeroAlphaSkipsOnlyThePlainDraws) {
    KD_SetAlpha(2);
    EXPECT_FLOAT_EQ(kd_state.current_alpha, 1.0f);
    EXPECT_EQ(Byte(kd_state.current_color, 3), 255);
    KD_SetAlpha(-1);
    EXPECT_FLOAT_EQ(kd_state.current_alpha, 0.0f);
    EXPECT_EQ(Byte(kd_state.current_color, 3), 0);
    for (auto& v : kd_state.quad) EXPECT_EQ(Byte(v.color, 3), 0);
    KD_DrawBitmap(&bm, 0, 0);
    KD_DrawRect(0, 0, 5, 5);
    EXPECT_TRUE(recorder.quads.empty());
    KD_DrawBitmapRS(&bm, 0, 0, 0, 1);  // no alpha test: drawn fully transparent
    ASSERT_EQ(recorder.quads.size(), 1u);
    EXPECT_EQ(Byte(Last().v[0].color, 3), 0);
    KD_SetAlpha(0.5f);
    EXPECT_EQ(Byte(kd_state.current_color, 3), 127);
}

TEST_F(Drawing, EngineColourSetterPacksBlueFirstAndTheRendererSetterRedFirst) {
    KD_SetColor(1, 0.5f, 0);
    EXPECT_EQ(Byte(kd_state.current_color, 0), 0);
    EXPECT_EQ(Byte(kd_state.current_color, 1), 127);
    EXPECT_EQ(Byte(kd_state.current_color, 2), 255);
    EXPECT_EQ(Byte(kd_state.current_color, 3), 255);  // alpha untouched
    EXPECT_EQ(kd_state.quad[2].color, kd_state.current_color);
    KD_SetColor_BGR(1, 0.5f, 0);
    EXPECT_EQ(Byte(kd_state.current_color, 0), 255);
    EXPECT_EQ(Byte(kd_state.current_color, 1), 127);
    EXPECT_EQ(Byte(kd_state.current_color, 2), 0);
    EXPECT_EQ(kd_state.quad[3].color, kd_state.current_color);
    // The null / recording renderer keeps the engine's setter in the table;
    // the OpenGL ES renderer installs its own.
    EXPECT_EQ((void*)kd->SetColor, (void*)KD_SetColor);
    kodo_t table;
    memset(&table, 0, sizeof table);
    EXPECT_TRUE(KODO_RendImpOpenGLES_GetInterface()->FillKodoInterface(&table));
    EXPECT_EQ((void*)table.SetColor, (void*)KD_SetColor_BGR);
    EXPECT_EQ((void*)table.BeginBatch, (void*)KDID_BeginBatch);
    EXPECT_EQ((void*)table.BatchDrawQuad, (void*)KDID_BatchDrawQuad);
    EXPECT_EQ((void*)table.EndBatch, (void*)KDID_EndBatch);
    EXPECT_EQ((void*)table.DrawBitmap, nullptr);  // nothing else replaced
}

TEST_F(Drawing, DrawRectIsUntexturedAndKeepsTheUVs) {
    KD_DrawBitmap(&bm, 0, 0);
    KD_SetColor(0, 1, 0);
    KD_DrawRect(1, 2, 3, 4);
    const Quad& q = Last();
    EXPECT_FALSE(q.textured);
    ExpectCorner(q.v[0], 1, 2, "top-left");
    ExpectCorner(q.v[3], 4, 6, "bottom-right");
    EXPECT_FLOAT_EQ(q.v[3].u, 0.75f);  // left as they were
    EXPECT_EQ(q.v[0].color, kd_state.current_color);
}

TEST_F(Drawing, DrawSubBitmapOfTheWholeBitmapEqualsDrawBitmap) {
    KD_DrawBitmap(&bm, 3, 4);
    KD_DrawSubBitmap(&bm, 3, 4, 0, 0, 16, 8);
    ASSERT_EQ(recorder.quads.size(), 2u);
    for (int i = 0; i < 4; i++) {
        EXPECT_FLOAT_EQ(recorder.quads[0].v[i].x, recorder.quads[1].v[i].x) << i;
        EXPECT_FLOAT_EQ(recorder.quads[0].v[i].y, recorder.quads[1].v[i].y) << i;
        EXPECT_FLOAT_EQ(recorder.quads[0].v[i].u, recorder.quads[1].v[i].u) << i;
        EXPECT_FLOAT_EQ(recorder.quads[0].v[i].v, recorder.quads[1].v[i].v) << i;
    }
}

TEST_F(Drawing, DrawSubBitmapCutsTheSourceRectangle) {
    KD_DrawSubBitmap(&bm, 50, 60, 4, 2, 12, 6);
    const Quad& q = Last();
    ExpectCorner(q.v[0], 50, 60, "top-left");
    ExpectCorner(q.v[3], 58, 64, "bottom-right");
    EXPECT_FLOAT_EQ(q.v[0].u, 0.25f + 4.0f / 16 * 0.5f);
    EXPECT_FLOAT_EQ(q.v[1].u, 0.25f + 12.0f / 16 * 0.5f);
    EXPECT_FLOAT_EQ(q.v[0].v, 0.5f + 2.0f / 8 * 0.5f);
    EXPECT_FLOAT_EQ(q.v[2].v, 0.5f + 6.0f / 8 * 0.5f);
}

TEST_F(Drawing, DrawBitmap4VMapsRelativeUVsIntoTheBitmap) {
    kd_vertex_t v[4] = {};
    float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; i++) {
        v[i].x = (float)i;
        v[i].u = uv[i][0];
        v[i].v = uv[i][1];
    }
    KD_DrawBitmap4V(&bm, v);
    const Quad& q = Last();
    EXPECT_FLOAT_EQ(q.v[0].u, 0.25f);
    EXPECT_FLOAT_EQ(q.v[3].u, 0.75f);
    EXPECT_FLOAT_EQ(q.v[0].v, 0.5f);
    EXPECT_FLOAT_EQ(q.v[3].v, 1.0f);
    EXPECT_FLOAT_EQ(v[3].u, 1.0f);  // the caller's vertices are copied, not changed
    KD_DrawBitmap4V(nullptr, v);
    EXPECT_FALSE(Last().textured);
    EXPECT_FLOAT_EQ(Last().v[3].u, 1.0f);
}

TEST_F(Drawing, DrawBitmapLineIsABandPerpendicularToTheLine) {
    vec2_t p0{0, 0}, p1{10, 0};
    color_t c0{1, 0, 0, 1}, c1{0, 0, 1, 0.5f};
    KD_DrawBitmapLine(&bm, &p0, &p1, 2, 4, &c0, &c1);
    const Quad& q = Last();
    // The fast inverse square root is good to about 0.2 %.
    EXPECT_NEAR(q.v[0].x, 0, 1e-3);
    EXPECT_NEAR(q.v[0].y, 1, 3e-3);
    EXPECT_NEAR(q.v[1].y, -1, 3e-3);
    EXPECT_NEAR(q.v[2].x, 10, 1e-3);
    EXPECT_NEAR(q.v[2].y, 2, 6e-3);
    EXPECT_NEAR(q.v[3].y, -2, 6e-3);
    // Blue, green, red, alpha bytes.
    EXPECT_EQ(Byte(q.v[0].color, 2), 255);
    EXPECT_EQ(Byte(q.v[0].color, 0), 0);
    EXPECT_EQ(Byte(q.v[2].color, 0), 255);
    EXPECT_EQ(Byte(q.v[2].color, 3), 127);
    // The template keeps the band colours until the colour is set again.
    KD_DrawBitmap(&bm, 0, 0);
    EXPECT_EQ(Last().v[2].color, q.v[2].color);
    KD_SetColor(1, 1, 1);
    KD_DrawBitmap(&bm, 0, 0);
    EXPECT_EQ(Last().v[2].color, 0xFFFFFFFFu);
    // A zero-length line gives no NaN.
    KD_DrawBitmapLine(&bm, &p0, &p0, 2, 2, &c0, &c0);
    for (auto& v : Last().v) EXPECT_FALSE(std::isnan(v.x) || std::isnan(v.y));
}

TEST_F(Drawing, DrawBitmapTMapsEveryCornerAboutThePivot) {
    mat2_t m{0, -1, 1, 0};  // a quarter turn
    vec2_t pivot{10, 20};
    KD_DrawBitmapT(&bm, 10, 20, &m, &pivot);
    const Quad& q = Last();
    ExpectCorner(q.v[0], 10, 20, "top-left (the pivot)");
    ExpectCorner(q.v[1], 10, 36, "top-right");
    ExpectCorner(q.v[2], 2, 20, "bottom-left");
}

TEST_F(Drawing, BatchFormsGoThroughTheTableSlotAndEngineBatchDrawsAsGiven) {
    KD_DrawBatchBitmap(&bm, 1, 2);
    ASSERT_EQ(recorder.quads.size(), 1u);
    ExpectCorner(Last().v[0], 1, 2, "top-left");
    kd_vertex_t v[4] = {};
    v[1].u = 0.9f;
    KD_BatchDrawQuad(&bm, v);
    EXPECT_FLOAT_EQ(Last().v[1].u, 0.9f);  // UVs as given
    KD_SetAlpha(0);
    KD_DrawBatchBitmap(&bm, 1, 2);
    EXPECT_EQ(recorder.quads.size(), 2u);
}

TEST_F(Drawing, DepthDefaultSetsTheTemplateDepth) {
    KD_SetDepthDefault(0.25f);
    EXPECT_FLOAT_EQ(KD_GetDepthDefault(), 0.25f);
    KD_DrawBitmap(&bm, 0, 0);
    for (auto& v : Last().v) EXPECT_FLOAT_EQ(v.z, 0.25f);
}

// --------------------------------------------------------- transforms

TEST_F(Drawing, PushedTransformsMultiplyParentOnTheLeft) {
    nTransform a = kd_transform_identity, b = kd_transform_identity;
    a.m[3] = 100;  // translate x by 100
    b.m[0] = 2;    // scale x by 2
    KD_PushTransform(&a);
    KD_PushTransform(&b);
    ASSERT_EQ(recorder.transforms.size(), 2u);
    const nTransform& ab = recorder.transforms[1];
    // A point x maps to 100 + 2x: the pushed transform applies first.
    EXPECT_FLOAT_EQ(ab.m[0], 2);
    EXPECT_FLOAT_EQ(ab.m[3], 100);
    EXPECT_EQ(KD_PeekTransform(), &kd_state.transforms[1]);
    KD_PopTransform();
    EXPECT_FLOAT_EQ(recorder.transforms.back().m[3], 100);
    EXPECT_FLOAT_EQ(recorder.transforms.back().m[0], 1);
    KD_PopTransform();
    EXPECT_EQ(memcmp(&recorder.transforms.back(), &kd_transform_identity, sizeof(nTransform)), 0);
    EXPECT_EQ(kd_state.transform_index, -1);
    KD_PushTransform(nullptr);  // null pushes the identity
    EXPECT_EQ(memcmp(KD_PeekTransform(), &kd_transform_identity, sizeof(nTransform)), 0);
    KD_PopTransform();

    // The empty stack's top is the identity, and writing through the
    // pointer (the interface hands out a writable one) changes nothing else.
    nTransform* empty = kd->PeekTransform();
    empty->m[0] = 5;
    EXPECT_FLOAT_EQ(kd_transform_identity.m[0], 1);
    EXPECT_EQ(memcmp(kd->PeekTransform(), &kd_transform_identity, sizeof(nTransform)), 0);
}

TEST_F(Drawing, TransformStackOverflowIsIgnoredAndUnderflowIsReported) {
    LogCapture log;
    for (int i = 0; i < 40; i++) KD_PushTransform(nullptr);
    EXPECT_EQ(kd_state.transform_index, 31);
    EXPECT_EQ(recorder.transforms.size(), 32u);
    for (int i = 0; i < 32; i++) KD_PopTransform();
    EXPECT_EQ(kd_state.transform_index, -1);
    EXPECT_FALSE(log.Contains("too many times"));
    KD_PopTransform();
    EXPECT_EQ(kd_state.transform_index, -1);
    EXPECT_TRUE(log.Contains("Calling KD_PopTransform() too many times! Check your code!"));
}

// ------------------------------------------------- vertex processors

namespace {
std::vector<std::string> processor_calls;
void AddOne(kd_vertex_t* v, int count, void* user) {
    processor_calls.push_back("add:" + std::to_string(count));
    for (int i = 0; i < count; i++) v[i].x += 1;
}
void Double(kd_vertex_t* v, int count, void* user) {
    processor_calls.push_back("double:" + std::to_string(count));
    for (int i = 0; i < count; i++) v[i].x *= 2;
}
void Tag(kd_vertex_t* v, int count, void* user) { processor_calls.push_back((const char*)user); }
}  // namespace

TEST_F(Drawing, VertexProcessorsRunBottomToTopOverTheQuad) {
    processor_calls.clear();
    KD_PushVertexProcessor(AddOne, nullptr);
    KD_PushVertexProcessor(Double, nullptr);
    KD_DrawBitmap(&bm, 10, 0);
    EXPECT_FLOAT_EQ(Last().v[0].x, 22);  // (10 + 1) x 2
    ASSERT_EQ(processor_calls.size(), 2u);
    EXPECT_EQ(processor_calls[0], "add:4");
    EXPECT_EQ(processor_calls[1], "double:4");
    kd_vertex_t one = {};
    one.x = 3;
    KD_ProcessVertex(&one);
    EXPECT_FLOAT_EQ(one.x, 8);
    KD_PopVertexProcessor();
    KD_PopVertexProcessor();
    KD_PopVertexProcessor();  // empty: nothing
    KD_DrawBitmap(&bm, 10, 0);
    EXPECT_FLOAT_EQ(Last().v[0].x, 10);
}

TEST_F(Drawing, NullProcessorIsABarrierUntilItIsPopped) {
    KD_PushVertexProcessor(AddOne, nullptr);
    KD_PushVertexProcessor(nullptr, nullptr);
    KD_DrawBitmap(&bm, 10, 0);
    EXPECT_FLOAT_EQ(Last().v[0].x, 10);
    KD_PushVertexProcessor(Double, nullptr);
    KD_DrawBitmap(&bm, 10, 0);
    EXPECT_FLOAT_EQ(Last().v[0].x, 20);
    KD_PopVertexProcessor();  // Double
    KD_PopVertexProcessor();  // the barrier
    KD_DrawBitmap(&bm, 10, 0);
    EXPECT_FLOAT_EQ(Last().v[0].x, 11);
    KD_PopVertexProcessor();
}

TEST_F(Drawing, RemoveFindsEntriesBelowTheTopOnly) {
    processor_calls.clear();
    KD_PushVertexProcessor(Tag, (void*)"a");
    KD_PushVertexProcessor(Tag, (void*)"b");
    KD_PushVertexProcessor(Tag, (void*)"c");
    EXPECT_FALSE(kd->RemoveVertexProcessor(Tag, (void*)"c"));  // the top entry
    EXPECT_FALSE(kd->RemoveVertexProcessor(Tag, (void*)"x"));
    EXPECT_TRUE(kd->RemoveVertexProcessor(Tag, (void*)"a"));
    EXPECT_EQ(kd_state.vertex_processor_index, 1);
    KD_DrawRect(0, 0, 1, 1);
    ASSERT_EQ(processor_calls.size(), 2u);
    EXPECT_EQ(processor_calls[0], "b");
    EXPECT_EQ(processor_calls[1], "c");
    KD_PopVertexProcessor();
    KD_PopVertexProcessor();
}

TEST_F(Drawing, SeventeenthProcessorIsIgnored) {
    for (int i = 0; i < 17; i++) KD_PushVertexProcessor(AddOne, nullptr);
    EXPECT_EQ(kd_state.vertex_processor_index, 15);
    KD_DrawBitmap(&bm, 0, 0);
    EXPECT_FLOAT_EQ(Last().v[0].x, 16);
    for (int i = 0; i < 20; i++) KD_PopVertexProcessor();
    EXPECT_EQ(kd_state.vertex_processor_index, -1);
}

// ------------------------------------------- render targets, scissor

TEST_F(Drawing, RenderTargetPushesTheIdentityOnceAndPopsItOnReturn) {
    kd_bitmap_t* rt = KD_CreateBitmap("rt", 64, 32, 1);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(recorder.creates, 1);
    EXPECT_TRUE(KD_SetRenderTarget(rt));
    EXPECT_TRUE(KD_SetRenderTarget(rt));
    EXPECT_EQ(kd_state.transform_index, 0);
    EXPECT_EQ(recorder.targets.size(), 1u);
    EXPECT_GE(recorder.flushes, 1);
    EXPECT_TRUE(KD_SetRenderTarget(nullptr));
    EXPECT_EQ(kd_state.transform_index, -1);
    EXPECT_EQ(kd_state.render_target, nullptr);
    ASSERT_EQ(recorder.targets.size(), 2u);
    EXPECT_EQ(recorder.targets[1], nullptr);
    KD_ReleaseBitmap(rt);
}

TEST_F(Drawing, ReleasingTheCurrentRenderTargetReturnsToTheScreenFirst) {
    LogCapture log;
    kd_bitmap_t* rt = KD_CreateBitmap("rt", 64, 32, 1);
    KD_SetRenderTarget(rt);
    KD_ReleaseBitmap(rt);
    EXPECT_EQ(kd_state.render_target, nullptr);
    EXPECT_EQ(kd_state.transform_index, -1);
    EXPECT_TRUE(log.Contains("Releasing current render target bitmap 'rt' is not allowed"));
    EXPECT_EQ(rt->name, nullptr);  // not reloadable: freed
    EXPECT_EQ(recorder.frees, 1);
}

TEST_F(Drawing, ScissorRectangleIsMappedByTheAutoscaleTransform) {
    EXPECT_TRUE(KD_SetScissorRect(10, 20, 100, 50));
    ASSERT_EQ(recorder.scissors.size(), 1u);
    EXPECT_EQ(recorder.scissors[0], (std::vector<int>{10, 20, 100, 50}));
    kd_state.autoscale = true;
    kd_state.offset_x = 8;
    kd_state.offset_y = 0;
    kd_state.scale_x = kd_state.scale_y = 1.25f;
    KD_SetScissorRect(10, 20, 100, 50);
    EXPECT_EQ(recorder.scissors[1], (std::vector<int>{20, 25, 125, 62}));
    kd_state.autoscale = false;
    KD_DisableScissorRect();
    EXPECT_EQ(recorder.scissors[2], (std::vector<int>{0, 0, 1024, 600}));
    kd_state.renderer_ready = false;
    EXPECT_FALSE(KD_SetScissorRect(0, 0, 1, 1));
    kd_state.renderer_ready = true;
}

// ------------------------------------------------------------ shaders

TEST_F(Drawing, ShadersAreNamedRecordsOfAFixedTable) {
    LogCapture log;
    kd_shader_t* a = kd->ext->GetShader("glow");
    kd_shader_t* b = kd->ext->GetShader("glow");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    int cached = 0;
    for (auto& l : log.lines) cached += l.find("..caching shader 'glow'") != std::string::npos;
    EXPECT_EQ(cached, 1);
    EXPECT_EQ(a->ref_count, 1);
    EXPECT_EQ(a->kind, 0);
    EXPECT_EQ(kd->ext->GetShader("!DOT3_DIRECTIONAL")->kind, 1);
    kd_shader_t* none = kd->ext->GetShader(nullptr);
    ASSERT_NE(none, nullptr);
    EXPECT_STREQ(none->name, "!NONE");
    for (int i = kd_state.num_shaders; i < 32; i++)
        EXPECT_NE(kd->ext->GetShader(("s" + std::to_string(i)).c_str()), nullptr);
    EXPECT_EQ(kd->ext->GetShader("one too many"), nullptr);
    EXPECT_TRUE(log.Contains(" ! Kodo out of free shaders."));
    kd->ext->SetShader(a);
    EXPECT_EQ(kd_state.current_shader, a);
}

TEST_F(Drawing, ExtensionDrawBitmapRSShiftsOddSidesByHalfAPixel) {
    kd_bitmap_t b = MakeBitmap(5, 4);
    b.hw.loaded = 0;  // no drawable test
    kd->ext->DrawBitmapRS(&b, 10, 10, 0, 3);
    ASSERT_EQ(recorder.shaded.size(), 1u);
    EXPECT_TRUE(recorder.quads.empty());
    // hw = 7.5, hh = 6, centre (9.5, 10).
    ExpectCorner(recorder.shaded[0].v[0], 2, 4, "top-left");
    ExpectCorner(recorder.shaded[0].v[3], 17, 16, "bottom-right");
}

// ----------------------------------------------------- resolution

TEST_F(Drawing, ResolutionListIsTriedInOrderUntilTheRendererAcceptsOne) {
    LogCapture log;
    kd_state.resolutions = "1280x800,1024x600";
    EXPECT_TRUE(KDI_SelectOptimalResolution(false, false));
    EXPECT_EQ(kd_prog->parms.width, 1024);
    EXPECT_EQ(kd_prog->parms.height, 600);
    int tried_1280 = log.IndexOf("Trying 1280x800"), tried_1024 = log.IndexOf("Trying 1024x600");
    EXPECT_GE(tried_1280, 0);
    EXPECT_GT(tried_1024, tried_1280);
    EXPECT_TRUE(log.Contains("Selected 1024x600."));
    // Forcing takes the first entry without asking.
    EXPECT_TRUE(KDI_SelectOptimalResolution(false, true));
    EXPECT_EQ(kd_prog->parms.width, 1280);
    // '*' is the device's size.
    kd_state.resolutions = "640x480,*";
    EXPECT_TRUE(KDI_SelectOptimalResolution(true, false));
    EXPECT_EQ(kd_prog->parms.width, kd_state.device_width);
    // Nothing accepted.
    kd_state.resolutions = "640x480,800x600";
    kd_prog->parms.width = 1234;
    EXPECT_FALSE(KDI_SelectOptimalResolution(false, false));
    EXPECT_EQ(kd_prog->parms.width, 1234);
    EXPECT_TRUE(log.Contains("No resolution found in KDI_SelectOptimalResolution!"));
    // A forced size wins.
    kd_state.force_screen_size = true;
    kd_state.forced_width = 800;
    kd_state.forced_height = 480;
    EXPECT_TRUE(KDI_IsResolutionSupportedByDevice(800, 480, false));
    EXPECT_TRUE(KDI_SelectOptimalResolution(false, false));
    EXPECT_EQ(kd_prog->parms.width, 800);
    kd_state.force_screen_size = false;
    kd_state.resolutions = nullptr;
    EXPECT_FALSE(KDI_SelectOptimalResolution(false, false));
}

TEST_F(Drawing, ProgramSupportsListedSizesEitherWayRound) {
    kd_state.resolutions = "1280x800,,600x1024";
    EXPECT_TRUE(KDI_DoesProgramSupportResolution(800, 1280));
    EXPECT_FALSE(KDI_DoesProgramSupportResolution(1024, 600));  // after the empty field
    kd_state.resolutions = "320x240,*";
    EXPECT_TRUE(KDI_DoesProgramSupportResolution(1, 1));
    kd_state.resolutions = nullptr;
    EXPECT_FALSE(KDI_DoesProgramSupportResolution(1024, 600));
}

TEST_F(Drawing, AutoscalingWithRetainedAspectLetterBoxesTopAndBottom) {
    // Reference 1024 x 600 on a 1280 x 800 screen.
    std::filesystem::create_directories("app/native");
    std::ofstream("app/native/prog.xml") << "<root><array id=\"PARAMETERS\"><node id=\"APPLICATION\" "
                                            "features=\"AUTOSCALE,AUTOSCALE_RETAIN_ASPECT_RATIO\" "
                                            "reference_resolution=\"1024x600\"/></array></root>";
    KDI_ReadProgramSettings();
    ASSERT_TRUE(kd_state.autoscale);
    kd_prog->parms.width = 1280;
    kd_prog->parms.height = 800;
    KDI_SetupAutoscaling();
    EXPECT_FLOAT_EQ(kd_state.scale_x, 1.25f);
    EXPECT_FLOAT_EQ(kd_state.scale_y, 1.25f);
    EXPECT_FLOAT_EQ(kd_state.offset_x, 0);
    EXPECT_FLOAT_EQ(kd_state.offset_y, 25);
    EXPECT_FLOAT_EQ(kd_state.inv_scale_x, 0.8f);

    // The screen transform: the program draws at 1024 x 600 and its centre
    // lands on the centre of the device.
    kd_state.device_width = 1280;
    kd_state.device_height = 800;
    KDI_UpdateScreenTransforms(0);
    KDI_PushScreenTransforms();
    EXPECT_EQ(kd_prog->parms.width, 1024);
    EXPECT_EQ(kd_prog->parms.height, 600);
    const nTransform& m = *KD_PeekTransform();
    EXPECT_FLOAT_EQ(m.m[0], 1.25f);
    EXPECT_FLOAT_EQ(m.m[3], 0);   // 640 - 1.25 x 512
    EXPECT_FLOAT_EQ(m.m[7], 25);  // 400 - 1.25 x 300
    recorder.quads.clear();
    KDI_DrawScreenBorderRectangles();
    ASSERT_EQ(recorder.quads.size(), 2u);  // below and above only
    ExpectCorner(recorder.quads[0].v[0], 0, 600, "below");
    ExpectCorner(recorder.quads[1].v[0], 0, -600, "above");
    EXPECT_EQ(recorder.quads[0].v[0].color & 0x00FFFFFFu, 0u);  // black
    EXPECT_EQ(kd_state.quad[0].color, 0xFFFFFFFFu);              // white again
    KDI_PopScreenTransforms();
}

// The program learns the size it draws at as soon as the scale is known,
// before its own start-up reads its record (where a 1280 x 800 size once
// made the screens scale the layout a second time). A later request for a
// size other than the display's (the UI editor's 1230 x 768 window on a
// 1024 x 600 display) is scaled onto the display whole, with its aspect.
TEST_F(Drawing, TheProgramDrawsAtOneSizeScaledOnceOntoTheDisplay) {
    kd_state.autoscale = true;
    kd_prog->parms.width = 1280;
    kd_prog->parms.height = 800;
    kd_prog->parms.reference_width = 1024;
    kd_prog->parms.reference_height = 600;
    KDI_SetupAutoscaling();
    EXPECT_EQ(kd_prog->parms.width, 1024);
    EXPECT_EQ(kd_prog->parms.height, 600);

    kd_state.device_width = 1024;
    kd_state.device_height = 600;
    kd_prog->parms.width = 1230;
    kd_prog->parms.height = 768;
    KDI_FitProgramToDevice();
    EXPECT_TRUE(kd_state.autoscale);
    EXPECT_FLOAT_EQ(kd_state.scale_x, 0.78125f);
    EXPECT_FLOAT_EQ(kd_state.scale_y, 0.78125f);
    EXPECT_FLOAT_EQ(kd_state.offset_x, 31);
    EXPECT_FLOAT_EQ(kd_state.offset_y, 0);
    KDI_PushScreenTransforms();
    EXPECT_EQ(kd_prog->parms.width, 1230);  // it keeps the size it asked for
    KDI_PopScreenTransforms();

    kd_prog->parms.width = 1024;  // the display's own size: no scale
    kd_prog->parms.height = 600;
    KDI_FitProgramToDevice();
    EXPECT_FALSE(kd_state.autoscale);
    EXPECT_FLOAT_EQ(kd_state.scale_x, 1);
    EXPECT_FLOAT_EQ(kd_state.offset_x, 0);
}

TEST_F(Drawing, ScreenSizeEqualToTheReferenceTurnsAutoscalingOff) {
    kd_state.autoscale = true;
    kd_prog->parms.reference_width = 1024;
    kd_prog->parms.reference_height = 600;
    KDI_SetupAutoscaling();
    EXPECT_FALSE(kd_state.autoscale);
    recorder.quads.clear();
    KDI_DrawScreenBorderRectangles();
    EXPECT_TRUE(recorder.quads.empty());
}

TEST_F(Drawing, ZeroReferenceResolutionFallsBackToTheWindowSizeWithAWarning) {
    LogCapture log;
    kd_state.autoscale = true;
    kd_prog->parms.reference_width = 0;
    kd_prog->parms.reference_height = 0;
    KDI_SetupAutoscaling();
    EXPECT_TRUE(log.Contains("reference resolution 0x0 is not usable; using the window size 1024x600"));
    EXPECT_FALSE(kd_state.autoscale);
    EXPECT_EQ(kd_state.reference_width, 1024);
    EXPECT_FLOAT_EQ(kd_state.scale_x, 1);
    EXPECT_FLOAT_EQ(kd_state.inv_scale_y, 1);
    EXPECT_FLOAT_EQ(kd_state.offset_x, 0);
}

TEST_F(Drawing, OrientationAnglesAndRotatedProgram) {
    EXPECT_FLOAT_EQ(KDI_GetOrientationAngle(1), 0);
    EXPECT_FLOAT_EQ(KDI_GetOrientationAngle(2), 180);
    EXPECT_FLOAT_EQ(KDI_GetOrientationAngle(4), -90);
    EXPECT_FLOAT_EQ(KDI_GetOrientationAngle(8), 90);
    EXPECT_FLOAT_EQ(KDI_GetOrientationAngle(0), 0);
    EXPECT_FLOAT_EQ(KDI_GetOrientationAngle(9), 0);
    // A landscape program on a portrait device is turned by 90 degrees
    // about the device's centre.
    kd_state.device_width = 600;
    kd_state.device_height = 1024;
    kd_state.device_orientation = 1;
    kd_state.orientation_current = 8;
    KDI_UpdateScreenTransforms(0);
    EXPECT_EQ(kd_state.orientation_mask, 12);
    KDI_PushScreenTransforms();
    const nTransform& m = *KD_PeekTransform();
    // Program (0, 0) -> device (600 - 0, 0) ... the top-left corner goes
    // to the top-right of the portrait screen.
    float x = m.m[0] * 0 + m.m[1] * 0 + m.m[3], y = m.m[4] * 0 + m.m[5] * 0 + m.m[7];
    EXPECT_NEAR(x, 600, 1e-3);
    EXPECT_NEAR(y, 0, 1e-3);
    KDI_PopScreenTransforms();
}

TEST_F(Drawing, RectanglesAreTurnedForAPortraitDevice) {
    int x = 10, y = 20, w = 100, h = 50;
    KD_TranslateRectByOrientation(&x, &y, &w, &h);  // landscape on landscape
    EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({10, 20, 100, 50}));
    kd_state.device_width = 600;
    kd_state.device_height = 1024;
    kd_state.orientation_current = 8;
    KD_TranslateRectByOrientation(&x, &y, &w, &h);
    EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({600 - 20 - 50, 10, 50, 100}));
    x = 10, y = 20, w = 100, h = 50;
    kd_state.orientation_current = 4;
    KD_TranslateRectByOrientation(&x, &y, &w, &h);
    EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({600 - 530 - 50, 1024 - 10 - 100, 50, 100}));
}

TEST_F(Drawing, InputBitmapScaleFactors) {
    EXPECT_DOUBLE_EQ(KDIF_GetInputBitmapScaleFactor("FONT"), 1.0);
    EXPECT_DOUBLE_EQ(KDIF_GetInputBitmapScaleFactor("INPUT@2x"), 2.0);
    EXPECT_DOUBLE_EQ(KDIF_GetInputBitmapScaleFactor("INPUT@1/2"), 0.5);
    EXPECT_DOUBLE_EQ(KDIF_GetInputBitmapScaleFactor("INPUT@/4"), 0.25);
    KD_DMArray array;
    for (const char* id : {"INPUT@1x", "OTHER", "INPUT@2x", "INPUT@4x"}) array.AddNode(id);
    EXPECT_STREQ(KDIF_SelectBestInputBitmapForScaling(&array, 2.0), "INPUT@2x");
    EXPECT_STREQ(KDIF_SelectBestInputBitmapForScaling(&array, 1.5), "INPUT@2x");
    EXPECT_STREQ(KDIF_SelectBestInputBitmapForScaling(&array, 3.0), "INPUT@4x");
    EXPECT_STREQ(KDIF_SelectBestInputBitmapForScaling(&array, 0.5), "INPUT@1x");
    EXPECT_EQ(KDIF_SelectBestInputBitmapForScaling(nullptr, 1.0), nullptr);
}

// --------------------------------------------------- bitmap records

TEST_F(Drawing, CreatedBitmapsAreCountedByNameAndFreedAtZero) {
    kd_bitmap_t* a = KD_CreateBitmap("pixels", 3, 2, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->state, KD_BITMAP_READY);
    EXPECT_EQ(a->cache_mode, KD_CACHE_BOTH);
    EXPECT_EQ(a->pack_mode, KD_PACK_NONE);
    EXPECT_NE(a->pixels, nullptr);
    EXPECT_FALSE(a->hw.loaded);
    EXPECT_EQ(KD_CreateBitmap("pixels", 3, 2, 0), a);
    EXPECT_EQ(a->ref_count, 2);
    // Pixels reach the renderer through a refresh.
    KD_RefreshBitmap(a);
    EXPECT_EQ(recorder.loads, 1);
    EXPECT_TRUE(KDI_IsBitmapDrawable(a));
    KD_ReleaseBitmap(a);
    EXPECT_EQ(a->ref_count, 1);
    KD_ReleaseBitmap(a);
    EXPECT_EQ(a->name, nullptr);
    EXPECT_EQ(a->pixels, nullptr);
    EXPECT_EQ(recorder.frees, 1);
    // Unusable sizes are refused.
    EXPECT_EQ(KD_CreateBitmap("bad", 0, 5, 0), nullptr);
    EXPECT_EQ(KD_CreateBitmap("huge", 1 << 20, 1 << 20, 0), nullptr);
}

TEST_F(Drawing, RenderTargetsAreRecreatedAfterARendererRestartWithEvent17) {
    kd_bitmap_t* rt = KD_CreateBitmap("target", 32, 32, 1);
    kd_bitmap_t* px = KD_CreateBitmap("image", 4, 4, 0);
    KD_RefreshBitmap(px);
    recorder.Reset();
    test_prog.events.clear();
    ASSERT_TRUE(KDI_InitRendImp());  // shuts the ready renderer down first
    EXPECT_EQ(recorder.frees, 2);
    EXPECT_EQ(recorder.creates, 1);
    EXPECT_EQ(recorder.loads, 1);  // the created image is uploaded again
    int restores = 0;
    for (auto& e : test_prog.events)
        if (e.type == KD_EVENT_RENDER_TARGET_RESTORE && (kd_bitmap_t*)e.id == rt) restores++;
    EXPECT_EQ(restores, 1);
    KD_ReleaseBitmap(rt);
    KD_ReleaseBitmap(px);
}

TEST_F(Drawing, TextureWorkFromOtherThreadsWaitsForTheFrame) {
    LogCapture log;
    kd_bitmap_t* rt = nullptr;
    std::thread([&] { rt = KD_CreateBitmap("worker-target", 16, 16, 1); }).join();
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(recorder.creates, 0);  // queued, not created off the main thread
    kd_bitmap_t* px = KD_CreateBitmap("worker-image", 4, 4, 0);
    std::thread([&] { KDI_LoadBitmapToHardware(px); }).join();
    EXPECT_TRUE(log.Contains("Adding bitmap 'worker-image' to hardware upload queue."));
    EXPECT_EQ(recorder.loads, 0);
    KDI_Frame(8);
    EXPECT_EQ(recorder.creates, 1);
    EXPECT_EQ(recorder.loads, 1);
    EXPECT_TRUE(px->hw.loaded);
    EXPECT_EQ(px->pixels != nullptr, true);  // cache mode 6 keeps the pixels
    // A texture released off the main thread is freed by the next frame.
    std::thread([&] { KDI_ReleaseBitmapHardwareData(px); }).join();
    EXPECT_FALSE(px->hw.loaded);
    EXPECT_EQ(recorder.frees, 0);
    KDI_Frame(8);
    EXPECT_EQ(recorder.frees, 1);
    EXPECT_TRUE(log.Contains("Freeing bitmap hardware data"));
    KD_ReleaseBitmap(rt);
    KD_ReleaseBitmap(px);
}
