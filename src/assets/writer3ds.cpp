#include "assets/writer3ds.h"

#include <cstdio>
#include <cstring>

void ChunkWriter::begin(uint16_t id) {
    open.push_back(out.size());
    u16(id);
    u32(0);
}

void ChunkWriter::end() {
    if (open.empty()) return;
    const size_t start = open.back();
    open.pop_back();
    const uint32_t length = static_cast<uint32_t>(out.size() - start);
    for (int i = 0; i < 4; ++i) out[start + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

void ChunkWriter::u8(uint8_t v) { out.push_back(v); }

void ChunkWriter::u16(uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void ChunkWriter::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ChunkWriter::f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
}

void ChunkWriter::str(const std::string& s) {
    raw(s.data(), s.size());
    u8(0);
}

void ChunkWriter::raw(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}

std::vector<uint8_t> write3ds(const std::vector<MaterialSpec>& materials,
                              const std::vector<ObjectSpec>& objects) {
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x0002);
    w.u32(3);
    w.end();
    w.begin(0x3D3D);
    w.begin(0x3D3E);  // mesh version: the first child, skipped by the reader
    w.u32(3);
    w.end();
    for (const MaterialSpec& m : materials) {
        w.begin(0xAFFF);
        w.begin(0xA000);
        w.str(m.name);
        w.end();
        w.begin(0xA020);
        w.begin(0x0011);
        w.u8(m.r);
        w.u8(m.g);
        w.u8(m.b);
        w.end();
        w.end();
        if (!m.textureFile.empty()) {
            w.begin(0xA200);
            w.begin(0xA300);
            w.str(m.textureFile);
            w.end();
            w.end();
        }
        w.end();
    }
    for (const ObjectSpec& o : objects) {
        w.begin(0x4000);
        w.str(o.name);
        w.begin(0x4100);
        w.begin(0x4110);
        w.u16(static_cast<uint16_t>(o.vertices.size()));
        for (const Vec3f& v : o.vertices) {  // system (x, y, z) is file (x, -z, y)
            w.f32(v.x);
            w.f32(-v.z);
            w.f32(v.y);
        }
        w.end();
        if (!o.texCoords.empty()) {
            w.begin(0x4140);
            w.u16(static_cast<uint16_t>(o.texCoords.size()));
            for (const Vec2f& t : o.texCoords) {
                w.f32(t.u);
                w.f32(t.v);
            }
            w.end();
        }
        const size_t faceCount = o.indices.size() / 3;
        w.begin(0x4120);
        w.u16(static_cast<uint16_t>(faceCount));
        for (size_t f = 0; f < faceCount; ++f) {
            w.u16(o.indices[3 * f]);
            w.u16(o.indices[3 * f + 1]);
            w.u16(o.indices[3 * f + 2]);
            w.u16(7);  // edge-visibility flags, ignored by readers
        }
        if (!o.material.empty()) {
            w.begin(0x4130);
            w.str(o.material);
            w.u16(static_cast<uint16_t>(faceCount));
            for (size_t f = 0; f < faceCount; ++f) w.u16(static_cast<uint16_t>(f));
            w.end();
        }
        w.end();  // face list
        w.end();  // triangle mesh
        w.end();  // object
    }
    w.end();  // mesh data
    w.end();  // primary
    return w.bytes();
}

std::vector<uint8_t> writeBmp24(int width, int height, const uint8_t* rgb) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
    ChunkWriter w;  // used only for its little-endian helpers
    w.u8('B');
    w.u8('M');
    w.u32(14 + 40 + imageBytes);
    w.u32(0);
    w.u32(14 + 40);
    w.u32(40);
    w.u32(static_cast<uint32_t>(width));
    w.u32(static_cast<uint32_t>(height));
    w.u16(1);
    w.u16(24);
    w.u32(0);
    w.u32(imageBytes);
    w.u32(2835);
    w.u32(2835);
    w.u32(0);
    w.u32(0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rgb + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            w.u8(row[3 * x + 2]);
            w.u8(row[3 * x + 1]);
            w.u8(row[3 * x]);
        }
        for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < rowBytes; ++pad) w.u8(0);
    }
    return w.bytes();
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    // An empty vector may hold no buffer at all, and fwrite wants one.
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
