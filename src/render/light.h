// The one OpenGL light. GLUT thread only.
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

// Replaces the current light by one from (x, y, z) and applies it under the
// modelview matrix in force. The title, the scene and the closing screen
// each set theirs; nothing else writes the light.
void useLight(float x, float y, float z);

// The current light; null before the first useLight.
const Light* sceneLight();
