// The vehicles on screen: model, spinning parts and shadow volumes.
#include "render/vehicles.h"

#include <GL/gl.h>

#include <cstddef>
#include <vector>

#include "assets/displaylists.h"
#include "assets/glstate.h"
#include "assets/texture.h"

namespace {

// Pivots of the two spinning parts, in model units.
constexpr float PART3_PIVOT_Y = 49.92f;
constexpr float PART3_PIVOT_Z = -236.217f;
constexpr float PART4_PIVOT_Y = 51.0f;
// Models are authored 1/0.03 times the scene's size.
constexpr float MODEL_SCALE = 0.03f;
constexpr float MODEL_UNSCALE = 33.333332f;
// How far the shadow volume's far edge is pushed away from the light,
// in multiples of the vertex's distance to the light.
constexpr float EXTRUDE_LENGTH = 50.0f;

// Where the volume's far edge lies for a vertex: pushed away from the light.
Vec3f extruded(const Vec3f& v, const float light[4]) {
    return {v.x + (v.x - light[0]) * EXTRUDE_LENGTH, v.y + (v.y - light[1]) * EXTRUDE_LENGTH,
            v.z + (v.z - light[2]) * EXTRUDE_LENGTH};
}

// The quad between an edge and its far edge, as two triangles wound as a
// strip would wind them (a, far a, b; b, far a, far b), appended to the
// float vector behind `context`.
void collectExtrudedEdge(const ModelObject& object, int faceIndex, int edge, const float light[4],
                         void* context) {
    std::vector<float>& out = *static_cast<std::vector<float>*>(context);
    const Face& face = object.faces[faceIndex];
    const Vec3f& a = object.vertices[face.vertexIndex[edge]];
    const Vec3f& b = object.vertices[face.vertexIndex[(edge + 1) % 3]];
    const Vec3f farA = extruded(a, light), farB = extruded(b, light);
    const float corners[18] = {a.x,    a.y,    a.z,    farA.x, farA.y, farA.z,
                               b.x,    b.y,    b.z,    b.x,    b.y,    b.z,
                               farA.x, farA.y, farA.z, farB.x, farB.y, farB.z};
    out.insert(out.end(), corners, corners + 18);
}

}  // namespace

bool uploadCharacter(Character& character) {
    if (!loadTextures(character.model, character.textures)) return false;
    const CharacterLists lists = buildCharacterLists(character.model, character.textures);
    character.bodyList = lists.bodyList;
    character.objectList3 = lists.objectList3;
    character.objectList4 = lists.objectList4;
    return true;
}

void drawCharacter(Character& character, const float sceneLight[3], bool castShadows,
                   const GroundBounds* ground) {
    drawCharacter(character, poseOf(character), sceneLight, castShadows, ground);
}

void drawCharacter(Character& character, const VehiclePose& pose, const float sceneLight[3],
                   bool castShadows, const GroundBounds* ground) {
    const VehiclePose& c = pose;
    // The view is taken here, under the camera alone: the volumes' bounds
    // are worked out in world coordinates. Only with the depth test on can
    // the terrain hide anything; a scissor the caller set is left alone.
    VolumeView volumeView;
    const VolumeView* view = nullptr;
    if (castShadows && ground && glIsEnabled(GL_DEPTH_TEST) && !glIsEnabled(GL_SCISSOR_TEST)) {
        float camera[16], projection[16];
        int viewport[4];
        glGetFloatv(GL_MODELVIEW_MATRIX, camera);
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        if (prepareVolumeView(*ground, camera, projection, viewport, volumeView)) view = &volumeView;
    }
    const double pitch = c.pitch;
    // A point light for the volumes: w = 1 carries the translations below.
    const float light[4] = {sceneLight[0], sceneLight[1], sceneLight[2], 1.0f};

    // The light in a part's object space: the part's transform undone in
    // reverse order, built on the matrix stack and read back. `pivotY`,
    // `pivotZ` locate the part's spin axis; the body has none.
    auto lightInPart = [&](bool spins, float pivotY, float pivotZ, float local[4]) {
        glPushMatrix();
        glLoadIdentity();
        if (spins) {
            glTranslatef(0.0f, pivotY, pivotZ);
            glRotatef(-c.spin, 1.0f, 0.0f, 0.0f);
            glTranslatef(0.0f, -pivotY, -pivotZ);
        }
        if (c.pitching) glRotatef(static_cast<float>(-pitch), 1.0f, 0.0f, 0.0f);
        glRotatef(-c.heading, 0.0f, 1.0f, 0.0f);
        glScalef(MODEL_UNSCALE, MODEL_UNSCALE, MODEL_UNSCALE);
        glTranslatef(-c.x, -c.y, -c.z);
        float m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        glPopMatrix();
        for (int r = 0; r < 4; ++r) {
            local[r] = m[r] * light[0] + m[4 + r] * light[1] + m[8 + r] * light[2] +
                       m[12 + r] * light[3];
        }
    };

    glPushMatrix();
    glPushAttrib(ALL_ATTRIBUTE_GROUPS);
        glTranslatef(c.x, c.y, c.z);
        glScalef(MODEL_SCALE, MODEL_SCALE, MODEL_SCALE);
        glRotatef(c.heading, 0.0f, 1.0f, 0.0f);
        if (c.pitching) glRotatef(static_cast<float>(pitch), 1.0f, 0.0f, 0.0f);
        glCallList(character.bodyList);

        glPushMatrix();
            glTranslatef(0.0f, PART3_PIVOT_Y, PART3_PIVOT_Z);
            glRotatef(c.spin, 1.0f, 0.0f, 0.0f);
            glTranslatef(0.0f, -PART3_PIVOT_Y, -PART3_PIVOT_Z);
            glCallList(character.objectList3);
            if (castShadows) {
                float local[4];
                lightInPart(true, PART3_PIVOT_Y, PART3_PIVOT_Z, local);
                drawShadowVolumes(character, local, 0, view);
            }
        glPopMatrix();

        glPushMatrix();
            glTranslatef(0.0f, PART4_PIVOT_Y, 0.0f);
            glRotatef(c.spin, 1.0f, 0.0f, 0.0f);
            glTranslatef(0.0f, -PART4_PIVOT_Y, 0.0f);
            glCallList(character.objectList4);
            if (castShadows) {
                float local[4];
                lightInPart(true, PART4_PIVOT_Y, 0.0f, local);
                drawShadowVolumes(character, local, 1, view);
            }
        glPopMatrix();

        if (castShadows) {
            float local[4];
            lightInPart(false, 0.0f, 0.0f, local);
            drawShadowVolumes(character, local, 2, view);
        }
    glPopAttrib();
    glPopMatrix();
}

void drawShadowVolumes(Character& character, const float light[4], int part,
                       const VolumeView* view) {
    Model& model = character.model;
    // Both counting passes extrude the same silhouette (one light, one
    // object), so it is collected once into a vertex array and drawn twice:
    // one draw call per pass instead of a strip per edge.
    static std::vector<float> volume;  // GLUT thread only; reused every frame
    static std::vector<float> kept;    // the triangles of it that may count, likewise
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glDisable(GL_LIGHTING);
        glDepthMask(GL_FALSE);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_STENCIL_TEST);
        // Only positions are read; any other array left enabled would be
        // read past its end.
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_INDEX_ARRAY);
        glDisableClientState(GL_EDGE_FLAG_ARRAY);
        glEnableClientState(GL_VERTEX_ARRAY);
        float objectModelview[16];
        if (view) {
            glGetFloatv(GL_MODELVIEW_MATRIX, objectModelview);
            glEnable(GL_SCISSOR_TEST);
        }
        for (std::size_t i = 0; i < model.objects.size(); ++i) {
            if (!inShadowPart(static_cast<int>(i), part)) continue;
            ModelObject& object = model.objects[i];
            volume.clear();
            visitSilhouette(object, light, true, collectExtrudedEdge, &volume);
            const GLsizei vertexCount = static_cast<GLsizei>(volume.size() / 3);
            glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFFu);
            if (vertexCount == 0) continue;
            const float* drawn = volume.data();
            GLsizei drawnCount = vertexCount;
            if (view) {
                // The triangles left out and the fragments outside the box
                // would all fail the depth test; dropping them leaves the
                // count as it was.
                kept.clear();
                const ScissorBox box = volumeScissor(*view, objectModelview, volume.data(), vertexCount, &kept);
                if (box.empty() || kept.empty()) continue;
                glScissor(box.x, box.y, box.width, box.height);
                drawn = kept.data();
                drawnCount = static_cast<GLsizei>(kept.size() / 3);
            }
            glVertexPointer(3, GL_FLOAT, 0, drawn);
            // Front faces of the volume count up, back faces down: what is
            // left non-zero lies inside a volume.
            glFrontFace(GL_CCW);
            glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
            glDrawArrays(GL_TRIANGLES, 0, drawnCount);
            glFrontFace(GL_CW);
            glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
            glDrawArrays(GL_TRIANGLES, 0, drawnCount);
        }
    glPopClientAttrib();
    glPopAttrib();
}
