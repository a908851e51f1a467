// The two static models of the scene, the sky dome and the terrain: one
// class, SceneModel, with two instances that differ in their file and in
// how they are drawn (the sky unlit, the terrain lit as the caller set).
#pragma once
#include <cstdint>
#include <vector>

#include "assets/displaylists.h"
#include "assets/model.h"
#include "assets/texture.h"

// How a scene model is drawn.
struct SceneModelLook {
    const char* fileName;  // under "models/"
    bool unlit;            // lighting off while drawn: the sky carries its brightness in its textures
    BatchArrays arrays;    // which list's arrays (an untextured terrain object is white)
};

// A static model at the world origin, drawn under the caller's view: read
// and prepared on the loader thread (draw arrays, indexed corners and the
// pieces), given its textures and its display list on the GLUT thread.
//
// Its faces are sorted into pieces, the cells of a grid over its ground
// plan, so that a pass can leave out what cannot be seen: drawPieces draws
// the faces of the pieces it is given in the model's own face order, so the
// faces drawn meet the depth test in the order the whole list has them.
class SceneModel {
public:
    static constexpr int PIECE_CELLS = 8;  // grid cells per side

    // Bounds of the corners of a piece's faces, scene units; low > high for
    // a piece without faces.
    struct Piece {
        Vec3f low, high;
    };

    explicit SceneModel(const SceneModelLook& look);  // reads the file; any thread
    virtual ~SceneModel() = default;
    // GLUT thread; false when a texture cannot be read (see loadTextures).
    [[nodiscard]] bool loadTextures();
    void buildDisplayList();  // GLUT thread
    // The whole model by its display list. Leaves the caller's state as it
    // was.
    void draw();
    // Only the faces of the pieces whose entry in `visible` (one per piece)
    // is non-zero; the same state and pixels as draw() for those faces.
    // With `flushHalfway` the renderer is handed the first half of the
    // largest object's faces (glFlush) before the rest is submitted, so its
    // threads start rasterizing while this one goes on.
    void drawPieces(const std::vector<char>& visible, bool flushHalfway = false);
    const std::vector<Piece>& pieces() const { return pieces_; }
    // The piece of each face of object `object`; empty for an object out of range.
    const std::vector<uint8_t>& pieceOfFaces(size_t object) const;

    Model model;
    TextureTable textures;
    unsigned int displayList = 0;

private:
    void sortIntoPieces();

    SceneModelLook look_;
    std::vector<IndexedCorners> corners_;           // per object
    std::vector<std::vector<uint8_t>> pieceOfFace_;  // per object, per face
    std::vector<Piece> pieces_;                     // PIECE_CELLS squared
    std::vector<uint32_t> chosen_;                  // drawPieces' scratch, GLUT thread
};

// The sky: "models/sky.3ds", always unlit.
class Sky : public SceneModel {
public:
    Sky();
};

// The terrain: "models/terrain.3DS", lit as the caller has set.
class Terrain : public SceneModel {
public:
    Terrain();
};
