// Terrain and sky, piece by piece: a piece is left out when every point of
// it lies outside one clip plane (no triangle of it can produce a fragment)
// or, for the sky, under the ground where every fragment would fail the
// depth test against the terrain drawn before it.
#include "render/scenery.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// How far outside a plane a box must lie to be left out, in scene units:
// far more than the single-precision rounding of the renderer's vertex
// transform at the scene's distances (about 1e-4 units at 1000).
constexpr double CULL_MARGIN = 1.0;

struct CameraMatrices {
    float modelview[16], projection[16];
    int viewport[4];
};

CameraMatrices currentMatrices() {
    CameraMatrices m;
    glGetFloatv(GL_MODELVIEW_MATRIX, m.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, m.projection);
    glGetIntegerv(GL_VIEWPORT, m.viewport);
    return m;
}

// One flag per piece: 1 where the piece may reach into the view.
std::vector<char> piecesInView(const SceneModel& model, const CameraMatrices& m) {
    const std::vector<SceneModel::Piece>& pieces = model.pieces();
    std::vector<char> visible(pieces.size(), 1);
    ViewFrustum frustum;
    if (!makeViewFrustum(m.projection, m.modelview, frustum)) return visible;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const SceneModel::Piece& p = pieces[i];
        if (!(p.low.x <= p.high.x) || boxOutside(frustum, p.low, p.high)) visible[i] = 0;
    }
    return visible;
}

// The sky's bounded draw; false when the ground's bounds do not apply here
// and the caller draws the pieces in view unscissored.
bool drawSkyOverGround(SceneModel& sky, const GroundBounds& ground, const CameraMatrices& m) {
    if (glIsEnabled(GL_SCISSOR_TEST) || !glIsEnabled(GL_DEPTH_TEST)) return false;
    VolumeView view;
    if (!prepareVolumeView(ground, m.modelview, m.projection, m.viewport, view)) return false;
    std::vector<char> visible = piecesInView(sky, m);
    const std::vector<SceneModel::Piece>& pieces = sky.pieces();
    for (size_t i = 0; i < pieces.size(); ++i)
        if (visible[i] && boxUnderGround(ground, pieces[i].low, pieces[i].high)) visible[i] = 0;
    // The box of what is left: the triangles of the pieces kept.
    ScissorBox all;
    std::vector<float> triangles;
    for (size_t o = 0; o < sky.model.objects.size(); ++o) {
        const ModelObject& object = sky.model.objects[o];
        const std::vector<uint8_t>& pieceOf = sky.pieceOfFaces(o);
        triangles.clear();
        for (size_t f = 0; f < pieceOf.size() && 3 * f + 2 < object.drawVertices.size(); ++f) {
            if (!visible[pieceOf[f]]) continue;
            for (int j = 0; j < 3; ++j) {
                const Vec3f& v = object.drawVertices[3 * f + j];
                triangles.insert(triangles.end(), {v.x, v.y, v.z});
            }
        }
        if (triangles.empty()) continue;
        all = unite(all, volumeScissor(view, m.modelview, triangles.data(), static_cast<int>(triangles.size() / 3)));
    }
    if (all.empty()) return true;
    glPushAttrib(GL_SCISSOR_BIT | GL_ENABLE_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(all.x, all.y, all.width, all.height);
        sky.drawPieces(visible);
    glPopAttrib();
    return true;
}

}  // namespace

bool makeViewFrustum(const float projection[16], const float cameraModelview[16], ViewFrustum& out) {
    double clip[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(projection[k * 4 + r]) * static_cast<double>(cameraModelview[c * 4 + k]);
            clip[c * 4 + r] = sum;
        }
    // Inside: -w <= x, y, z <= w, i.e. row 3 plus or minus rows 0, 1, 2.
    for (int p = 0; p < 6; ++p) {
        const int row = p / 2;
        const double sign = p % 2 == 0 ? 1.0 : -1.0;
        double* plane = out.plane[p];
        for (int c = 0; c < 4; ++c) plane[c] = clip[c * 4 + 3] + sign * clip[c * 4 + row];
        const double length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
        if (!std::isfinite(length) || !(length > 0) || !std::isfinite(plane[3])) return false;
        for (double& c : out.plane[p]) c /= length;
    }
    return true;
}

bool boxOutside(const ViewFrustum& frustum, const Vec3f& low, const Vec3f& high) {
    for (const auto& plane : frustum.plane) {
        // The corner farthest inside the plane.
        const double x = plane[0] > 0 ? high.x : low.x;
        const double y = plane[1] > 0 ? high.y : low.y;
        const double z = plane[2] > 0 ? high.z : low.z;
        if (plane[0] * x + plane[1] * y + plane[2] * z + plane[3] < -CULL_MARGIN) return true;
    }
    return false;
}

std::vector<int> piecesNearToFar(const std::vector<SceneModel::Piece>& pieces, const std::vector<char>& visible,
                                 const float cameraModelview[16]) {
    // The eye in world coordinates: the modelview's translation turned back
    // by its rotation (the camera's modelview has no scale).
    const float* m = cameraModelview;
    const double eyeX = -(static_cast<double>(m[0]) * m[12] + static_cast<double>(m[1]) * m[13] +
                          static_cast<double>(m[2]) * m[14]);
    const double eyeZ = -(static_cast<double>(m[8]) * m[12] + static_cast<double>(m[9]) * m[13] +
                          static_cast<double>(m[10]) * m[14]);
    std::vector<std::pair<double, int>> byDistance;
    byDistance.reserve(pieces.size());
    for (size_t i = 0; i < pieces.size() && i < visible.size(); ++i) {
        if (!visible[i]) continue;
        const SceneModel::Piece& p = pieces[i];
        const double dx = std::max({0.0, p.low.x - eyeX, eyeX - p.high.x});
        const double dz = std::max({0.0, p.low.z - eyeZ, eyeZ - p.high.z});
        const double distance = dx * dx + dz * dz;
        byDistance.push_back({std::isfinite(distance) ? distance : 0.0, static_cast<int>(i)});
    }
    std::sort(byDistance.begin(), byDistance.end());
    std::vector<int> order;
    order.reserve(byDistance.size());
    for (const auto& d : byDistance) order.push_back(d.second);
    return order;
}

void drawTerrainPass(SceneModel& terrain, bool whole) {
    if (whole) {
        terrain.draw();
        return;
    }
    // Each terrain face covers the same pixels whatever is drawn before it,
    // and two faces meet at equal depth only along a shared edge, whose
    // pixels belong to one of them: the order changes the work, not the
    // picture.
    const CameraMatrices m = currentMatrices();
    terrain.drawPiecesInOrder(piecesNearToFar(terrain.pieces(), piecesInView(terrain, m), m.modelview), true);
    glFlush();
}

void drawSkyPass(SceneModel& sky, const GroundBounds* ground, bool whole) {
    if (whole) {
        sky.draw();
        return;
    }
    const CameraMatrices m = currentMatrices();
    if (ground && drawSkyOverGround(sky, *ground, m)) return;
    sky.drawPieces(piecesInView(sky, m));
}
