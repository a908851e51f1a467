// OpenGL values shared by every drawing layer.
#pragma once
#include <GL/gl.h>

// Every attribute group of OpenGL 1.1, for a pass that hands back the whole
// state as it found it (the later multisample bit is left out, as the
// drawing never touches it).
constexpr GLbitfield ALL_ATTRIBUTE_GROUPS = 0xFFFFF;
