#include "image.h"

#include "assets/writer3ds.h"

bool writeImage(const std::string& path, const Image& image) {
    return writeFileBytes(path, writeBmp24(image.width, image.height, image.rgb.data()));
}
