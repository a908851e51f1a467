// The two static models of the scene: the sky dome and the terrain.
#pragma once
#include "assets/model.h"
#include "assets/texture.h"

class Sky {
public:
    Sky();                    // reads "models/sky.3ds"; any thread
    // GLUT thread; false when a texture cannot be read (see loadTextures).
    [[nodiscard]] bool loadTextures();
    void buildDisplayList();  // GLUT thread
    void draw();              // always unlit; leaves the caller's state as it was

    Model model;
    TextureTable textures;
    unsigned int displayList = 0;
};

class Terrain {
public:
    Terrain();                // reads "models/terrain.3DS"; any thread
    virtual ~Terrain();       // releases the draw arrays and the model's lists
    [[nodiscard]] bool loadTextures();  // GLUT thread, as the sky's
    void buildDisplayList();
    void draw();              // lit as the caller has set

    Model model;
    TextureTable textures;
    unsigned int displayList = 0;
};
