// Fuzz target: any bytes as a 3DS file. The model that comes back must
// keep the invariants that the passes after the reader index by.
#include <cstdio>
#include <cstdlib>

#include "platform/log.h"
#include "assets/displaylists.h"
#include "assets/reader3ds.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    messageLog.reopen(nullptr);
    if (!std::freopen("/dev/null", "w", stdout)) return 0;  // the reader's log lines
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Model model;
    Reader3DS reader;
    reader.ImportBytes(&model, data, size, "fuzz.3ds");
    if (model.objectCount != int32_t(model.objects.size()) || model.materialCount != int32_t(model.materials.size()))
        std::abort();
    for (const ModelObject& o : model.objects) {
        if (o.normals.size() != o.vertices.size()) std::abort();
        for (const Face& f : o.faces)
            for (int32_t v : f.vertexIndex)
                if (v < 0 || v >= o.vertexCount) std::abort();
    }
    prepareArrays(model);  // indexes every array by the faces' corners
    return 0;
}
