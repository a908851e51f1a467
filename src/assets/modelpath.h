// Where the program's files live, relative to the working directory.
#pragma once
#include <string>

// The folder of the models, textures and point files.
constexpr const char* MODELS_DIRECTORY = "models";

// "models/" + fileName: the path under which a model or point file named by
// the program is opened.
inline std::string modelPath(const char* fileName) { return std::string(MODELS_DIRECTORY) + "/" + fileName; }
