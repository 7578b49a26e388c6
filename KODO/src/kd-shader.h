// Shader records and the 3D entry points of the extension interface.
// Only the engine includes this header.
#ifndef KD_SHADER_H
#define KD_SHADER_H

#include "include/kodo.h"

enum { KD_MAX_SHADERS = 32 };

struct kd_shader_t {
    char* name;  // owned copy; "" when created without a name
    int16_t ref_count;
    int16_t kind;  // 1 for "!DOT3_DIRECTIONAL", else 0
    // The rest of the record belongs to the renderer; zeroed at creation.
    unsigned char renderer_data[64];
};

struct vec3_t {
    float x, y, z;
};

// A 3D model handle; each part owns four separate buffers (its first,
// second, third and fifth fields).
struct kd_model_part_t {
    void* vertices;
    void* normals;
    void* uvs;
    int32_t count;
    void* indices;
    int32_t index_count;
};

struct kd_model_t {
    char* name;
    kd_model_part_t* parts;
    int32_t num_parts;
};

void KDI_InitShader(kd_shader_t* shader, const char* name);
void KDI_FreeShaders();

void KDIE_Begin3D();
void KDIE_End3D();
void KDIE_ClearColor(float r, float g, float b, float a);
void KDIE_ClearDepth(float depth);
void KDIE_SetCameraParms(float a, float b, float c, float d);
void KDIE_SetCameraLookAt(const vec3_t& eye, const vec3_t& target, const vec3_t& up);
void KDIE_SetDrawScale(float x, float y, float z);
void KDIE_SetDrawPosition(const vec3_t& position);
void KDIE_SetDrawRotation(float x, float y, float z);
void KDIE_DrawModel(kd_model_t* model);
kd_model_t* KDIE_GetModel(const char* name);
bool KDIE_LoadModel(kd_model_t* model);
void KDIE_FreeModel(kd_model_t* model);

#endif
