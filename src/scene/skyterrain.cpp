// The sky dome and the terrain: read and flattened on the loader thread,
// given textures and one display list on the GLUT thread, drawn each scene
// frame at the world origin under the caller's view.
#include "scene/skyterrain.h"

#include <GL/gl.h>

#include <string>

#include "assets/displaylists.h"
#include "assets/glstate.h"
#include "assets/modelpath.h"
#include "assets/reader3ds.h"

namespace {

// Reads "models/<fileName>" into `model` and prepares its draw arrays. A file
// that cannot be read has been logged by the reader and leaves the model
// empty; the arrays are prepared either way, so the object simply draws
// nothing.
void readSceneModel(Model& model, const char* fileName) {
    model = Model();
    Reader3DS reader;  // its scratch area lives only for this read
    {
        const std::string path = modelPath(fileName);
        reader.Import3DS(&model, path.c_str());
    }
    prepareArrays(model);
}

// Releases a vector's storage, not just its contents.
template <typename T>
void release(std::vector<T>& v) {
    std::vector<T>().swap(v);
}

}  // namespace

// ---- Sky ---------------------------------------------------------------

Sky::Sky() { readSceneModel(model, "sky.3ds"); }

bool Sky::loadTextures() { return ::loadTextures(model, textures); }

void Sky::buildDisplayList() { displayList = buildSkyList(model, textures); }

void Sky::draw() {
    glPushMatrix();
    glPushAttrib(ALL_ATTRIBUTE_GROUPS);
        // The sky carries its own brightness in its textures; light would
        // only shade the inside of the dome.
        glDisable(GL_LIGHTING);
        glCallList(displayList);
        glEnable(GL_LIGHTING);
    glPopAttrib();
    glPopMatrix();
}

// ---- Terrain -----------------------------------------------------------

Terrain::Terrain() { readSceneModel(model, "terrain.3DS"); }

Terrain::~Terrain() {
    for (ModelObject& object : model.objects) {
        release(object.drawVertices);
        release(object.drawNormals);
        release(object.drawTexCoords);
        release(object.drawColours);
    }
    release(model.objects);
    release(model.materials);
    model.objectCount = 0;
    model.materialCount = 0;
}

bool Terrain::loadTextures() { return ::loadTextures(model, textures); }

void Terrain::buildDisplayList() { displayList = buildTerrainList(model, textures); }

void Terrain::draw() {
    glPushMatrix();
    glPushAttrib(ALL_ATTRIBUTE_GROUPS);
        glCallList(displayList);
    glPopAttrib();
    glPopMatrix();
}
