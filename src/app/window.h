// The program's window, its projection and the one OpenGL light.
#pragma once

// Parameters of OpenGL light 0: a directional light from `position`.
class Light {
public:
    Light(float x, float y, float z);
    virtual ~Light() = default;
    // Loads the four vectors into GL_LIGHT0 and enables it. The position is
    // transformed by the modelview matrix in force at this call.
    void apply() const;
    void getPosition(float out[3]) const;

    float ambient[4];
    float diffuse[4];
    float specular[4];
    float position[4];
};

// Window globals, written by reshape on the GLUT thread.
extern int windowWidth;       // pixels, as last given to reshape
extern int windowHeight;      // pixels, as last given to reshape
extern double fieldOfView;    // vertical field of view in degrees, 90
extern double sceneNear;      // near plane outside the title state, 1
extern double sceneFar;       // far plane outside the title state, 10000
extern Light* sceneLight;     // the current light; its replacer deletes it

// Set before initDemo to run without opening sound at all (--mute).
extern bool soundMuted;

// One-time initialisation after the window exists: music, title light,
// title lettering, title OpenGL state.
void initDemo();

// The OpenGL state of the title and closing screens: black clear colour,
// no depth test, culling or lighting; colour material, texturing and
// normalised normals on. GLUT thread.
void applyScreenState();

// GLUT reshape callback: viewport and perspective projection.
void reshape(int width, int height);
