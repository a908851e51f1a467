// 3D lettering: words that fly along straight paths over a backdrop.
#pragma once
#include "assets/model.h"
#include "assets/texture.h"

class SplinePath;
struct ThreadHandle;

class LetteringItem {
public:
    // `filePath` already starts with "models/". GLUT thread (compiles a list).
    LetteringItem(const char* filePath, const double start[3], const double end[3], int stepCount);
    virtual ~LetteringItem();

    void advance();           // one path sample while moving
    void draw() const;        // ignores the camera: eye space, 50 units ahead, 1/5 scale
    bool isMoving() const { return moving; }

    float startPoint[3];
    float endPoint[3];
    float position[3];
    int stepCount;
    Model model;
    unsigned int displayList = 0;
    SplinePath* path = nullptr;
    bool moving = true;

    LetteringItem(const LetteringItem&) = delete;
    LetteringItem& operator=(const LetteringItem&) = delete;
};

class TitleLettering {
public:
    TitleLettering();         // backdrop + nine items; GLUT thread
    virtual ~TitleLettering();
    // The title and loading screens; see render/screens.cpp.
    bool drawTitleFrame(int* state);

    int loadFrameCounter = 0;
    TextureTable textures;    // entry 1: the backdrop
    LetteringItem* items[9] = {};  // six title words, prompt, two loading words
    ThreadHandle* loaderThread = nullptr;
};

class ClosingLettering {
public:
    ClosingLettering();       // backdrop + two items; GLUT thread
    virtual ~ClosingLettering();
    // The closing screen; ends the process 5 s after both words arrived.
    bool drawClosingFrame(int* state);

    TextureTable textures;
    LetteringItem* items[2] = {};
};

extern TitleLettering* titleLettering;
extern ClosingLettering* closingLettering;
