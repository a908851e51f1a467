// The eleven 3D lettering models: glyph outlines from the DejaVu fonts,
// filled with GLU's tessellator and extruded with side walls.
#pragma once
#include <string>

// Where the program's fonts live (fonts-dejavu-core).
extern const char* const FONT_DIR;

// Writes models/schrift/*.3ds|3DS under `dataDir`. False with a reason when
// a font cannot be read or a file cannot be written.
bool writeLettering(const std::string& dataDir, std::string* error);
