// 3D lettering of the title, loading and closing screens: each word is a
// model compiled into one display list that flies along its own straight
// path, one sample per advance, until it comes to rest.
#include "scene/lettering.h"

#include <GL/gl.h>

#include <string>

#include "assets/displaylists.h"
#include "assets/modelpath.h"
#include "assets/reader3ds.h"
#include "motion/splinepath.h"

namespace {

// One word of a set: its model under "models/", where it starts, where it
// comes to rest and in how many samples it gets there.
struct WordRow {
    const char* file;
    double start[3];
    double end[3];
    int stepCount;
};

// The title words fly in one after another; the prompt and the two loading
// words share the line below them and never move.
const WordRow TITLE_WORDS[9] = {
    {"schrift/Just.3ds", {-150, 20, 0}, {-30, 20, 0}, 70},
    {"schrift/quelm.3ds", {-12, 50, 0}, {-12, 19.5, 0}, 50},
    {"schrift/it.3ds", {120, 20, 0}, {10, 20, 0}, 70},
    {"schrift/by.3ds", {-150, 10, 0}, {-5, 10, 0}, 70},
    {"schrift/tesk.3DS", {-150, 0, 0}, {-40, 0, 0}, 70},
    {"schrift/malv.3ds", {-150, -10, 0}, {-25, -10, 0}, 70},
    {"schrift/pressdtostart.3DS", {-15, -30, 0}, {-15, -30, 0}, 70},
    {"schrift/loading1.3DS", {-25, -30, 0}, {-25, -30, 0}, 70},
    {"schrift/loading2.3DS", {-25, -30, 0}, {-25, -30, 0}, 70},
};

const WordRow CLOSING_WORDS[2] = {
    {"schrift/comingsoon.3DS", {-100, 10, 0}, {-35, 10, 0}, 50},
    {"schrift/qz07.3DS", {50, -12, 0}, {-15, -12, 0}, 70},
};

// Both sets show the same picture behind their words, each from its own copy.
constexpr const char* BACKDROP_FILE = "screenshot.bmp";

LetteringItem* makeItem(const WordRow& row) {
    const std::string path = modelPath(row.file);
    return new LetteringItem(path.c_str(), row.start, row.end, row.stepCount);
}

void deleteBackdrop(TextureTable& textures) {
    if (textures[BACKDROP_SLOT] != 0) glDeleteTextures(1, &textures.names[BACKDROP_SLOT]);
    textures[BACKDROP_SLOT] = 0;
}

}  // namespace

// ---- LetteringItem -----------------------------------------------------

LetteringItem::LetteringItem(const char* filePath, const double start[3], const double end[3],
                             int steps) {
    {
        Reader3DS reader;  // a reader of its own, discarded after this read
        reader.Import3DS(&model, filePath);
    }
    for (int i = 0; i < 3; ++i) {
        startPoint[i] = static_cast<float>(start[i]);
        endPoint[i] = static_cast<float>(end[i]);
        position[i] = startPoint[i];
        previous[i] = startPoint[i];
    }
    stepCount = steps;

    // The path runs between the float-rounded points, so the word comes to
    // rest exactly where its stored points say.
    Vec3d points[2];
    points[0] = {startPoint[0], startPoint[1], startPoint[2]};
    points[1] = {endPoint[0], endPoint[1], endPoint[2]};
    path = new SplinePath(2, points, stepCount, 3, 0, 0);
    moving = true;

    prepareArrays(model);
    displayList = buildLetteringList(model);
}

LetteringItem::~LetteringItem() {
    delete path;
    path = nullptr;
    model = Model();
    if (displayList != 0) glDeleteLists(displayList, 1);
}

void LetteringItem::advance() {
    if (!moving) return;
    // A path without samples has nowhere to go: the word rests where it is.
    if (!path || path->sampleCount <= 0) {
        moving = false;
        return;
    }
    Vec3d sample;
    int index = 0;
    moving = path->nextSample(&sample, nullptr, nullptr, nullptr, false, true, &index);
    position[0] = static_cast<float>(sample.x);
    position[1] = static_cast<float>(sample.y);
    position[2] = static_cast<float>(sample.z);
}

void LetteringItem::draw(float blend) const {
    float at[3] = {position[0], position[1], position[2]};
    if (blend < 1.0f) {
        for (int i = 0; i < 3; ++i) at[i] = (1.0f - blend) * previous[i] + blend * position[i];
    }
    glPushMatrix();
        // Words live in eye space: whatever the camera does, they stay put.
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -50.0f);
        glTranslatef(at[0], at[1], at[2]);
        glScalef(0.2f, 0.2f, 0.2f);
        glCallList(displayList);
    glPopMatrix();
}

// ---- TitleLettering ----------------------------------------------------

TitleLettering::TitleLettering() {
    loadFrameCounter = 0;
    backdropRead = loadTextureFile(textures, BACKDROP_FILE, BACKDROP_SLOT);
    if (!backdropRead) return;
    for (int i = 0; i < ITEM_COUNT; ++i) items[i] = makeItem(TITLE_WORDS[i]);
}

TitleLettering::~TitleLettering() {
    for (LetteringItem*& item : items) {
        delete item;
        item = nullptr;
    }
    deleteBackdrop(textures);
}

// ---- ClosingLettering --------------------------------------------------

ClosingLettering::ClosingLettering() {
    backdropRead = loadTextureFile(textures, BACKDROP_FILE, BACKDROP_SLOT);
    if (!backdropRead) return;
    for (int i = 0; i < ITEM_COUNT; ++i) items[i] = makeItem(CLOSING_WORDS[i]);
}

ClosingLettering::~ClosingLettering() {
    for (LetteringItem*& item : items) {
        delete item;
        item = nullptr;
    }
    deleteBackdrop(textures);
}

// ---- Flying words ------------------------------------------------------

bool advanceFirstMoving(LetteringItem* const* items, int count) {
    for (int i = 0; i < count; ++i) {
        if (!items[i]) continue;
        for (int k = 0; k < 3; ++k) items[i]->previous[k] = items[i]->position[k];
    }
    for (int i = 0; i < count; ++i) {
        if (items[i] && items[i]->isMoving()) {
            items[i]->advance();
            return true;
        }
    }
    return false;
}
