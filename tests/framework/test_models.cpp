// Models: the bundled model read and aligned, a model written and read
// back equal, out-of-range indices dropped with their triangles, missing
// files, reference counts, normals and the draw calls.
#include <gtest/gtest.h>

#include <math.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fw-support.h"
#include "models.h"
#include "recording-kd.h"

namespace {

struct ModelEnv {
    std::string dir;
    std::unique_ptr<FwEngine> engine;
    ModelEnv() {
        char tmpl[] = "/tmp/kodo-model-XXXXXX";
        if (mkdtemp(tmpl)) dir = tmpl;
        std::filesystem::create_directories(dir + "/app");
        const char* data = getenv("KODO_TEST_DATA");
        if (data) std::filesystem::create_directory_symlink(data, dir + "/app/native");
        engine.reset(new FwEngine(dir));
    }
    ~ModelEnv() {
        engine.reset();
        std::filesystem::remove_all(dir);
    }
    std::string Write(const std::string& name, const std::string& body) {
        WriteNative(engine->UserPath(name), "<?xml version=\"1.0\"?>\n<root>\n" + body + "</root>\n");
        return "user://" + name;
    }
};

std::string Vertex(float x, float y, float z, bool uv = true) {
    char t[200];
    snprintf(t, sizeof t, "<node x=\"%g\" y=\"%g\" z=\"%g\" nx=\"0\" ny=\"0\" nz=\"1\" %s/>\n", x, y, z,
             uv ? "u=\"0.25\" v=\"0.75\" " : "");
    return t;
}

std::string Indices(std::vector<int> idx) {
    std::string s = "<array id=\"SURFACE_0_INDICES\">\n";
    for (int i : idx) s += "<node i=\"" + std::to_string(i) + "\" />\n";
    return s + "</array>\n";
}

}  // namespace

TEST(Models, BundledModelIsReadCentredAndStanding) {
    ModelEnv env;
    ASSERT_TRUE(env.engine->started);
    Model m;
    m.Load("models/tile.xml");
    EXPECT_EQ(m.num_vertices, 8);
    EXPECT_EQ(m.num_indices, 12);
    EXPECT_STREQ(m.texture_name, "images/credits-tile.png");
    ASSERT_TRUE(m.texture);
    // The credits show it large: a drawn picture, not a few test pixels.
    EXPECT_GE(m.texture->width, 128);
    EXPECT_FLOAT_EQ(m.bounds_min.x, -32);
    EXPECT_FLOAT_EQ(m.bounds_max.z, 8);
    EXPECT_NEAR(m.bounds_radius, sqrtf(32 * 32 * 2 + 16), 1e-3);
    for (int i = 0; i < m.num_vertices; i++) {
        EXPECT_EQ(m.draw_vertices[i].color, 0xFFFFFFFFu);
        EXPECT_FLOAT_EQ(m.draw_vertices[i].x, m.positions[i].x);
        EXPECT_FLOAT_EQ(m.draw_vertices[i].u, m.uvs[i].u);
    }
    EXPECT_FLOAT_EQ(m.uvs[2].u, 1);
    EXPECT_FLOAT_EQ(m.normals[0].z, -1);
    kd->ReleaseBitmap(m.texture);
}

TEST(Models, AlignmentKeepsTheBoundsOfTheFile) {
    ModelEnv env;
    std::string file = env.Write("deep.xml", "<array id=\"SURFACE_0_VERTICES\">\n" + Vertex(10, 20, 2) +
                                                 Vertex(14, 20, 5, false) + Vertex(10, 30, 3) + "</array>\n" +
                                                 Indices({0, 1, 2}));
    Model m;
    m.Load(file.c_str());
    ASSERT_EQ(m.num_vertices, 3);
    EXPECT_FLOAT_EQ(m.positions[0].z, 0);
    EXPECT_FLOAT_EQ(m.positions[1].z, 3);
    EXPECT_FLOAT_EQ(m.positions[0].x, -2);
    EXPECT_FLOAT_EQ(m.positions[0].y, -5);
    EXPECT_FLOAT_EQ(m.bounds_min.z, 2);  // computed before the shift
    EXPECT_FLOAT_EQ(m.bounds_max.z, 5);
    EXPECT_FLOAT_EQ(m.uvs[1].u, 0);  // no u and v: (0, 0)
    EXPECT_FLOAT_EQ(m.uvs[1].v, 0);
    EXPECT_FLOAT_EQ(m.uvs[0].v, 0.75f);
    EXPECT_EQ(m.texture, nullptr);
    m.AlignVertices(12);
    EXPECT_FLOAT_EQ(m.positions[0].z, -1.5f);
    m.AlignVertices(5);  // other modes move nothing
    EXPECT_FLOAT_EQ(m.positions[0].z, -1.5f);
}

TEST(Models, WrittenAndReadBackEqual) {
    ModelEnv env;
    Model a;
    a.Load("models/tile.xml");
    a.CalculateNormals();
    a.uvs[3] = {0.123456789f, 1e-7f};
    a.positions[5].x = 3.14159265f;
    a.AlignVertices(0);  // already aligned: nothing moves
    std::string out = env.engine->UserPath("out.xml");
    ASSERT_TRUE(a.Save("user://out.xml"));
    std::string text = ReadNative(out);
    EXPECT_NE(text.find("<node id=\"num_vertices\" value=\"8\" >"), std::string::npos);
    EXPECT_NE(text.find("material=\"images/credits-tile.png\""), std::string::npos);
    struct stat st;
    EXPECT_NE(stat((out + ".tmp").c_str(), &st), 0);

    Model b;
    b.Load("user://out.xml");
    ASSERT_EQ(b.num_vertices, a.num_vertices);
    ASSERT_EQ(b.num_indices, a.num_indices);
    // Already centred and standing: reading back moves nothing, so the
    // vertices compare exactly.
    for (int i = 0; i < a.num_vertices; i++) {
        EXPECT_EQ(b.positions[i].x, a.positions[i].x) << i;
        EXPECT_EQ(b.positions[i].y, a.positions[i].y) << i;
        EXPECT_EQ(b.positions[i].z, a.positions[i].z) << i;
        EXPECT_EQ(b.normals[i].x, a.normals[i].x) << i;
        EXPECT_EQ(b.normals[i].z, a.normals[i].z) << i;
        EXPECT_EQ(b.uvs[i].u, a.uvs[i].u) << i;
        EXPECT_EQ(b.uvs[i].v, a.uvs[i].v) << i;
    }
    for (int i = 0; i < a.num_indices; i++) EXPECT_EQ(b.indices[i], a.indices[i]) << i;
    // The writer names the texture "material", the reader reads "texture".
    EXPECT_EQ(b.texture_name, nullptr);
    if (a.texture) kd->ReleaseBitmap(a.texture);

    // A texture name with quotes stays one attribute.
    Model q(3, 3);
    q.texture_name = strdup("odd\"name<&>.png");
    ASSERT_TRUE(q.Save("user://quoted.xml"));
    Model back;
    back.Load("user://quoted.xml");
    EXPECT_EQ(back.num_vertices, 3);
    EXPECT_EQ(back.num_indices, 3);

    // An unwritable place reports failure.
    EXPECT_FALSE(a.Save("user://no/such/folder/x.xml"));
}

TEST(Models, IndicesOutOfRangeDropTheirTriangles) {
    ModelEnv env;
    RecordingKd r(kd);
    r.Install();
    std::string file = env.Write("bad.xml", "<array id=\"SURFACE_0_VERTICES\">\n" + Vertex(0, 0, 0) + Vertex(1, 0, 0) +
                                                Vertex(0, 1, 0) + Vertex(1, 1, 0) + "</array>\n" +
                                                Indices({0, 1, 2, 1, 4, 2, 3, -1, 0, 70000, 1, 2, 1, 3, 2, 0, 1}));
    Model m;
    m.Load(file.c_str());
    ASSERT_EQ(m.num_vertices, 4);
    // Kept: (0 1 2) and (1 3 2); the three bad triangles and the two
    // indices of an incomplete one are gone.
    ASSERT_EQ(m.num_indices, 6);
    EXPECT_EQ(m.indices[3], 1);
    EXPECT_EQ(m.indices[4], 3);
    EXPECT_EQ(m.indices[5], 2);
    for (int i = 0; i < m.num_indices; i++) EXPECT_LT(m.indices[i], m.num_vertices);
    EXPECT_TRUE(rec().PopupContains("Index #4 = 4 out of range (4 vertices)."));
    EXPECT_TRUE(rec().PopupContains("Index #7 = -1 out of range (4 vertices)."));
    EXPECT_TRUE(rec().PopupContains("Index #9 = 70000 out of range (4 vertices)."));
    EXPECT_TRUE(rec().Has(rec().prints, "Loaded model '" + file + "' with 4 vertices and 6 indices."));

    // Drawing hands the engine only what is in range, between cull mode 2
    // and 0 and three transforms.
    static std::vector<std::string> calls;
    calls.clear();
    r.table.DrawTriangles = [](kd_bitmap_t*, kd_vertex3d_t*, int vc, unsigned short* idx, int ic) {
        for (int i = 0; i < ic; i++)
            if (idx[i] >= vc) calls.push_back("out of range");
        calls.push_back("tri " + std::to_string(vc) + " " + std::to_string(ic));
    };
    r.table.SetRenderStatei = [](kd_render_state_e s, int v) {
        calls.push_back("rs " + std::to_string((int)s) + " " + std::to_string(v));
    };
    r.table.PushTransform = [](nTransform* t) { calls.push_back("push " + std::to_string(t->m[3])); };
    r.table.PopTransform = [] { calls.push_back("pop"); };
    m.Draw(vec3_t{5, 6, 0}, 0.5f, 2);
    std::vector<std::string> want = {"push 5.000000", "push 0.000000", "push 0.000000", "rs 12 2", "tri 4 6",
                                     "rs 12 0",       "pop",           "pop",           "pop"};
    EXPECT_EQ(calls, want);
}

TEST(Models, MissingFilesReferenceCountsAndNormals) {
    ModelEnv env;
    Model* a = model_man.LoadModel("models/no-such-model.xml");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->num_vertices, 0);
    EXPECT_EQ(a->num_indices, 0);
    EXPECT_FLOAT_EQ(a->bounds_radius, 0);
    a->Draw(vec3_t{0, 0, 0}, 0, 1);  // draws nothing, does not crash

    Model* t1 = model_man.LoadModel("models/tile.xml");
    Model* t2 = model_man.LoadModel("models/tile.xml");
    EXPECT_EQ(t1, t2);
    EXPECT_EQ(t1->ref_count, 2);
    EXPECT_EQ(model_man.GetNumberOfModels(), 2);
    model_man.ReleaseModel(t1);
    EXPECT_EQ(model_man.GetNumberOfModels(), 2);
    model_man.ReleaseModel(t2);
    EXPECT_EQ(model_man.GetNumberOfModels(), 1);
    model_man.ReleaseModel(a);
    EXPECT_EQ(model_man.GetNumberOfModels(), 0);
    model_man.ReleaseModel(nullptr);

    RecordingKd r(kd);
    r.Install();
    Model loose;
    loose.ref_count = 0;
    model_man.ReleaseModel(&loose);
    EXPECT_TRUE(rec().PopupContains("trying to release model with reference count 0."));

    // Normals of a flat triangle in the x-y plane point along z; a
    // degenerate triangle adds nothing.
    Model n(4, 6);
    n.positions[0] = {0, 0, 0};
    n.positions[1] = {1, 0, 0};
    n.positions[2] = {0, 1, 0};
    n.positions[3] = {2, 0, 0};
    uint16_t idx[6] = {0, 1, 2, 0, 1, 3};
    memcpy(n.indices, idx, sizeof idx);
    n.CalculateNormals();
    EXPECT_NEAR(n.normals[2].z, 1, 2e-3);
    EXPECT_NEAR(n.normals[0].z, 1, 2e-3);
    EXPECT_NEAR(n.normals[0].x, 0, 1e-6);
    EXPECT_FALSE(isnan(n.normals[3].x));
}
