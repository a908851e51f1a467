// Where the program's files live, relative to the working directory.
#pragma once
#include <string>

// The folder of the models, textures and point files.
constexpr const char* MODELS_FOLDER = "models/";

// "models/" + fileName: the path under which a model, texture or point
// file named by the program (or by a model) is opened.
inline std::string modelPath(const char* fileName) { return std::string(MODELS_FOLDER) + fileName; }
