#include "models.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "atomic-file.h"
#include "dataman.h"

ModelManager model_man;

// ---------------------------------------------------------------------------
// Model

bool Model::Init(int vertices, int idx) {
    Free();
    if (vertices < 0) vertices = 0;
    if (idx < 0) idx = 0;
    size_t v = (size_t)vertices, n = (size_t)idx;
    positions = (vec3_t*)calloc(v ? v : 1, sizeof(vec3_t));
    normals = (vec3_t*)calloc(v ? v : 1, sizeof(vec3_t));
    colours = (uint32_t*)calloc(v ? v : 1, sizeof(uint32_t));
    uvs = (vec2f_t*)calloc(v ? v : 1, sizeof(vec2f_t));
    draw_vertices = (kd_vertex3d_t*)calloc(v ? v : 1, sizeof(kd_vertex3d_t));
    indices = (uint16_t*)calloc(n ? n : 1, sizeof(uint16_t));
    if (!positions || !normals || !colours || !uvs || !draw_vertices || !indices) {
        // Out of memory: an empty model rather than arrays shorter than
        // their counts.
        Free();
        return true;
    }
    num_vertices = vertices;
    num_indices = idx;
    return true;
}

void Model::Free() {
    free(positions);
    free(normals);
    free(colours);
    free(uvs);
    free(draw_vertices);
    free(indices);
    positions = normals = nullptr;
    colours = nullptr;
    uvs = nullptr;
    draw_vertices = nullptr;
    indices = nullptr;
    num_vertices = num_indices = 0;
}

static float ValueF(DMNode* node, const char* name) {
    const char* v = node ? node->GetValue(name) : nullptr;
    return v ? (float)atof(v) : 0.0f;
}

void Model::Load(const char* file) {
    nString copy(file ? file : "");
    free(name);
    name = strdup(copy.c_str());
    if (texture) kd->ReleaseBitmap(texture);
    texture = nullptr;
    free(texture_name);
    texture_name = nullptr;

    DMDatabase* db = dman.GetDatabase(name);
    const char* tex = db ? db->GetValue("SURFACES", 0, "texture") : nullptr;
    if (tex) {
        texture_name = strdup(tex);
        texture = kd->LoadBitmap(texture_name, 4);
    }
    DMArray* verts = db ? db->GetArray("SURFACE_0_VERTICES") : nullptr;
    DMArray* idx = db ? db->GetArray("SURFACE_0_INDICES") : nullptr;
    Init(verts ? verts->GetSize() : 0, idx ? idx->GetSize() : 0);
    for (int i = 0; i < num_vertices; i++) {
        DMNode* n = verts->GetNode(i);
        positions[i] = {ValueF(n, "x"), ValueF(n, "y"), ValueF(n, "z")};
        normals[i] = {ValueF(n, "nx"), ValueF(n, "ny"), ValueF(n, "nz")};
        uvs[i] = {ValueF(n, "u"), ValueF(n, "v")};
    }
    // Whole triangles only: a triangle with an index outside the vertex
    // array is dropped (reported), and so is an incomplete last one, so
    // drawing never reads past the vertices.
    int kept = 0;
    int whole = num_indices - num_indices % 3;
    for (int t = 0; t < whole; t += 3) {
        bool ok = true;
        uint16_t tri[3];
        for (int k = 0; k < 3; k++) {
            const char* v = idx->GetNode(t + k) ? idx->GetNode(t + k)->GetValue("i") : nullptr;
            long value = v ? atol(v) : 0;
            if (value < 0 || value >= num_vertices || value > 0xFFFF) {
                kd->Popupf(1, "Index #%d = %ld out of range (%d vertices).", t + k, value, num_vertices);
                ok = false;
                continue;
            }
            tri[k] = (uint16_t)value;
        }
        if (!ok) continue;
        memcpy(indices + kept, tri, sizeof tri);
        kept += 3;
    }
    if (whole != num_indices)
        kd->Popupf(1, "Model '%s': %d indices do not make whole triangles; the last %d are dropped.", name, num_indices,
                   num_indices - whole);
    num_indices = kept;
    if (db) dman.ReleaseDatabase(db);

    CalculateBounds();
    AlignVertices(0);
    BuildDrawVertices();
    kd->Printf("Loaded model '%s' with %d vertices and %d indices.", name, num_vertices, num_indices);
}

void Model::BuildDrawVertices() {
    for (int i = 0; i < num_vertices; i++) {
        kd_vertex3d_t& d = draw_vertices[i];
        d.x = positions[i].x;
        d.y = positions[i].y;
        d.z = positions[i].z;
        d.color = 0xFFFFFFFFu;
        d.u = uvs[i].u;
        d.v = uvs[i].v;
    }
}

// Attribute text: quotes and markup characters of a texture name must not
// end the attribute.
static nString Escaped(const char* s) {
    nString r("");
    char one[2] = {0, 0};
    for (; s && *s; s++) {
        switch (*s) {
            case '"': r.Append("&quot;"); break;
            case '&': r.Append("&amp;"); break;
            case '<': r.Append("&lt;"); break;
            case '>': r.Append("&gt;"); break;
            default:
                one[0] = *s;
                r.Append(one);
        }
    }
    return r;
}

bool Model::Save(const char* file) {
    if (!file) return false;
    AtomicFile out;
    if (!out.Open(file)) return false;
    out.Printf("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n");
    out.Printf("<root>\n");
    out.Printf("\n");
    out.Printf(" <array id=\"%s\">\n", "INFO");
    out.Printf("  <node id=\"num_vertices\" value=\"%d\" >\n", num_vertices);
    out.Printf("  <node id=\"num_indices\" value=\"%d\" >\n", num_indices);
    out.Printf(" </array>\n\n");
    out.Printf(" <array id=\"%s\">\n", "SURFACES");
    out.Printf("  <node id=\"0\" primitive_format=\"TRIANGLES\" vertex_format=\"POSITION,NORMAL,TEXTURE_UV\" "
               "material=\"%s\" >\n",
               Escaped(texture_name).c_str());
    out.Printf(" </array>\n\n");
    out.Printf(" <array id=\"%s\">\n", "SURFACE_0_VERTICES");
    // Nine significant digits: every float is written so that it reads
    // back to the same value.
    for (int i = 0; i < num_vertices; i++) {
        out.Printf("  <node x=\"%.9g\" y=\"%.9g\" z=\"%.9g\" ", positions[i].x, positions[i].y, positions[i].z);
        if (normals) out.Printf("nx=\"%.9g\" ny=\"%.9g\" nz=\"%.9g\" ", normals[i].x, normals[i].y, normals[i].z);
        if (uvs) out.Printf("u=\"%.9g\" v=\"%.9g\" ", uvs[i].u, uvs[i].v);
        out.Printf(">\n");
    }
    out.Printf(" </array>\n\n");
    out.Printf(" <array id=\"%s\">\n", "SURFACE_0_INDICES");
    for (int i = 0; i < num_indices; i++) out.Printf("  <node i=\"%d\" >\n", indices[i]);
    out.Printf(" </array>\n");
    out.Printf("</root>\n");
    return out.Commit();
}

static nTransform Identity() {
    nTransform m;
    memset(&m, 0, sizeof m);
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1;
    return m;
}

void Model::Draw(vec3_t pos, float angle, float scale) {
    nTransform t = Identity();
    t.m[3] = pos.x;
    t.m[7] = pos.y;
    t.m[11] = pos.z;
    nTransform s = Identity();
    s.m[0] = s.m[5] = s.m[10] = scale;
    nTransform r = Identity();
    float c = cosf(angle), sn = sinf(angle);
    r.m[0] = c;
    r.m[1] = -sn;
    r.m[4] = sn;
    r.m[5] = c;
    kd->PushTransform(&t);
    kd->PushTransform(&s);
    kd->PushTransform(&r);
    kd->SetRenderStatei(KD_RS_CULL_MODE, 2);
    if (num_indices > 0 && num_vertices > 0)
        kd->DrawTriangles(texture, draw_vertices, num_vertices, indices, num_indices);
    kd->SetRenderStatei(KD_RS_CULL_MODE, 0);
    kd->PopTransform();
    kd->PopTransform();
    kd->PopTransform();
}

void Model::CalculateBounds() {
    bounds_min = bounds_max = bounds_centre = {0, 0, 0};
    bounds_radius = 0;
    if (num_vertices <= 0) return;
    bounds_min = bounds_max = positions[0];
    for (int i = 1; i < num_vertices; i++) {
        const vec3_t& p = positions[i];
        bounds_min = {fminf(bounds_min.x, p.x), fminf(bounds_min.y, p.y), fminf(bounds_min.z, p.z)};
        bounds_max = {fmaxf(bounds_max.x, p.x), fmaxf(bounds_max.y, p.y), fmaxf(bounds_max.z, p.z)};
    }
    bounds_centre = {(bounds_min.x + bounds_max.x) / 2, (bounds_min.y + bounds_max.y) / 2,
                     (bounds_min.z + bounds_max.z) / 2};
    float r2 = 0;
    for (int i = 0; i < num_vertices; i++) {
        float dx = positions[i].x - bounds_centre.x, dy = positions[i].y - bounds_centre.y,
              dz = positions[i].z - bounds_centre.z;
        r2 = fmaxf(r2, dx * dx + dy * dy + dz * dz);
    }
    bounds_radius = sqrtf(r2);
}

void Model::AlignVertices(int mode) {
    CalculateBounds();
    vec3_t shift;
    if (mode == 12) shift = bounds_centre;
    else if (mode == 0) shift = {bounds_centre.x, bounds_centre.y, bounds_min.z};
    else return;
    for (int i = 0; i < num_vertices; i++) {
        positions[i].x -= shift.x;
        positions[i].y -= shift.y;
        positions[i].z -= shift.z;
    }
}

// The fast inverse square root, refined once.
static float InvSqrt(float x) {
    uint32_t bits;
    memcpy(&bits, &x, sizeof bits);
    bits = 0x5F3759DFu - (bits >> 1);
    float y;
    memcpy(&y, &bits, sizeof y);
    return y * (1.5f - 0.5f * x * y * y);
}

static void Normalise(vec3_t& v) {
    float l2 = v.x * v.x + v.y * v.y + v.z * v.z;
    if (!(l2 > 0)) return;  // a degenerate face adds nothing
    float k = InvSqrt(l2);
    v.x *= k;
    v.y *= k;
    v.z *= k;
}

void Model::CalculateNormals() {
    if (!normals) return;
    for (int i = 0; i < num_vertices; i++) normals[i] = {0, 0, 0};
    for (int t = 0; t + 2 < num_indices; t += 3) {
        int i0 = indices[t], i1 = indices[t + 1], i2 = indices[t + 2];
        if (i0 >= num_vertices || i1 >= num_vertices || i2 >= num_vertices) continue;
        const vec3_t &p0 = positions[i0], &p1 = positions[i1], &p2 = positions[i2];
        vec3_t a = {p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
        vec3_t b = {p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
        vec3_t n = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
        Normalise(n);
        for (int k : {i0, i1, i2}) {
            normals[k].x += n.x;
            normals[k].y += n.y;
            normals[k].z += n.z;
        }
    }
    for (int i = 0; i < num_vertices; i++) Normalise(normals[i]);
}

// ---------------------------------------------------------------------------
// ModelManager

ModelManager::~ModelManager() {
    // The engine is gone by now: only the memory is given back.
    for (int i = 0; i < models.count; i++) {
        models[i]->texture = nullptr;
        delete models[i];
    }
}

Model* ModelManager::LoadModel(const char* file) {
    if (!file) return nullptr;
    for (int i = 0; i < models.count; i++)
        if (nStringsMatch(models[i]->name, file)) {
            models[i]->ref_count++;
            return models[i];
        }
    Model* m = new Model;
    m->name = strdup(file);
    m->Load(file);
    models.InsertLast(m);
    return m;
}

void ModelManager::ReleaseModel(Model* model) {
    if (!model) return;
    if (model->ref_count < 1) {
        kd->Popupf(1, "ModelManager::ReleaseModel '%s' trying to release model with reference count %d.",
                   model->name ? model->name : "", model->ref_count);
        return;
    }
    if (--model->ref_count > 0) return;
    int i = models.Find(model);
    model->Free();
    // Only listed models were made here; another caller's model keeps its
    // storage and is merely emptied.
    if (i < 0) return;
    models.RemoveIndex(i);
    if (model->texture) kd->ReleaseBitmap(model->texture);
    model->texture = nullptr;
    delete model;
}
