// 3DS reader: a walk over the file's chunk tree that keeps materials and
// mesh objects and skips everything else, then the vertex normals.
//
// The file is mapped into memory (a pipe is read whole into the reader's own
// buffer) and walked through one ByteCursor, as one continuous stream: a handler consumes what it reads and
// its parent walk goes on from there (the colour and face chunks rely on
// this, their trailing sub-chunks are met by the enclosing walk). Bounds:
// while a chunk is handled the cursor cannot pass the chunk's declared end,
// a walk ends when fewer than a header's bytes are left or a child claims
// more than its parent has left, and nesting deeper than MAX_DEPTH is
// skipped, so no file makes the walk read out of bounds, loop or recurse
// without end.
#include "assets/reader3ds.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/log.h"
#include "assets/bytecursor.h"
#include "assets/mappedfile.h"

namespace {

constexpr uint16_t CHUNK_PRIMARY = 0x4D4D;
constexpr uint16_t CHUNK_VERSION = 0x0002;
constexpr uint16_t CHUNK_MESH_DATA = 0x3D3D;
constexpr uint16_t CHUNK_MATERIAL = 0xAFFF;
constexpr uint16_t CHUNK_OBJECT = 0x4000;
constexpr uint16_t CHUNK_MATERIAL_NAME = 0xA000;
constexpr uint16_t CHUNK_DIFFUSE = 0xA020;
constexpr uint16_t CHUNK_TEXTURE_MAP = 0xA200;
constexpr uint16_t CHUNK_MAP_FILE = 0xA300;
constexpr uint16_t CHUNK_TRIANGLE_MESH = 0x4100;
constexpr uint16_t CHUNK_VERTICES = 0x4110;
constexpr uint16_t CHUNK_FACES = 0x4120;
constexpr uint16_t CHUNK_FACE_MATERIAL = 0x4130;
constexpr uint16_t CHUNK_MAPPING = 0x4140;
constexpr uint16_t CHUNK_COLOUR_FLOAT = 0x0010;         // three floats 0..1
constexpr uint16_t CHUNK_COLOUR_LINEAR_FLOAT = 0x0013;  // the same, gamma corrected

constexpr uint32_t HEADER_BYTES = 6;
constexpr size_t NAME_BYTES = 255;  // every name field, NUL included
// Real files nest five levels at most; deeper containers are skipped whole
// so that a file of nested headers cannot exhaust the stack.
constexpr int MAX_DEPTH = 32;
// Error and warning texts built from a path are cut to this many bytes.
constexpr size_t MESSAGE_BYTES = 255;

// A chunk while it is read: `bytesRead` counts the bytes consumed so far,
// its header included; the chunk is finished when it reaches `length`.
struct Chunk {
    uint16_t id = 0;
    uint32_t length = 0;
    uint32_t bytesRead = 0;
    uint32_t left() const { return bytesRead < length ? length - bytesRead : 0; }
};

std::string formatPath(const char* format, const char* path) {
    char text[MESSAGE_BYTES];
    std::snprintf(text, sizeof text, format, path);
    return text;
}

// A float colour channel as a byte: 0..1 scaled and rounded, values outside
// clamped, NaN as 0.
uint8_t colourByte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return static_cast<uint8_t>(value * 255.0f + 0.5f);
}

}  // namespace

struct Reader3DS::Impl {
    std::vector<uint8_t> file;  // a file that could not be mapped, while it is read
    ByteCursor in;
    bool damaged = false;  // the walk met a cut-off file or a chunk that overruns its parent

    bool readStream(int fd);
    void readChunkHeader(Chunk& chunk);
    uint32_t readNameString(char* buffer);
    uint32_t readPayload(Chunk& chunk, char* field, size_t fieldBytes);
    uint32_t discard(uint32_t count);
    bool nextChild(Chunk& parent, Chunk& child);
    void skipRest(Chunk& chunk) { chunk.bytesRead += discard(chunk.left()); }

    void processNextChunk(Model& model, Chunk& parent, int depth);
    void readMaterialChunks(Model& model, Chunk& parent, int depth);
    void readObjectChunks(Model& model, size_t object, Chunk& parent, int depth);
    void readDiffuseColour(Material& material, Chunk& chunk);
    void readVertexList(ModelObject& object, Chunk& chunk);
    void readFaceList(ModelObject& object, Chunk& chunk);
    void readMappingCoords(ModelObject& object, Chunk& chunk);
    void assignObjectMaterial(Model& model, ModelObject& object, Chunk& chunk);
};

Reader3DS::Reader3DS() : impl(new Impl) {}
Reader3DS::~Reader3DS() { delete impl; }

// Reads what cannot be mapped (a pipe, a device) from `fd` into `file`.
// False when it does not fit in memory.
bool Reader3DS::Impl::readStream(int fd) {
    file.clear();
    size_t used = 0;
    try {
        for (;;) {
            if (used == file.size()) file.resize(file.empty() ? size_t(1) << 16 : file.size() * 2);
            const ssize_t got = ::read(fd, file.data() + used, file.size() - used);
            if (got <= 0) break;  // the end, or a read error: keep what came
            used += static_cast<size_t>(got);
        }
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(file);
        return false;
    }
    file.resize(used);
    return true;
}

void Reader3DS::Impl::readChunkHeader(Chunk& chunk) {
    const size_t start = in.position();
    chunk.id = in.u16();
    chunk.length = in.u32();
    chunk.bytesRead = static_cast<uint32_t>(in.position() - start);
}

// Reads bytes up to and including a NUL, storing at most NAME_BYTES - 1 of
// them and always a NUL; returns the bytes consumed.
uint32_t Reader3DS::Impl::readNameString(char* buffer) {
    uint32_t consumed = 0;
    size_t stored = 0;
    while (in.remaining() > 0) {
        const char c = static_cast<char>(in.u8());
        ++consumed;
        if (c == '\0') break;
        if (stored < NAME_BYTES - 1) buffer[stored++] = c;
    }
    buffer[stored] = '\0';
    return consumed;
}

// Copies the rest of the chunk's payload into a name field, cut to the field
// and always NUL-terminated; the part that does not fit is discarded.
uint32_t Reader3DS::Impl::readPayload(Chunk& chunk, char* field, size_t fieldBytes) {
    const uint32_t want = chunk.left();
    const size_t kept = in.read(field, want < fieldBytes - 1 ? want : fieldBytes - 1);
    field[kept] = '\0';
    const uint32_t total = static_cast<uint32_t>(kept) + discard(want - static_cast<uint32_t>(kept));
    chunk.bytesRead += total;
    return total;
}

uint32_t Reader3DS::Impl::discard(uint32_t count) {
    const size_t passed = in.skip(count);
    if (passed < count) damaged = true;
    return static_cast<uint32_t>(passed);
}

// The shared step of the three walkers: reads the next child header of
// `parent`. False ends the walk: the parent is finished, or what is left of
// it cannot hold a well-formed child (then the rest of it is discarded).
bool Reader3DS::Impl::nextChild(Chunk& parent, Chunk& child) {
    if (parent.bytesRead >= parent.length) return false;
    if (parent.left() < HEADER_BYTES || in.remaining() < HEADER_BYTES) {
        damaged = true;
        skipRest(parent);
        return false;
    }
    readChunkHeader(child);
    if (child.length < HEADER_BYTES || child.length > parent.left()) {
        damaged = true;
        parent.bytesRead += child.bytesRead;
        skipRest(parent);
        return false;
    }
    return true;
}

void Reader3DS::Impl::processNextChunk(Model& model, Chunk& parent, int depth) {
    Chunk chunk;
    while (nextChild(parent, chunk)) {
        ByteCursor::Limit limit(in, chunk.left());
        switch (depth < MAX_DEPTH ? chunk.id : 0xFFFF) {
        case CHUNK_VERSION: {
            const uint8_t* payload = in.peek(4);
            if (chunk.left() == 4 && payload && static_cast<int32_t>(ByteCursor::load32(payload)) > 3)
                logWarning("ProcessNextChunk", "This 3DS file is over version 3 so it may load incorrectly");
            skipRest(chunk);
            break;
        }
        case CHUNK_MESH_DATA: {
            Chunk first;  // the mesh version, skipped whatever it is
            if (in.remaining() >= HEADER_BYTES) {
                readChunkHeader(first);
                if (first.length > first.bytesRead) first.bytesRead += discard(first.length - first.bytesRead);
                chunk.bytesRead += first.bytesRead;
            }
            processNextChunk(model, chunk, depth + 1);
            break;
        }
        case CHUNK_MATERIAL:
            model.materials.emplace_back();
            model.materialCount = static_cast<int32_t>(model.materials.size());
            readMaterialChunks(model, chunk, depth + 1);
            break;
        case CHUNK_OBJECT: {
            model.objects.emplace_back();
            model.objectCount = static_cast<int32_t>(model.objects.size());
            const size_t index = model.objects.size() - 1;
            chunk.bytesRead += readNameString(model.objects[index].name);
            readObjectChunks(model, index, chunk, depth + 1);
            break;
        }
        default:
            skipRest(chunk);
            break;
        }
        parent.bytesRead += chunk.bytesRead;
    }
}

void Reader3DS::Impl::readMaterialChunks(Model& model, Chunk& parent, int depth) {
    Chunk chunk;
    while (nextChild(parent, chunk)) {
        ByteCursor::Limit limit(in, chunk.left());
        Material& material = model.materials.back();
        switch (depth < MAX_DEPTH ? chunk.id : 0xFFFF) {
        case CHUNK_MATERIAL_NAME:
            readPayload(chunk, material.name, sizeof material.name);
            break;
        case CHUNK_DIFFUSE:
            readDiffuseColour(material, chunk);
            break;
        case CHUNK_TEXTURE_MAP:
            readMaterialChunks(model, chunk, depth + 1);
            break;
        case CHUNK_MAP_FILE:
            readPayload(chunk, material.textureFile, sizeof material.textureFile);
            break;
        default:
            skipRest(chunk);
            break;
        }
        parent.bytesRead += chunk.bytesRead;
    }
}

void Reader3DS::Impl::readObjectChunks(Model& model, size_t object, Chunk& parent, int depth) {
    Chunk chunk;
    while (nextChild(parent, chunk)) {
        ByteCursor::Limit limit(in, chunk.left());
        ModelObject& o = model.objects[object];
        switch (depth < MAX_DEPTH ? chunk.id : 0xFFFF) {
        case CHUNK_TRIANGLE_MESH:
            readObjectChunks(model, object, chunk, depth + 1);
            break;
        case CHUNK_VERTICES:
            readVertexList(o, chunk);
            break;
        case CHUNK_FACES:
            readFaceList(o, chunk);
            break;
        case CHUNK_FACE_MATERIAL:
            assignObjectMaterial(model, o, chunk);
            break;
        case CHUNK_MAPPING:
            readMappingCoords(o, chunk);
            break;
        default:
            skipRest(chunk);
            break;
        }
        parent.bytesRead += chunk.bytesRead;
    }
}

// Reads the first colour sub-chunk into `colour`: a float colour (either
// kind) as bytes, any other kind by its first three bytes (red, green, blue
// for a 24-bit colour). A float colour cut short leaves the colour as it
// was. Later sub-chunks, such as the gamma corrected colour, are left to the
// enclosing material walk, which skips them.
void Reader3DS::Impl::readDiffuseColour(Material& material, Chunk& chunk) {
    if (in.remaining() < HEADER_BYTES) {
        skipRest(chunk);
        return;
    }
    Chunk sub;
    readChunkHeader(sub);
    chunk.bytesRead += sub.bytesRead;
    const uint32_t payload = sub.length > HEADER_BYTES ? sub.length - HEADER_BYTES : 0;
    if (sub.id == CHUNK_COLOUR_FLOAT || sub.id == CHUNK_COLOUR_LINEAR_FLOAT) {
        if (const uint8_t* p = payload >= 12 ? in.peek(12) : nullptr) {
            for (int i = 0; i < 3; ++i) {
                const uint32_t bits = ByteCursor::load32(p + 4 * i);
                float value;
                std::memcpy(&value, &bits, 4);
                material.colour[i] = colourByte(value);
            }
        }
        chunk.bytesRead += discard(payload);
        return;
    }
    uint8_t colour[3] = {material.colour[0], material.colour[1], material.colour[2]};
    const size_t kept = in.read(colour, payload < 3 ? payload : 3);
    std::memcpy(material.colour, colour, sizeof colour);
    chunk.bytesRead += static_cast<uint32_t>(kept) + discard(payload - static_cast<uint32_t>(kept));
}

// Vertex count, then x, y, z per vertex; held in the system's axes, where
// the file's (x, y, z) is (x, z, -y). The count is cut to the vertices the
// payload holds; bytes after them are discarded.
void Reader3DS::Impl::readVertexList(ModelObject& object, Chunk& chunk) {
    const size_t start = in.position();
    const uint32_t count = in.u16();
    const uint32_t present = static_cast<uint32_t>(in.remaining() / 12);
    if (present < count) damaged = true;
    const uint32_t n = present < count ? present : count;
    object.vertices.assign(n, Vec3f{});
    const uint8_t* p = in.peek(static_cast<size_t>(n) * 12);
    for (uint32_t i = 0; i < n; ++i, p += 12) {
        float x, y, z;
        const uint32_t bx = ByteCursor::load32(p), by = ByteCursor::load32(p + 4), bz = ByteCursor::load32(p + 8);
        std::memcpy(&x, &bx, 4);
        std::memcpy(&y, &by, 4);
        std::memcpy(&z, &bz, 4);
        object.vertices[i] = Vec3f{x, z, -y};
    }
    in.skip(static_cast<size_t>(n) * 12);
    object.vertexCount = static_cast<int32_t>(n);
    chunk.bytesRead += static_cast<uint32_t>(in.position() - start);
    skipRest(chunk);
}

// Face count, then per face three corner indices and a flag word (dropped).
// The sub-chunks after the faces are left to the object walk. The count is
// cut to the faces the payload holds.
void Reader3DS::Impl::readFaceList(ModelObject& object, Chunk& chunk) {
    const size_t start = in.position();
    const uint32_t count = in.u16();
    const uint32_t present = static_cast<uint32_t>(in.remaining() / 8);
    if (present < count) damaged = true;
    const uint32_t n = present < count ? present : count;
    object.faces.assign(n, Face{});
    const uint8_t* p = in.peek(static_cast<size_t>(n) * 8);
    for (uint32_t i = 0; i < n; ++i, p += 8) {
        Face& face = object.faces[i];
        face.vertexIndex[0] = p[0] | (p[1] << 8);
        face.vertexIndex[1] = p[2] | (p[3] << 8);
        face.vertexIndex[2] = p[4] | (p[5] << 8);
    }
    in.skip(static_cast<size_t>(n) * 8);
    object.faceCount = static_cast<int32_t>(n);
    chunk.bytesRead += static_cast<uint32_t>(in.position() - start);
}

// Mapping count, then u, v per entry, as stored. Cut like the vertex list.
void Reader3DS::Impl::readMappingCoords(ModelObject& object, Chunk& chunk) {
    const size_t start = in.position();
    const uint32_t count = in.u16();
    const uint32_t present = static_cast<uint32_t>(in.remaining() / 8);
    if (present < count) damaged = true;
    const uint32_t n = present < count ? present : count;
    object.texCoords.assign(n, Vec2f{});
    for (uint32_t i = 0; i < n; ++i) {
        object.texCoords[i].u = in.f32();
        object.texCoords[i].v = in.f32();
    }
    object.texCoordCount = static_cast<int32_t>(n);
    chunk.bytesRead += static_cast<uint32_t>(in.position() - start);
    skipRest(chunk);
}

// Links the object to the first material of that name. Not found: -1; no
// material in the model yet: unchanged. `textured`, once set, stays set.
void Reader3DS::Impl::assignObjectMaterial(Model& model, ModelObject& object, Chunk& chunk) {
    char name[NAME_BYTES] = {};
    chunk.bytesRead += readNameString(name);
    if (!model.materials.empty()) {
        object.materialIndex = -1;
        for (size_t i = 0; i < model.materials.size(); ++i) {
            if (std::strcmp(model.materials[i].name, name) == 0) {
                object.materialIndex = static_cast<int32_t>(i);
                if (model.materials[i].textureFile[0] != '\0') object.textured = true;
                break;
            }
        }
    }
    skipRest(chunk);  // the group's face count and face numbers
}

namespace {

// Drops faces whose corners lie outside the vertex list (the file trusted
// nothing to keep them in range) and gives every vertex a mapping entry
// when the object has any, so later passes can index by vertex without
// checks. Returns the number of faces dropped.
size_t repairObject(ModelObject& object) {
    size_t kept = 0;
    for (size_t f = 0; f < object.faces.size(); ++f) {
        const int32_t* corner = object.faces[f].vertexIndex;
        if (corner[0] >= object.vertexCount || corner[1] >= object.vertexCount || corner[2] >= object.vertexCount)
            continue;
        if (kept != f) object.faces[kept] = object.faces[f];
        ++kept;
    }
    const size_t dropped = object.faces.size() - kept;
    object.faces.resize(kept);
    object.faceCount = static_cast<int32_t>(kept);
    if (!object.texCoords.empty() && object.texCoordCount < object.vertexCount) {
        object.texCoords.resize(static_cast<size_t>(object.vertexCount));
        object.texCoordCount = object.vertexCount;
    }
    return dropped;
}

}  // namespace

// The file is mapped where it can be; other streams are read whole first.
bool Reader3DS::Import3DS(Model* model, const char* fileName) {
    const MappedFile mapped(fileName);
    bool opened = mapped.isOpen();
    if (opened && !mapped.data()) opened = impl->readStream(mapped.descriptor());
    if (!opened) {
        logError("Import3DS", formatPath("Unable to find the file: %s!", fileName).c_str());
        return false;
    }
    const bool read = mapped.data() ? ImportBytes(model, mapped.data(), mapped.size(), fileName)
                                    : ImportBytes(model, impl->file.data(), impl->file.size(), fileName);
    std::vector<uint8_t>().swap(impl->file);
    return read;
}

bool Reader3DS::ImportBytes(Model* model, const uint8_t* data, size_t size, const char* name) {
    impl->in = ByteCursor(data, size);
    impl->damaged = false;
    Chunk primary;
    impl->readChunkHeader(primary);
    if (primary.id != CHUNK_PRIMARY || primary.bytesRead < HEADER_BYTES) {
        logError("Import3DS", formatPath("Unable to load PRIMARY chuck from file: %s!", name).c_str());
        return false;
    }
    impl->processNextChunk(*model, primary, 0);
    if (primary.bytesRead < primary.length) impl->damaged = true;  // the file ends early

    size_t dropped = 0;
    for (ModelObject& object : model->objects) dropped += repairObject(object);
    if (impl->damaged)
        logWarning("Import3DS", formatPath("The file is cut short or damaged; kept what it holds: %s", name).c_str());
    if (dropped)
        logWarning("Import3DS",
                   formatPath("Faces naming vertices beyond their object's vertex list were dropped: %s", name).c_str());
    ComputeVertexNormals(model);
    impl->in = ByteCursor();
    return true;
}

namespace {

// The normal from the sum of a vertex's face vectors and their count:
// the sum scaled by 1 / -count, then by one over its length.
Vec3f finishVertexNormal(const Vec3f& sum, int32_t faces) {
    if (faces <= 0) return Vec3f{0, 1, 0};
    const float scale = 1.0f / static_cast<float>(-faces);
    const Vec3f n{sum.x * scale, sum.y * scale, sum.z * scale};
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 0) || !std::isfinite(length)) return Vec3f{0, 1, 0};
    return Vec3f{n.x / length, n.y / length, n.z / length};
}

}  // namespace

// For every vertex, the faces that use it are summed in face order, each
// face once however many of its corners name the vertex; one pass over the
// faces does that for all vertices at once, so the sums (and the float
// results) are those of a scan of every face per vertex, in linear time.
// A vertex that no face uses, or whose face vectors cancel out, has no
// direction of its own and gets (0, 1, 0), straight up.
void ComputeVertexNormals(Model* model) {
    std::vector<int32_t> shared;
    for (ModelObject& object : model->objects) {
        const size_t vertexCount = object.vertices.size();
        object.normals.assign(vertexCount, Vec3f{});
        shared.assign(vertexCount, 0);
        for (const Face& face : object.faces) {
            const int32_t i0 = face.vertexIndex[0], i1 = face.vertexIndex[1], i2 = face.vertexIndex[2];
            if (i0 < 0 || i1 < 0 || i2 < 0 || static_cast<size_t>(i0) >= vertexCount ||
                static_cast<size_t>(i1) >= vertexCount || static_cast<size_t>(i2) >= vertexCount)
                continue;
            const Vec3f& p0 = object.vertices[i0];
            const Vec3f& p1 = object.vertices[i1];
            const Vec3f& p2 = object.vertices[i2];
            const Vec3f a{p0.x - p2.x, p0.y - p2.y, p0.z - p2.z};
            const Vec3f b{p2.x - p1.x, p2.y - p1.y, p2.z - p1.z};
            const Vec3f n{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
            const int32_t corners[3] = {i0, i1 != i0 ? i1 : -1, (i2 != i0 && i2 != i1) ? i2 : -1};
            for (int32_t v : corners) {
                if (v < 0) continue;
                Vec3f& s = object.normals[v];
                s.x += n.x;
                s.y += n.y;
                s.z += n.z;
                ++shared[v];
            }
        }
        for (size_t v = 0; v < vertexCount; ++v) {
            object.normals[v] = finishVertexNormal(object.normals[v], shared[v]);
        }
    }
}
