// The backdrop of the title, loading and closing screens: a picture of the
// demo's valley at sunset, rendered from the terrain and sky themselves.
#pragma once
#include <string>

// Writes models/screenshot.bmp.
bool writeBackdrop(const std::string& dataDir, std::string* error);
