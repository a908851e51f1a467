// A plain RGB picture for the generated textures, bottom row first (the
// order of BMP files and of OpenGL texture rows).
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct Colour {
    double r = 0, g = 0, b = 0;  // 0..255
};

inline Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Colour scale(Colour a, double s) { return {a.r * s, a.g * s, a.b * s}; }

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;

    Image(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}
    void set(int x, int y, Colour c) {
        uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        p[0] = channel(c.r);
        p[1] = channel(c.g);
        p[2] = channel(c.b);
    }
    Colour get(int x, int y) const {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return {static_cast<double>(p[0]), static_cast<double>(p[1]), static_cast<double>(p[2])};
    }
    static uint8_t channel(double v) { return static_cast<uint8_t>(std::clamp(v + 0.5, 0.0, 255.0)); }
};

// Writes the picture as a 24-bit BMP; false on failure.
bool writeImage(const std::string& path, const Image& image);
