// The screens around the scene, and the scene's OpenGL set-up.
#include "render/screens.h"

#include <GL/gl.h>

#include "render/light.h"
#include "render/overlay.h"
#include "render/shadowbounds.h"
#include "render/vehicles.h"

namespace {

// Where the scene is lit from, in view coordinates: applied under the
// default view, the light comes from straight above for the whole scene.
constexpr float SCENE_LIGHT[3] = {0.0f, 30.0f, 0.0f};

void drawItem(const LetteringItem* item, float blend = 1.0f) {
    if (item) item->draw(blend);
}

}  // namespace

void applyScreenState() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_NORMALIZE);
}

void drawBackdrop(unsigned int texture) {
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-100.0f, -100.0f, -100.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-100.0f, 100.0f, -100.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(100.0f, 100.0f, -100.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(100.0f, -100.0f, -100.0f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void drawTitleWords(const TitleLettering& title, int extraItem, float blend) {
    if (extraItem >= 0 && extraItem < TitleLettering::ITEM_COUNT) drawItem(title.items[extraItem]);
    glEnable(GL_LIGHTING);
    for (int i = 0; i < TitleLettering::WORD_COUNT; ++i) drawItem(title.items[i], blend);
}

void drawClosingWords(const ClosingLettering& closing, float blend) {
    glEnable(GL_LIGHTING);
    drawItem(closing.items[0], blend);
    drawItem(closing.items[1], blend);
}

bool setUpScene(SceneObjects& scene, bool cullFaces) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearStencil(0);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    if (cullFaces)
        glEnable(GL_CULL_FACE);
    else
        glDisable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    useLight(SCENE_LIGHT[0], SCENE_LIGHT[1], SCENE_LIGHT[2]);

    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_2D);
    createEmptyTexture(overlay.textures, overlay.textureSize, 3, GL_RGB, overlay.textureIndex);
    glEnable(GL_NORMALIZE);
    glMatrixMode(GL_MODELVIEW);

    // Measured before anything can fail, so it always describes this scene.
    shadowGround = scene.terrain ? measureGround(scene.terrain->model) : GroundBounds();
    if (scene.terrain) {
        if (!scene.terrain->loadTextures()) return false;
        scene.terrain->buildDisplayList();
    }
    if (scene.redCharacter && !uploadCharacter(*scene.redCharacter)) return false;
    if (scene.plainCharacter && !uploadCharacter(*scene.plainCharacter)) return false;
    if (scene.sky) {
        if (!scene.sky->loadTextures()) return false;
        scene.sky->buildDisplayList();
    }
    return true;
}
