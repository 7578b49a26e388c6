// The drawing API: the transform stack, the vertex-processor
// stack, colour and alpha, the bitmap and rectangle draws that build four
// vertices for the current renderer, caller-built quads and batches,
// scissoring, render targets and the depth default.
#include <math.h>
#include <string.h>

#include "kd-internal.h"
#include "rendimp.h"

// ------------------------------------------------------------------ state

static void SetTemplateColors(uint32_t color) {
    for (int i = 0; i < 4; i++) kd_state.quad[i].color = color;
}

void KDI_InitDrawingState() {
    kd_state.current_alpha = 1.0f;
    kd_state.current_color = 0xFFFFFFFFu;
    if (!(kd_state.depth_default > 0.0f)) kd_state.depth_default = 0.5f;
    kd_state.depth_near = 0.1f;
    kd_state.depth_far = 1.0f;
    for (int i = 0; i < 4; i++) {
        memset(&kd_state.quad[i], 0, sizeof kd_state.quad[i]);
        kd_state.quad[i].z = kd_state.depth_default;
        kd_state.quad[i].color = 0xFFFFFFFFu;
        kd_state.user_quad[i] = kd_state.quad[i];
    }
    kd_state.transform_index = -1;
    kd_state.vertex_processor_index = -1;
    kd_state.vertex_processor_base = 0;
    kd_state.render_target = nullptr;
    kd_state.blend_mode = 0;
    kd_state.pixel_filter = 0;
}

bool KDI_IsBitmapDrawable(const kd_bitmap_t* bm) {
    return bm && bm->state == KD_BITMAP_READY && bm->hw.loaded;
}

// --------------------------------------------------------- transform stack

// Row-major product: the parent on the left, so that the pushed transform
// applies to points first.
static void Multiply(const nTransform& a, const nTransform& b, nTransform* out) {
    nTransform r;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            float s = 0;
            for (int k = 0; k < 4; k++) s += a.m[i * 4 + k] * b.m[k * 4 + j];
            r.m[i * 4 + j] = s;
        }
    *out = r;
}

void KD_PushTransform(nTransform* m) {
    if (kd_state.transform_index >= KD_TRANSFORM_STACK_SIZE - 1) return;  // full: ignored
    const nTransform& given = m ? *m : kd_transform_identity;
    int top = kd_state.transform_index;
    if (top < 0)
        kd_state.transforms[0] = given;
    else
        Multiply(kd_state.transforms[top], given, &kd_state.transforms[top + 1]);
    kd_state.transform_index = top + 1;
    if (ri) ri->SetTransform(&kd_state.transforms[top + 1]);
}

void KD_PopTransform() {
    if (kd_state.transform_index < 0) {
        KD_Popupf(1, "Calling KD_PopTransform() too many times! Check your code!");
        return;
    }
    kd_state.transform_index--;
    if (ri) ri->SetTransform(KD_PeekTransform());
}

nTransform* KD_PeekTransform() {
    int top = kd_state.transform_index;
    if (top < 0 || top >= KD_TRANSFORM_STACK_SIZE) {
        // The caller gets a writable matrix: a fresh identity of its own,
        // never the constant, which lives in read-only memory.
        static nTransform empty_top;
        empty_top = kd_transform_identity;
        return &empty_top;
    }
    return &kd_state.transforms[top];
}

// -------------------------------------------------- vertex-processor stack

void KD_PushVertexProcessor(kd_vertex_processor_fn fn, void* user) {
    if (kd_state.vertex_processor_index >= KD_VERTEX_PROCESSOR_STACK_SIZE - 1) return;  // full: ignored
    int at = ++kd_state.vertex_processor_index;
    kd_state.vertex_processors[at].fn = fn;
    kd_state.vertex_processors[at].user = user;
    // A null callback is a barrier: the processors below it are suspended.
    if (!fn) kd_state.vertex_processor_base = at + 1;
}

void KD_PopVertexProcessor() {
    int top = kd_state.vertex_processor_index;
    if (top < 0) return;
    bool barrier_below_base = !kd_state.vertex_processors[top].fn && top == kd_state.vertex_processor_base - 1;
    kd_state.vertex_processor_index = top - 1;
    if (barrier_below_base) {
        int base = 0;
        for (int i = top - 1; i >= 0; i--)
            if (!kd_state.vertex_processors[i].fn) {
                base = i + 1;
                break;
            }
        kd_state.vertex_processor_base = base;
    }
}

bool KD_RemoveVertexProcessor(kd_vertex_processor_fn fn, void* user) {
    int top = kd_state.vertex_processor_index;
    // From the base up to, but not including, the top entry.
    for (int i = kd_state.vertex_processor_base; i < top; i++) {
        kd_vertex_processor_t& e = kd_state.vertex_processors[i];
        if (e.fn == fn && e.user == user) {
            for (int j = i; j < top; j++) kd_state.vertex_processors[j] = kd_state.vertex_processors[j + 1];
            kd_state.vertex_processor_index = top - 1;
            return true;
        }
    }
    return false;
}

void KD_ApplyVertexProcessing(kd_vertex_t* v, int count) {
    if (!v || count <= 0) return;
    int top = kd_state.vertex_processor_index;
    if (top >= KD_VERTEX_PROCESSOR_STACK_SIZE) top = KD_VERTEX_PROCESSOR_STACK_SIZE - 1;
    for (int i = kd_state.vertex_processor_base; i <= top; i++) {
        kd_vertex_processor_t& e = kd_state.vertex_processors[i];
        if (e.fn) e.fn(v, count, e.user);
    }
}

void KD_ProcessVertex(kd_vertex_t* v) { KD_ApplyVertexProcessing(v, 1); }

// ------------------------------------------------------- colour and alpha

static inline uint8_t* ColorBytes(uint32_t* c) { return reinterpret_cast<uint8_t*>(c); }

// (int)(f x 255) cut to a byte, without undefined behaviour for values out
// of the int range or NaN.
static inline uint8_t ComponentByte(float f) {
    float v = f * 255.0f;
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) v = 2147483520.0f;
    if (v <= -2147483520.0f) v = -2147483520.0f;
    return (uint8_t)(int)v;
}

void KD_SetColor(float r, float g, float b) {
    uint8_t* p = ColorBytes(&kd_state.current_color);
    p[0] = ComponentByte(b);
    p[1] = ComponentByte(g);
    p[2] = ComponentByte(r);
    SetTemplateColors(kd_state.current_color);
}

void KD_SetAlpha(float a) {
    if (!(a > 0.0f)) a = 0.0f;  // NaN counts as 0
    if (a > 1.0f) a = 1.0f;
    kd_state.current_alpha = a;
    uint8_t alpha = ComponentByte(a);
    ColorBytes(&kd_state.current_color)[3] = alpha;
    for (int i = 0; i < 4; i++) ColorBytes(&kd_state.quad[i].color)[3] = alpha;
}

// ------------------------------------------------------------------ draws

static void ProcessAndDraw(kd_bitmap_t* bm, kd_vertex_t* v) {
    if (kd_state.vertex_processor_index >= 0) KD_ApplyVertexProcessing(v, 4);
    if (!ri) return;
    if (bm)
        ri->DrawQuad(bm, v);
    else
        ri->DrawNonTexturedQuad(v);
}

static void FillRect(float x, float y, float w, float h) {
    kd_vertex_t* q = kd_state.quad;
    q[0].x = x;
    q[0].y = y;
    q[1].x = x + w;
    q[1].y = y;
    q[2].x = x;
    q[2].y = y + h;
    q[3].x = x + w;
    q[3].y = y + h;
}

static void FillUVs(const kd_bitmap_t* bm) {
    kd_vertex_t* q = kd_state.quad;
    q[0].u = bm->hw.left_u;
    q[0].v = bm->hw.top_v;
    q[1].u = bm->hw.right_u;
    q[1].v = bm->hw.top_v;
    q[2].u = bm->hw.left_u;
    q[2].v = bm->hw.bottom_v;
    q[3].u = bm->hw.right_u;
    q[3].v = bm->hw.bottom_v;
}

static void FillBitmapRect(const kd_bitmap_t* bm, float x, float y) {
    FillRect(x, y, (float)bm->width, (float)bm->height);
    FillUVs(bm);
}

// p' = pivot + m (p - pivot) for every corner of the template.
static void MapTemplate(const mat2_t* m, const vec2_t* pivot) {
    if (!m) return;
    float px = pivot ? pivot->x : 0.0f, py = pivot ? pivot->y : 0.0f;
    for (int i = 0; i < 4; i++) {
        float dx = kd_state.quad[i].x - px, dy = kd_state.quad[i].y - py;
        kd_state.quad[i].x = px + m->m00 * dx + m->m01 * dy;
        kd_state.quad[i].y = py + m->m10 * dx + m->m11 * dy;
    }
}

void KD_DrawBitmap(kd_bitmap_t* bm, float x, float y) {
    if (!KDI_IsBitmapDrawable(bm) || !(kd_state.current_alpha > 0.0f)) return;
    FillBitmapRect(bm, x, y);
    ProcessAndDraw(bm, kd_state.quad);
}

void KD_DrawBitmapT(kd_bitmap_t* bm, float x, float y, mat2_t* m, vec2_t* pivot) {
    if (!KDI_IsBitmapDrawable(bm)) return;
    FillBitmapRect(bm, x, y);
    MapTemplate(m, pivot);
    ProcessAndDraw(bm, kd_state.quad);
}

void KD_DrawBatchBitmap(kd_bitmap_t* bm, float x, float y) {
    if (!bm || !(kd_state.current_alpha > 0.0f)) return;
    FillBitmapRect(bm, x, y);
    if (kd_state.vertex_processor_index >= 0) KD_ApplyVertexProcessing(kd_state.quad, 4);
    if (kd && kd->BatchDrawQuad) kd->BatchDrawQuad(bm, kd_state.quad);
}

void KD_DrawBatchBitmapT(kd_bitmap_t* bm, float x, float y, mat2_t* m, vec2_t* pivot) {
    if (!bm) return;
    FillBitmapRect(bm, x, y);
    MapTemplate(m, pivot);
    if (kd_state.vertex_processor_index >= 0) KD_ApplyVertexProcessing(kd_state.quad, 4);
    if (kd && kd->BatchDrawQuad) kd->BatchDrawQuad(bm, kd_state.quad);
}

void KD_DrawBitmapRS(kd_bitmap_t* bm, float x, float y, float angle, float scale) {
    if (!KDI_IsBitmapDrawable(bm)) return;
    float hw = scale * 0.5f * (float)bm->width, hh = scale * 0.5f * (float)bm->height;
    float s = sinf(angle), c = cosf(angle);
    float cx = x, cy = y;
    if (bm->width & 1) cx = x - scale * 0.5f;
    if (bm->height & 1) cy = y - scale * 0.5f;
    static const float sx[4] = {-1, 1, -1, 1}, sy[4] = {-1, -1, 1, 1};
    for (int i = 0; i < 4; i++) {
        float dx = sx[i] * hw, dy = sy[i] * hh;
        kd_state.quad[i].x = cx + dx * c - dy * s;
        kd_state.quad[i].y = cy + dx * s + dy * c;
    }
    FillUVs(bm);
    ProcessAndDraw(bm, kd_state.quad);
}

static uint32_t PackBGRA(const color_t* c) {
    if (!c) return kd_state.current_color;
    uint32_t packed;
    uint8_t* p = ColorBytes(&packed);
    p[0] = ComponentByte(c->b);
    p[1] = ComponentByte(c->g);
    p[2] = ComponentByte(c->r);
    p[3] = ComponentByte(c->a);
    return packed;
}

void KD_DrawBitmapLine(kd_bitmap_t* bm, vec2_t* p0, vec2_t* p1, float w0, float w1, color_t* c0, color_t* c1) {
    if (!KDI_IsBitmapDrawable(bm) || !p0 || !p1) return;
    float dx = p0->x - p1->x, dy = p1->y - p0->y;
    float d2 = dx * dx + dy * dy;
    // The fast inverse square root, one Newton step.
    uint32_t bits;
    memcpy(&bits, &d2, sizeof bits);
    uint32_t i = 0x5F3759DFu - (bits >> 1);
    float y;
    memcpy(&y, &i, sizeof y);
    y = y * (1.5f - 0.5f * d2 * y * y);
    float nx = dx * y, ny = dy * y;
    float o0x = w0 * 0.5f * ny, o0y = w0 * 0.5f * nx;
    float o1x = w1 * 0.5f * ny, o1y = w1 * 0.5f * nx;
    kd_vertex_t* q = kd_state.quad;
    q[0].x = p0->x - o0x;
    q[0].y = p0->y - o0y;
    q[1].x = p0->x + o0x;
    q[1].y = p0->y + o0y;
    q[2].x = p1->x - o1x;
    q[2].y = p1->y - o1y;
    q[3].x = p1->x + o1x;
    q[3].y = p1->y + o1y;
    FillUVs(bm);
    uint32_t k0 = PackBGRA(c0), k1 = PackBGRA(c1);
    q[0].color = q[1].color = k0;
    q[2].color = q[3].color = k1;
    ProcessAndDraw(bm, q);
}

void KD_DrawSubBitmap(kd_bitmap_t* bm, float x, float y, float left, float top, float right, float bottom) {
    if (!KDI_IsBitmapDrawable(bm) || bm->width <= 0 || bm->height <= 0) return;
    float du = bm->hw.right_u - bm->hw.left_u, dv = bm->hw.bottom_v - bm->hw.top_v;
    float W = (float)bm->width, H = (float)bm->height;
    FillRect(x, y, right - left, bottom - top);
    float ul = bm->hw.left_u + left / W * du, ur = bm->hw.left_u + right / W * du;
    float vt = bm->hw.top_v + top / H * dv, vb = bm->hw.top_v + bottom / H * dv;
    kd_vertex_t* q = kd_state.quad;
    q[0].u = ul;
    q[0].v = vt;
    q[1].u = ur;
    q[1].v = vt;
    q[2].u = ul;
    q[2].v = vb;
    q[3].u = ur;
    q[3].v = vb;
    ProcessAndDraw(bm, q);
}

void KD_DrawRect(float x, float y, float w, float h) {
    if (!(kd_state.current_alpha > 0.0f)) return;
    FillRect(x, y, w, h);
    ProcessAndDraw(nullptr, kd_state.quad);
}

void KD_DrawBitmap4V(kd_bitmap_t* bm, kd_vertex_t* v) {
    if (!v) return;
    if (bm && !KDI_IsBitmapDrawable(bm)) return;
    memcpy(kd_state.user_quad, v, sizeof kd_state.user_quad);
    kd_vertex_t* q = kd_state.user_quad;
    if (bm) {
        float du = bm->hw.right_u - bm->hw.left_u, dv = bm->hw.bottom_v - bm->hw.top_v;
        for (int i = 0; i < 4; i++) {
            q[i].u = bm->hw.left_u + du * q[i].u;
            q[i].v = bm->hw.top_v + dv * q[i].v;
        }
    }
    ProcessAndDraw(bm, q);
}

void KD_BeginBatch(kd_bitmap_t*) {}

void KD_BatchDrawQuad(kd_bitmap_t* bm, kd_vertex_t* v) {
    if (!v) return;
    if (bm && !KDI_IsBitmapDrawable(bm)) return;
    memcpy(kd_state.user_quad, v, sizeof kd_state.user_quad);
    ProcessAndDraw(bm, kd_state.user_quad);
}

void KD_EndBatch() {}

// ------------------------------------------- scissor, target and depth

static bool RendererReady() { return ri && kd_state.renderer_ready; }

bool KD_SetScissorRect(int x, int y, int w, int h) {
    if (kd_state.autoscale && kd_prog) {
        int nx = (int)(kd_state.offset_x + x * kd_state.scale_x);
        int ny = (int)(kd_state.offset_y + y * kd_state.scale_y);
        int nw = (int)(kd_state.scale_x * w);
        int nh = (int)(kd_state.scale_y * h);
        x = nx;
        y = ny;
        w = nw;
        h = nh;
    }
    if (!RendererReady()) return false;
    return ri->SetScissorRect(x, y, w, h);
}

void KD_DisableScissorRect() {
    if (!RendererReady()) return;
    const kd_parms_t& p = kd_prog ? kd_prog->parms : kd_parms;
    ri->SetScissorRect(0, 0, p.width, p.height);
}

bool KD_SetRenderTarget(kd_bitmap_t* bm) {
    kd_bitmap_t* current = kd_state.render_target;
    if (bm == current) return true;
    bool result = false;
    if (RendererReady()) {
        ri->Flush();
        result = ri->SetRenderTarget(bm);
    }
    if (!current && bm)
        KD_PushTransform(nullptr);
    else if (current && !bm)
        KD_PopTransform();
    kd_state.render_target = bm;
    if (ri) ri->SetTransform(KD_PeekTransform());
    return result;
}

void KD_SetDepthDefault(float depth) {
    kd_state.depth_default = depth;
    for (int i = 0; i < 4; i++) kd_state.quad[i].z = depth;
}

float KD_GetDepthDefault() { return kd_state.depth_default; }
