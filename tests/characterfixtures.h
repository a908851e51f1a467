// Characters built in memory for the character and vehicle tests.
#pragma once
#include <vector>

#include "motion/character.h"
#include "platform/log.h"

namespace {

// An axis-aligned cube of half size h, every face two counter-clockwise
// triangles seen from outside; faces 10 and 11 are the top.
ModelObject cube(Vec3f c, float h) {
    const float corner[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    const int faces[12][3] = {{0, 3, 2}, {0, 2, 1}, {4, 5, 6}, {4, 6, 7}, {0, 4, 7}, {0, 7, 3},
                              {1, 2, 6}, {1, 6, 5}, {0, 1, 5}, {0, 5, 4}, {3, 7, 6}, {3, 6, 2}};
    ModelObject o;
    for (const auto& k : corner) o.vertices.push_back({c.x + h * k[0], c.y + h * k[1], c.z + h * k[2]});
    for (const auto& f : faces) o.faces.push_back({{f[0], f[1], f[2]}});
    return o;
}

// A character with no file behind it (logs "wrong quelm type", to no
// file), holding the given objects, with neighbours and planes built.
struct Built {
    Character character{(messageLog.reopen(nullptr), 0), 10};
    explicit Built(std::vector<ModelObject> objects) {
        character.model.objects = std::move(objects);
        character.buildNeighbours();
        character.computePlanes();
    }
    ModelObject& object() { return character.model.objects[0]; }
};

}  // namespace
