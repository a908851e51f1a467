// Fuzz target: any bytes as a BMP file. A decoded picture must hold exactly
// its rows of RGB pixels.
#include <cstdlib>
#include <string>

#include "assets/bmpreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RgbImage image;
    std::string message;
    if (decodeBmpMemory(data, size, &image, &message)) {
        if (image.width <= 0 || image.height <= 0) std::abort();
        if (image.pixels.size() != size_t(image.width) * size_t(image.height) * 3) std::abort();
    } else if (message.empty()) {
        std::abort();
    }
    BmpHeaderInfo info;
    inspectBmpMemory(data, size, &info, &message);
    return 0;
}
