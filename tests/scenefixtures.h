// Small files and read-backs shared by the scene, lettering, screen, keyboard
// and reader tests: flat one-colour quads as 3DS models and a backdrop
// picture, written into the current (temporary) directory.
#pragma once
#include <GL/gl.h>
#include <GL/glu.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/log.h"
#include "assets/writer3ds.h"
#include "support/tempdir.h"

namespace scenefixtures {

struct Colour {
    uint8_t r, g, b;
};

inline void makeDirs() {
    ::mkdir("models", 0755);
    ::mkdir("models/schrift", 0755);
}

// A quad from (x0, y0) to (x1, y1) in the z = 0 plane, facing +z, mapped
// once over the texture when `mapped`.
inline ObjectSpec quadObject(const std::string& name, const std::string& material, float x0, float y0, float x1,
                             float y1, bool mapped = false) {
    return {name, {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}, {0, 1, 2, 0, 2, 3},
            mapped ? std::vector<Vec2f>{{0, 0}, {1, 0}, {1, 1}, {0, 1}} : std::vector<Vec2f>{}, material};
}

// One quad with the given corners (counter-clockwise seen from its front)
// whose object and material are both called `name`, in colour `c`.
inline bool writeQuadModel(const std::string& path, const std::string& name, Colour c, std::vector<Vec3f> corners) {
    return writeFileBytes(path, write3ds({{name, c.r, c.g, c.b, ""}}, {{name, std::move(corners), {0, 1, 2, 0, 2, 3}, {}, name}}));
}

inline bool writeQuad(const std::string& path, const std::string& name, Colour c, float x0, float y0,
                      float x1, float y1) {
    return writeQuadModel(path, name, c, {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}});
}

inline bool writeSquare(const std::string& path, const std::string& name, Colour c, float half) {
    return writeQuad(path, name, c, -half, -half, half, half);
}

// "models/screenshot.bmp": a small picture in one colour.
inline bool writeBackdrop(Colour c = {90, 90, 90}) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 64; ++i) rgb.insert(rgb.end(), {c.r, c.g, c.b});
    return writeFileBytes("models/screenshot.bmp", writeBmp24(8, 8, rgb.data()));
}

// The log's file is buffered: reopening it writes out what it holds.
inline std::string flushedLog(const TempDir& dir) {
    messageLog.reopen("messages.log");
    return readTextFile(dir.file("messages.log"));
}

// How often `what` occurs in `text`.
inline int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// An 800 x 600 window seen through a camera at the origin looking down -z
// (aspect 1, as the program's), with nothing drawn yet in colour `clear`.
inline void setView(double fovy, double zNear, double zFar, Colour clear = {0, 0, 0}) {
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, 1.0, zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(clear.r / 255.f, clear.g / 255.f, clear.b / 255.f, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

// What a pass must hand back as it found it: both matrices, the current
// colour, the matrix mode, depth function and mask, and the given switches.
inline std::vector<float> glStateOf(const std::vector<GLenum>& caps) {
    std::vector<float> state(36);
    glGetFloatv(GL_PROJECTION_MATRIX, &state[0]);
    glGetFloatv(GL_MODELVIEW_MATRIX, &state[16]);
    glGetFloatv(GL_CURRENT_COLOR, &state[32]);
    for (GLenum name : {GL_MATRIX_MODE, GL_DEPTH_FUNC, GL_DEPTH_WRITEMASK}) {
        GLint value = 0;
        glGetIntegerv(name, &value);
        state.push_back(float(value));
    }
    for (GLenum cap : caps) state.push_back(glIsEnabled(cap));
    return state;
}

// The whole back buffer as RGB bytes, bottom row first.
inline std::vector<unsigned char> readFrame(int width = 800, int height = 600) {
    std::vector<unsigned char> frame(width * height * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
    return frame;
}

// Whether the back buffer's pixel at (x, y) has colour `c` within `tolerance`.
inline bool pixelIs(int x, int y, Colour c, int tolerance = 0) {
    unsigned char rgb[3];
    glFinish();
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return std::abs(rgb[0] - c.r) <= tolerance && std::abs(rgb[1] - c.g) <= tolerance &&
           std::abs(rgb[2] - c.b) <= tolerance;
}

}  // namespace scenefixtures
