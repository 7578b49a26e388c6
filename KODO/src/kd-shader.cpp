// Shaders, the extension table's drawing entry and the 3D entry points.
// The OpenGL ES 1.x renderer has no programmable pipeline:
// shaders are bookkeeping only, and the 3D entry points do nothing.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "kd-internal.h"
#include "kd-xmldb.h"
#include "rendimp.h"

void KDI_InitShader(kd_shader_t* shader, const char* name) {
    if (!shader) return;
    memset(shader, 0, sizeof *shader);
    shader->name = nStringDuplicate(name ? name : "");
    shader->ref_count = 1;
    shader->kind = (name && strcmp(name, "!DOT3_DIRECTIONAL") == 0) ? 1 : 0;
}

kd_shader_t* KD_GetShader(const char* name) {
    if (!name) name = "!NONE";
    KDI_LockCoreMutex(KD_MUTEX_GET_SHADER);
    int i = 0;
    for (; i < kd_state.num_shaders && kd_state.shaders[i].name; i++) {
        if (strcmp(kd_state.shaders[i].name, name) == 0) {
            KDI_UnlockCoreMutex(KD_MUTEX_GET_SHADER);
            return &kd_state.shaders[i];
        }
    }
    KD_Printf("..caching shader '%s'\n", name);
    if (i >= KD_MAX_SHADERS) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_SHADER);
        KD_Popupf(1, " ! Kodo out of free shaders.\n");
        return nullptr;
    }
    kd_shader_t* shader = &kd_state.shaders[i];
    if (i == kd_state.num_shaders) kd_state.num_shaders++;
    KDI_InitShader(shader, name);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_SHADER);
    if (ri) ri->LoadShader(shader);
    KD_Printf("\n");
    return shader;
}

void KD_SetShader(kd_shader_t* shader) {
    kd_state.current_shader = shader;
    if (ri) ri->SetShader(shader);
}

void KD_SetShaderParm(kd_shader_t* shader, int index, float* values) {
    if (ri) ri->SetShaderParm(shader, index, values);
}

void KD_SetShaderBitmap(int stage, kd_bitmap_t* bm) {
    if (ri) ri->SetBitmap(stage, bm);
}

// Releases every shader record (engine shutdown).
void KDI_FreeShaders() {
    KDI_LockCoreMutex(KD_MUTEX_GET_SHADER);
    for (int i = 0; i < kd_state.num_shaders; i++) {
        kd_shader_t* shader = &kd_state.shaders[i];
        if (!shader->name) continue;
        if (ri) ri->FreeShader(shader);
        free(shader->name);
        memset(shader, 0, sizeof *shader);
    }
    kd_state.num_shaders = 0;
    kd_state.current_shader = nullptr;
    KDI_UnlockCoreMutex(KD_MUTEX_GET_SHADER);
}

// As KD_DrawBitmapRS, except that an odd side moves the centre by 0.5 (not
// by scale / 2); no drawable or alpha test and no vertex processors.
void KDE_DrawBitmapRS(kd_bitmap_t* bm, float x, float y, float angle, float scale) {
    if (!bm || !kd_state.renderer) return;
    float hw = scale * 0.5f * (float)bm->width, hh = scale * 0.5f * (float)bm->height;
    float s = sinf(angle), c = cosf(angle);
    float cx = (bm->width & 1) ? x - 0.5f : x, cy = (bm->height & 1) ? y - 0.5f : y;
    static const float sx[4] = {-1, 1, -1, 1}, sy[4] = {-1, -1, 1, 1};
    kd_vertex_t v[4];
    for (int i = 0; i < 4; i++) {
        float dx = sx[i] * hw, dy = sy[i] * hh;
        v[i].x = cx + dx * c - dy * s;
        v[i].y = cy + dx * s + dy * c;
        v[i].z = kd_state.depth_default;
        v[i].color = kd_state.current_color;
    }
    v[0].u = v[2].u = bm->hw.left_u;
    v[1].u = v[3].u = bm->hw.right_u;
    v[0].v = v[1].v = bm->hw.top_v;
    v[2].v = v[3].v = bm->hw.bottom_v;
    kd_state.renderer->DrawShadedQuad(bm, v);
}

// ----------------------------------------------------------- 3D entries

void KDIE_Begin3D() {}
void KDIE_End3D() {}
void KDIE_ClearColor(float, float, float, float) {}
void KDIE_ClearDepth(float) {}
void KDIE_SetCameraParms(float, float, float, float) {}
void KDIE_SetCameraLookAt(const vec3_t&, const vec3_t&, const vec3_t&) {}
void KDIE_SetDrawScale(float, float, float) {}
void KDIE_SetDrawPosition(const vec3_t&) {}
void KDIE_SetDrawRotation(float, float, float) {}
void KDIE_DrawModel(kd_model_t*) {}
kd_model_t* KDIE_GetModel(const char*) { return nullptr; }

bool KDIE_LoadModel(kd_model_t* model) {
    if (!model || !model->name) return false;
    char path[512];
    nStringFormat(path, sizeof path, "%s.xml", model->name);
    kd_file_t* f = KD_OpenFile(path, "rb");
    if (!f) {
        KD_Popupf(1, "Source XML file for model '%s' not found.\n", model->name);
        kd_dman.ReleaseDatabase(path);
        return false;
    }
    KD_CloseFile(f);
    KD_DMDatabase* db = kd_dman.GetDatabase(path);
    bool ok = db && db->GetArray("INFO") != nullptr;
    kd_dman.ReleaseDatabase(path);
    return ok;
}

void KDIE_FreeModel(kd_model_t* model) {
    if (!model) return;
    for (int i = 0; model->parts && i < model->num_parts; i++) {
        kd_model_part_t* p = &model->parts[i];
        free(p->vertices);
        free(p->normals);
        free(p->uvs);
        free(p->indices);
    }
    free(model->parts);
    model->parts = nullptr;
    model->num_parts = 0;
}
