// The program's icon: the title's word "quelm" in its ember colours over a
// night-blue tile, as PNG pictures for the desktop's icon theme.
#pragma once
#include <string>

// Writes quelm-48.png, quelm-128.png and quelm-256.png into `iconDir`. False
// with a reason when the font cannot be read or a file cannot be written.
bool writeIcons(const std::string& iconDir, std::string* error);
