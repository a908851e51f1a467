// Fuzz target: any bytes as a point file. The count that comes back must
// match the array it describes, and a path built from the points must hand
// out its samples without reading outside its arrays.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/log.h"
#include "motion/pointfile.h"
#include "motion/splinepath.h"

// Keeps the reads of every point and sample from being optimised away.
volatile double sink = 0;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    messageLog.reopen(nullptr);
    if (!std::freopen("/dev/null", "w", stdout)) return 0;  // the reader's log lines
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // fmemopen needs a buffer of at least one byte
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!file) return 0;
    Vec3d* points = nullptr;
    const int count = readPointStream(&points, file, "fuzz.ase");
    std::fclose(file);
    if (!points) std::abort();
    double sum = 0;
    for (int i = 0; i < count; ++i) sum += points[i].x + points[i].y + points[i].z;

    SplinePath path(count, points, 37, 3, 0, 0);
    Vec3d p;
    double a = 0, b = 0, c = 0;
    int index = -1;
    for (int i = 0; i < 40; ++i) {
        path.nextSample(&p, &a, &b, &c, i % 2 == 0, false, &index);
        if (index < 0 || index >= 37) std::abort();
        sum += p.x + a + b + c;
    }
    delete[] points;
    parseDecimalField(reinterpret_cast<const char*>(data), size < 99 ? int(size) : 99);
    sink = sum;
    return 0;
}
