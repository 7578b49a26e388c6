// Textured triangle meshes read from model files (tabular databases) and
// drawn through the engine's triangle drawing with a translation, a
// uniform scale and a rotation about the z axis. `model_man` hands out
// models by file path with reference counts.
#ifndef FRAMEWORK_MODELS_H
#define FRAMEWORK_MODELS_H

#include <stdint.h>
#include <stdlib.h>

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

struct vec3_t {
    float x, y, z;
};

struct vec2f_t {
    float u, v;
};

class Model {
public:
    Model() {}
    Model(int vertex_count, int index_count) { Init(vertex_count, index_count); }
    // The texture stays with whoever releases it (ModelManager::ReleaseModel).
    ~Model() {
        Free();
        free(name);
        free(texture_name);
    }
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // Sets the counts and allocates every per-vertex array and the index
    // array (zeroed). True.
    bool Init(int vertices, int indices);
    void Free();
    void Load(const char* file);
    // False when the file could not be written (the old file then stays).
    bool Save(const char* file);
    void Draw(vec3_t pos, float angle, float scale);
    void CalculateBounds();
    // 12: centre on every axis; 0: centre on x and y, minimum z to 0.
    void AlignVertices(int mode);
    void CalculateNormals();
    // Fills the draw vertices from the positions and texture coordinates.
    void BuildDrawVertices();

    char* name = nullptr;
    int32_t ref_count = 1;
    vec3_t* positions = nullptr;
    int32_t num_vertices = 0;
    vec3_t* normals = nullptr;
    uint32_t* colours = nullptr;
    vec2f_t* uvs = nullptr;
    uint16_t* indices = nullptr;
    int32_t num_indices = 0;
    kd_bitmap_t* texture = nullptr;
    char* texture_name = nullptr;
    kd_vertex3d_t* draw_vertices = nullptr;
    vec3_t bounds_min = {0, 0, 0}, bounds_max = {0, 0, 0}, bounds_centre = {0, 0, 0};
    float bounds_radius = 0;
};

class ModelManager {
public:
    ModelManager() {}
    ~ModelManager();
    Model* LoadModel(const char* file);
    void ReleaseModel(Model* model);
    int GetNumberOfModels() const { return models.count; }

private:
    nArray<Model*> models;
};

extern ModelManager model_man;

#endif
