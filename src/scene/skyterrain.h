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
// faces drawn meet the depth test in the order the whole list has them;
// drawPiecesInOrder draws them piece by piece, near pieces first.
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
    // The faces of the listed pieces, piece after piece in the list's order
    // (each piece's faces in the model's order); indices out of range are
    // skipped. For a model whose pieces hide only those behind them on its
    // ground plan (a height field), near pieces first spare the renderer
    // the fragments they hide, and the picture is the same.
    void drawPiecesInOrder(const std::vector<int>& order, bool flushHalfway = false);
    const std::vector<Piece>& pieces() const { return pieces_; }
    // The piece of each face of object `object`; empty for an object out of range.
    const std::vector<uint8_t>& pieceOfFaces(size_t object) const;

    Model model;
    TextureTable textures;
    unsigned int displayList = 0;

private:
    void sortIntoPieces();
    // Draws object by object the faces `choose` puts into chosen_ (corner
    // indices), the largest object's in two flushed halves when asked.
    template <typename Choose>
    void drawChosen(bool flushHalfway, Choose choose);

    SceneModelLook look_;
    std::vector<IndexedCorners> corners_;           // per object
    std::vector<std::vector<uint8_t>> pieceOfFace_;  // per object, per face
    std::vector<std::vector<std::vector<uint32_t>>> facesOfPiece_;  // per object, per piece: faces in order
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
