// The sky dome and the terrain: read and flattened on the loader thread,
// given textures and one display list on the GLUT thread, drawn each scene
// frame at the world origin under the caller's view, whole or piece by
// piece.
#include "scene/skyterrain.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "assets/glstate.h"
#include "assets/modelpath.h"
#include "assets/reader3ds.h"

namespace {

// The objects a list draws: objectCount of them, as far as they exist.
size_t objectsDrawn(const Model& model) {
    const size_t counted = model.objectCount > 0 ? static_cast<size_t>(model.objectCount) : 0;
    return std::min(counted, model.objects.size());
}

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

constexpr SceneModelLook SKY_LOOK{"sky.3ds", true, BatchArrays::PerObject};
constexpr SceneModelLook TERRAIN_LOOK{"terrain.3DS", false, BatchArrays::Terrain};

}  // namespace

SceneModel::SceneModel(const SceneModelLook& look) : look_(look) {
    readSceneModel(model, look.fileName);
    const size_t count = objectsDrawn(model);
    corners_.reserve(count);
    for (size_t i = 0; i < count; ++i) corners_.push_back(indexCorners(model.objects[i]));
    sortIntoPieces();
}

// Each face goes to the cell of the grid over the model's ground plan that
// holds its centre; a piece's bounds are those of its faces' corners.
void SceneModel::sortIntoPieces() {
    const int cells = PIECE_CELLS;
    const float far = 1e30f;
    pieces_.assign(static_cast<size_t>(cells) * cells, Piece{{far, far, far}, {-far, -far, -far}});
    float minX = far, maxX = -far, minZ = far, maxZ = -far;
    for (size_t i = 0; i < corners_.size(); ++i) {
        for (const Vec3f& v : corners_[i].vertices) {
            if (!std::isfinite(v.x) || !std::isfinite(v.z)) continue;
            minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
            minZ = std::min(minZ, v.z), maxZ = std::max(maxZ, v.z);
        }
    }
    const double sizeX = maxX > minX ? (static_cast<double>(maxX) - minX) / cells : 1.0;
    const double sizeZ = maxZ > minZ ? (static_cast<double>(maxZ) - minZ) / cells : 1.0;
    auto cellOf = [cells](double value, double low, double size) {
        const double i = std::floor((value - low) / size);
        if (!(i >= 0)) return 0;  // NaN too
        return i >= cells - 1 ? cells - 1 : static_cast<int>(i);
    };
    pieceOfFace_.assign(corners_.size(), {});
    facesOfPiece_.clear();
    for (size_t i = 0; i < corners_.size(); ++i) {
        const IndexedCorners& c = corners_[i];
        std::vector<uint8_t>& pieceOf = pieceOfFace_[i];
        pieceOf.resize(c.faces.size() / 3);
        std::vector<std::vector<uint32_t>>& facesOf = facesOfPiece_.emplace_back(pieces_.size());
        for (size_t f = 0; f < pieceOf.size(); ++f) {
            const Vec3f* v[3];
            for (int j = 0; j < 3; ++j) v[j] = &c.vertices[c.faces[3 * f + j]];
            const double x = (static_cast<double>(v[0]->x) + v[1]->x + v[2]->x) / 3.0;
            const double z = (static_cast<double>(v[0]->z) + v[1]->z + v[2]->z) / 3.0;
            const int piece = cellOf(z, minZ, sizeZ) * cells + cellOf(x, minX, sizeX);
            pieceOf[f] = static_cast<uint8_t>(piece);
            facesOf[static_cast<size_t>(piece)].push_back(static_cast<uint32_t>(f));
            Piece& p = pieces_[static_cast<size_t>(piece)];
            bool finite = true;
            for (const Vec3f* corner : v)
                finite = finite && std::isfinite(corner->x) && std::isfinite(corner->y) && std::isfinite(corner->z);
            if (!finite) {
                // No bounds can be trusted: the piece is never left out.
                p.low = {-far, -far, -far}, p.high = {far, far, far};
                continue;
            }
            for (const Vec3f* corner : v) {
                p.low = {std::min(p.low.x, corner->x), std::min(p.low.y, corner->y), std::min(p.low.z, corner->z)};
                p.high = {std::max(p.high.x, corner->x), std::max(p.high.y, corner->y), std::max(p.high.z, corner->z)};
            }
        }
    }
}

bool SceneModel::loadTextures() { return ::loadTextures(model, textures); }

void SceneModel::buildDisplayList() {
    displayList = look_.arrays == BatchArrays::Terrain ? buildTerrainList(model, textures)
                                                       : buildSkyList(model, textures);
}

const std::vector<uint8_t>& SceneModel::pieceOfFaces(size_t object) const {
    static const std::vector<uint8_t> none;
    return object < pieceOfFace_.size() ? pieceOfFace_[object] : none;
}

void SceneModel::draw() {
    glPushMatrix();
    glPushAttrib(ALL_ATTRIBUTE_GROUPS);
        if (look_.unlit) glDisable(GL_LIGHTING);
        glCallList(displayList);
        if (look_.unlit) glEnable(GL_LIGHTING);
    glPopAttrib();
    glPopMatrix();
}

template <typename Choose>
void SceneModel::drawChosen(bool flushHalfway, Choose choose) {
    size_t largest = 0;
    for (size_t i = 1; i < corners_.size(); ++i)
        if (corners_[i].faces.size() > corners_[largest].faces.size()) largest = i;
    glPushMatrix();
    glPushAttrib(ALL_ATTRIBUTE_GROUPS);
        if (look_.unlit) glDisable(GL_LIGHTING);
        for (size_t i = 0; i < corners_.size(); ++i) {
            const IndexedCorners& c = corners_[i];
            chosen_.clear();
            choose(i, c);
            const size_t half = flushHalfway && i == largest ? chosen_.size() / 6 * 3 : 0;
            if (half > 0) {
                drawIndexedBatch(model.objects[i], c, chosen_.data(), half, textures, look_.arrays);
                glFlush();
            }
            drawIndexedBatch(model.objects[i], c, chosen_.data() + half, chosen_.size() - half, textures, look_.arrays);
        }
        if (look_.unlit) glEnable(GL_LIGHTING);
    glPopAttrib();
    glPopMatrix();
}

void SceneModel::drawPieces(const std::vector<char>& visible, bool flushHalfway) {
    if (visible.size() != pieces_.size()) return;
    drawChosen(flushHalfway, [&](size_t object, const IndexedCorners& c) {
        const std::vector<uint8_t>& pieceOf = pieceOfFace_[object];
        for (size_t f = 0; f < pieceOf.size(); ++f)
            if (visible[pieceOf[f]]) chosen_.insert(chosen_.end(), &c.faces[3 * f], &c.faces[3 * f] + 3);
    });
}

void SceneModel::drawPiecesInOrder(const std::vector<int>& order, bool flushHalfway) {
    drawChosen(flushHalfway, [&](size_t object, const IndexedCorners& c) {
        const std::vector<std::vector<uint32_t>>& facesOf = facesOfPiece_[object];
        for (int piece : order)
            if (piece >= 0 && static_cast<size_t>(piece) < facesOf.size())
                for (uint32_t f : facesOf[static_cast<size_t>(piece)])
                    chosen_.insert(chosen_.end(), &c.faces[3 * f], &c.faces[3 * f] + 3);
    });
}

Sky::Sky() : SceneModel(SKY_LOOK) {}

Terrain::Terrain() : SceneModel(TERRAIN_LOOK) {}
