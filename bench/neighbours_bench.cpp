// The characters' neighbour search (run once per character while the scene
// loads, on the loader thread): the hashed search against the pairwise one
// it replaces, on closed meshes with split vertices of growing size. The
// hashed search should grow linearly with the faces (the reported Big-O),
// the pairwise one with their square.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/log.h"
#include "motion/character.h"

namespace {

// A closed torus of rows x columns quads, each face with its own three
// vertex entries, as 3DS files store faces across texture seams.
ModelObject torus(int rows, int columns) {
    const double pi = 3.14159265358979323846;
    auto at = [&](int r, int c) {
        const double a = 2 * pi * (r % rows) / rows, b = 2 * pi * (c % columns) / columns;
        Vec3f p;
        p.x = static_cast<float>((3 + std::cos(a)) * std::cos(b));
        p.y = static_cast<float>(std::sin(a));
        p.z = static_cast<float>((3 + std::cos(a)) * std::sin(b));
        return p;
    };
    ModelObject o;
    auto add = [&](Vec3f p, Vec3f q, Vec3f s) {
        const int base = static_cast<int>(o.vertices.size());
        o.vertices.push_back(p);
        o.vertices.push_back(q);
        o.vertices.push_back(s);
        Face f;
        f.vertexIndex[0] = base;
        f.vertexIndex[1] = base + 1;
        f.vertexIndex[2] = base + 2;
        o.faces.push_back(f);
    };
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            add(at(r, c), at(r + 1, c), at(r + 1, c + 1));
            add(at(r, c), at(r + 1, c + 1), at(r, c + 1));
        }
    }
    o.vertexCount = static_cast<int>(o.vertices.size());
    o.faceCount = static_cast<int>(o.faces.size());
    return o;
}

// The search written the direct way, for comparison.
void pairwise(ModelObject& o) {
    const int n = static_cast<int>(o.faces.size());
    for (int i = 0; i < n; ++i) {
        o.faces[i].facing = 3;
        for (int j = 0; j < 3; ++j) {
            const Vec3f& p = o.vertices[o.faces[i].vertexIndex[j]];
            const Vec3f& q = o.vertices[o.faces[i].vertexIndex[(j + 1) % 3]];
            bool found = false;
            for (int k = 0; k < n && !found; ++k) {
                if (k == i) continue;
                for (int m = 0; m < 3 && !found; ++m) {
                    const Vec3f& r = o.vertices[o.faces[k].vertexIndex[m]];
                    const Vec3f& s = o.vertices[o.faces[k].vertexIndex[(m + 1) % 3]];
                    if (edgesEqual(p, q, r, s)) {
                        o.faces[i].neighbour[j] = k;
                        o.faces[k].neighbour[m] = i;
                        found = true;
                    }
                }
            }
            if (!found) o.faces[i].neighbour[j] = -2;
        }
    }
}

// Faces = 2 * 8 * columns; the argument is the column count.
void BM_HashedNeighbours(benchmark::State& state) {
    messageLog.reopen(nullptr);
    Character character(0, 0);  // no file: an empty character to fill
    character.model.objects.push_back(torus(8, static_cast<int>(state.range(0))));
    character.model.objectCount = 1;
    for (auto _ : state) {
        character.buildNeighbours();
        benchmark::DoNotOptimize(character.model.objects[0].faces.data());
    }
    state.SetComplexityN(static_cast<int64_t>(character.model.objects[0].faces.size()));
    state.counters["faces"] = static_cast<double>(character.model.objects[0].faces.size());
}
BENCHMARK(BM_HashedNeighbours)->RangeMultiplier(4)->Range(16, 4096)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

void BM_PairwiseNeighbours(benchmark::State& state) {
    ModelObject o = torus(8, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pairwise(o);
        benchmark::DoNotOptimize(o.faces.data());
    }
    state.SetComplexityN(static_cast<int64_t>(o.faces.size()));
    state.counters["faces"] = static_cast<double>(o.faces.size());
}
BENCHMARK(BM_PairwiseNeighbours)->RangeMultiplier(4)->Range(16, 256)->Complexity(benchmark::oNSquared)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
