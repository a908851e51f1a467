// Texture loading: a BMP under "models/" becomes a mipmapped 2D texture in a
// slot of the owner's table. Runs on the thread that owns the GL context.
#include "assets/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/log.h"
#include "assets/bmpreader.h"
#include "assets/filename.h"
#include "assets/modelpath.h"

bool loadTextureFile(TextureTable& table, const char* fileName, int slot) {
    if (slot < 0 || slot >= TextureTable::SIZE) {
        char text[512];
        std::snprintf(text, sizeof text, "Texture slot %d is outside the table for %s", slot, fileName);
        logError("loadTextureFile", text);
        return true;
    }
    // Exporters name textures in their own case and with DOS separators.
    const std::string path = resolveFileName(MODELS_DIRECTORY, fileName);
    const std::unique_ptr<RgbImage> image(LoadDibImage(path.c_str()));
    if (!image) return false;

    glGenTextures(1, &table[slot]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, table[slot]);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE, image->pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return true;
}

bool loadTextures(Model& model, TextureTable& table) {
    for (int32_t i = 0; i < model.materialCount && i < static_cast<int32_t>(model.materials.size()); ++i) {
        Material& material = model.materials[i];
        if (material.textureFile[0] != '\0') {
            if (i < TextureTable::SIZE) {
                if (!loadTextureFile(table, material.textureFile, i)) return false;
            } else {
                char text[512];
                std::snprintf(text, sizeof text, "Material %d has no texture slot; its texture %s is not loaded", i,
                              material.textureFile);
                logError("loadTextures", text);
            }
        }
        material.textureSlot = i;
    }
    return true;
}
