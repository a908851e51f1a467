// File names as models give them, found on a case-sensitive file system.
//
// 3DS exporters often write texture names in upper case 8.3 form
// ("TEX.BMP") or with DOS separators ("maps\tex.bmp"), while the files on
// disk are named otherwise. GL-free; any thread may call it.
#pragma once
#include <string>

// The path of `name` under `directory` ("" for the working directory).
// When `directory`/`name` exists it is returned as is, so every name that
// works exactly keeps working. Otherwise `\` and `/` both separate path
// components and each component is matched against the directory entries
// ignoring ASCII case: an exact entry is tried first, then the others in
// sorted order, and the first whole path that exists wins, so the choice
// never depends on the order the file system lists entries in. When no
// path matches, the exact one is returned for the caller to report.
std::string resolveFileName(const std::string& directory, const std::string& name);
