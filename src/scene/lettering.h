// 3D lettering: words that fly along straight paths over a backdrop.
#pragma once
#include "assets/model.h"
#include "assets/texture.h"

class SplinePath;

// Both sets keep their backdrop texture in this slot of their table.
constexpr int BACKDROP_SLOT = 1;

class LetteringItem {
public:
    // `filePath` already starts with "models/". GLUT thread (compiles a list).
    // A file that cannot be read is logged by the reader; the item still
    // moves along its path and draws nothing.
    LetteringItem(const char* filePath, const double start[3], const double end[3], int stepCount);
    virtual ~LetteringItem();  // releases the path, the model and its list

    // One path sample while moving: calls 1..n hand out samples 0..n-1 (the
    // last one a step short of the end point); the n-th stops the item.
    void advance();
    // Ignores the camera: eye space, 50 units ahead, 1/5 scale. At `blend`
    // of the way from where the word was before its last step to where it
    // is now (1: where it is).
    void draw(float blend = 1.0f) const;
    bool isMoving() const { return moving; }

    float startPoint[3];
    float endPoint[3];
    float position[3];
    float previous[3];  // position before the set's last step (advanceFirstMoving)
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
    static constexpr int ITEM_COUNT = 9;
    static constexpr int WORD_COUNT = 6;  // items 0..5: the title words, in fly-in order
    static constexpr int PROMPT = 6;      // "press d to start"
    static constexpr int LOADING1 = 7;    // the two alternating loading words
    static constexpr int LOADING2 = 8;

    // Backdrop "models/screenshot.bmp" into textures[BACKDROP_SLOT], then
    // the nine items. When the backdrop cannot be read, backdropRead is false
    // and no item is made (the program ends). GLUT thread.
    TitleLettering();
    // Destroys the nine items, their lists and the backdrop texture.
    virtual ~TitleLettering();

    int loadFrameCounter = 0; // frames the current loading word has been shown
    bool backdropRead = false;
    TextureTable textures;    // entry BACKDROP_SLOT: the backdrop
    LetteringItem* items[ITEM_COUNT] = {};  // six title words, prompt, two loading words
};

class ClosingLettering {
public:
    static constexpr int ITEM_COUNT = 2;

    // Backdrop into textures[BACKDROP_SLOT], then the two closing words; as
    // the title's when the backdrop cannot be read. GLUT thread.
    ClosingLettering();
    // Destroys the two items, their lists and the backdrop texture.
    virtual ~ClosingLettering();

    bool backdropRead = false;
    TextureTable textures;
    LetteringItem* items[ITEM_COUNT] = {};
};

// Words arrive one at a time: advances the first of `items` that still moves
// and returns true, or returns false when none moves (all have arrived).
// Every item's `previous` becomes where it was before this step.
bool advanceFirstMoving(LetteringItem* const* items, int count);
