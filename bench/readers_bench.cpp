// The file readers against established peers on the same files:
// - a large 3DS model (16 objects of a 128 x 128 quad grid, 524,288 faces,
//   with mapping coordinates and material groups) loaded with vertex
//   normals by our reader, by lib3ds (load + lib3ds_mesh_calculate_normals
//   per mesh) and by assimp (ReadFile with smooth normals generated);
// - a large 24-bit BMP (2048 x 2048) and an 8-bit palettised one decoded by
//   our reader and by stb_image.
// The files are written once into a temporary directory by the test
// writers. Release (-O2) builds only give meaningful figures.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/log.h"
#include "assets/bmpreader.h"
#include "assets/reader3ds.h"
#include "assets/writer3ds.h"

#if HAVE_LIB3DS
#include <lib3ds/file.h>
#include <lib3ds/mesh.h>
#endif
#if HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#endif
#if HAVE_STB_IMAGE
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#include <stb/stb_image.h>
#endif

namespace {

constexpr int GRID = 128;    // quads per side of one object
constexpr int OBJECTS = 16;  // 16 x 2 x 128 x 128 = 524,288 faces
constexpr int IMAGE_SIDE = 2048;

// A wavy grid so that the normals differ from vertex to vertex.
ObjectSpec gridObject(int index) {
    ObjectSpec o;
    o.name = "grid" + std::to_string(index);
    o.material = index % 2 ? "wood" : "stone";
    for (int r = 0; r <= GRID; ++r)
        for (int c = 0; c <= GRID; ++c) {
            const float x = float(c + index * GRID), z = float(r);
            o.vertices.push_back(Vec3f{x, std::sin(x * 0.3f) * std::cos(z * 0.2f), z});
            o.texCoords.push_back(Vec2f{float(c) / GRID, float(r) / GRID});
        }
    for (int r = 0; r < GRID; ++r)
        for (int c = 0; c < GRID; ++c) {
            const uint16_t a = uint16_t(r * (GRID + 1) + c), b = uint16_t(a + 1), d = uint16_t(a + GRID + 1),
                           e = uint16_t(d + 1);
            o.indices.insert(o.indices.end(), {a, d, b, b, d, e});
        }
    return o;
}

// The benchmark files, written on first use and removed at exit.
struct Files {
    std::string dir;
    std::string model, image24, image8;

    Files() {
        char pattern[] = "/tmp/quelm-bench-XXXXXX";
        dir = mkdtemp(pattern) ? pattern : "/tmp";
        model = dir + "/large.3ds";
        image24 = dir + "/large24.bmp";
        image8 = dir + "/large8.bmp";
        std::vector<ObjectSpec> objects;
        for (int i = 0; i < OBJECTS; ++i) objects.push_back(gridObject(i));
        writeFileBytes(model, write3ds({{"stone", 120, 120, 120, ""}, {"wood", 255, 255, 255, "wood.bmp"}}, objects));

        std::vector<uint8_t> rgb(size_t(IMAGE_SIDE) * IMAGE_SIDE * 3);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7 + i / 4096);
        writeFileBytes(image24, writeBmp24(IMAGE_SIDE, IMAGE_SIDE, rgb.data()));
        writeFileBytes(image8, palettised());
    }
    ~Files() {
        std::remove(model.c_str());
        std::remove(image24.c_str());
        std::remove(image8.c_str());
        rmdir(dir.c_str());
    }

    static std::vector<uint8_t> palettised() {
        ChunkWriter w;
        const uint32_t start = 14 + 40 + 1024, pixels = uint32_t(IMAGE_SIDE) * IMAGE_SIDE;
        w.u8('B'), w.u8('M');
        w.u32(start + pixels), w.u32(0), w.u32(start);
        w.u32(40), w.u32(IMAGE_SIDE), w.u32(IMAGE_SIDE), w.u16(1), w.u16(8);
        w.u32(0), w.u32(pixels), w.u32(0), w.u32(0), w.u32(256), w.u32(0);
        for (int i = 0; i < 256; ++i) w.u8(uint8_t(i)), w.u8(uint8_t(255 - i)), w.u8(uint8_t(i * 3)), w.u8(0);
        for (uint32_t i = 0; i < pixels; ++i) w.u8(uint8_t(i * 13 + i / 2048));
        return w.bytes();
    }
};

const Files& files() {
    static const Files f;
    return f;
}

void countFaces(benchmark::State& state, long faces) {
    if (faces != long(OBJECTS) * GRID * GRID * 2) state.SkipWithError("wrong face count");
    state.counters["faces"] = double(faces);
}

void BM_Model_Ours(benchmark::State& state) {
    const std::string& path = files().model;
    long faces = 0;
    for (auto _ : state) {
        Model model;
        Reader3DS reader;
        reader.Import3DS(&model, path.c_str());
        faces = 0;
        for (const ModelObject& o : model.objects) faces += o.faceCount;
        benchmark::DoNotOptimize(model.objects.back().normals.data());
    }
    countFaces(state, faces);
}
BENCHMARK(BM_Model_Ours)->Unit(benchmark::kMillisecond);

// Normals alone on one object of growing size: the time should grow
// linearly with the faces (the reported Big-O).
void BM_VertexNormals(benchmark::State& state) {
    Model model;
    model.objects.emplace_back();
    model.objectCount = 1;
    ModelObject& o = model.objects[0];
    const int side = int(state.range(0));
    for (int r = 0; r <= side; ++r)
        for (int c = 0; c <= side; ++c) o.vertices.push_back(Vec3f{float(c), std::sin(c * 0.3f + r * 0.2f), float(r)});
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const int a = r * (side + 1) + c, d = a + side + 1;
            const int triangles[2][3] = {{a, d, a + 1}, {a + 1, d, d + 1}};
            for (const auto& corners : triangles) {
                Face face;
                for (int j = 0; j < 3; ++j) face.vertexIndex[j] = corners[j];
                o.faces.push_back(face);
            }
        }
    o.vertexCount = int32_t(o.vertices.size());
    o.faceCount = int32_t(o.faces.size());
    for (auto _ : state) {
        ComputeVertexNormals(&model);
        benchmark::DoNotOptimize(o.normals.data());
    }
    state.SetComplexityN(o.faceCount);
}
BENCHMARK(BM_VertexNormals)->RangeMultiplier(2)->Range(16, 128)->Complexity(benchmark::oN);

#if HAVE_LIB3DS
void BM_Model_Lib3ds(benchmark::State& state) {
    const std::string& path = files().model;
    long faces = 0;
    for (auto _ : state) {
        Lib3dsFile* file = lib3ds_file_load(path.c_str());
        faces = 0;
        for (Lib3dsMesh* mesh = file ? file->meshes : nullptr; mesh; mesh = mesh->next) {
            std::vector<Lib3dsVector> normals(3 * size_t(mesh->faces));
            lib3ds_mesh_calculate_normals(mesh, normals.data());
            benchmark::DoNotOptimize(normals.data());
            faces += long(mesh->faces);
        }
        if (file) lib3ds_file_free(file);
    }
    countFaces(state, faces);
}
BENCHMARK(BM_Model_Lib3ds)->Unit(benchmark::kMillisecond);
#endif

#if HAVE_ASSIMP
void BM_Model_Assimp(benchmark::State& state) {
    const std::string& path = files().model;
    long faces = 0;
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, aiProcess_GenSmoothNormals);
        faces = 0;
        bool normals = scene != nullptr;
        for (unsigned i = 0; scene && i < scene->mNumMeshes; ++i) {
            faces += long(scene->mMeshes[i]->mNumFaces);
            normals = normals && scene->mMeshes[i]->mNormals != nullptr;
        }
        if (!normals) state.SkipWithError("assimp gave no normals");
        benchmark::DoNotOptimize(scene);
    }
    countFaces(state, faces);
}
BENCHMARK(BM_Model_Assimp)->Unit(benchmark::kMillisecond);
#endif

void decodeOurs(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        RgbImage image;
        std::string message;
        if (!decodeBmpFile(path.c_str(), &image, &message)) state.SkipWithError(message.c_str());
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * IMAGE_SIDE * IMAGE_SIDE * 3);
}

void BM_Bmp24_Ours(benchmark::State& state) { decodeOurs(state, files().image24); }
BENCHMARK(BM_Bmp24_Ours)->Unit(benchmark::kMillisecond);
void BM_Bmp8_Ours(benchmark::State& state) { decodeOurs(state, files().image8); }
BENCHMARK(BM_Bmp8_Ours)->Unit(benchmark::kMillisecond);

#if HAVE_STB_IMAGE
void decodeStb(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 3);
        if (!pixels) state.SkipWithError("stb_image failed");
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * IMAGE_SIDE * IMAGE_SIDE * 3);
}

void BM_Bmp24_StbImage(benchmark::State& state) { decodeStb(state, files().image24); }
BENCHMARK(BM_Bmp24_StbImage)->Unit(benchmark::kMillisecond);
void BM_Bmp8_StbImage(benchmark::State& state) { decodeStb(state, files().image8); }
BENCHMARK(BM_Bmp8_StbImage)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
    messageLog.reopen(nullptr);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
