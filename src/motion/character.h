// The two vehicles of the scene: model, textures, display lists, pose,
// wheel spin, wheelie (pitch) and stencil shadow volumes.
#pragma once
#include "assets/model.h"
#include "assets/texture.h"

enum CharacterKind : int { KIND_RED = 1, KIND_PLAIN = 2 };

class Character {
public:
    // Reads its model (kind 1 "quelm_red.3DS", kind 2 "quelm.3DS") and
    // prepares it without OpenGL: any thread (the loader thread).
    Character(int kind, int unused);
    virtual ~Character();

    void setPose(float x, float y, float z, float heading);
    void startPitch(int limit);
    // GLUT thread: textures, then the three display lists.
    void loadTextures();
    void buildDisplayList();
    // GLUT thread. `light` holds x, y, z; the fourth entry is set to 1 when
    // shadows are cast.
    void draw(float light[4], bool castShadows);

    void buildNeighbours();
    void computePlanes();
    void drawShadowVolumes(const float light[4], int part);
    void extrudeSilhouette(ModelObject& object, const float light[4], bool resetAfter);

    int kind;
    float x = 0, y = 0, z = 0;
    float heading = 0;
    Model model;
    TextureTable textures;
    unsigned int bodyList = 0, objectList3 = 0, objectList4 = 0;
    int pitchState = 0;
    int pitchLimit = 80;
    int pitchCount = 1;
    int spinAngle = 0;
};

bool edgesEqual(const Vec3f& p, const Vec3f& q, const Vec3f& r, const Vec3f& s);

// Created by the loader thread; null until then.
extern Character* plainCharacter;  // kind 2
extern Character* redCharacter;    // kind 1
