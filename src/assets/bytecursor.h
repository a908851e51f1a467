// A bounded little-endian reader over bytes in memory: every read of the 3DS
// and BMP readers goes through one of these, so the bounds live in one place.
//
// A read that wants more than remains takes what there is (a number reads as
// 0 past the end) and marks the cursor `cutShort`; it never reads past `end`.
// The end can be narrowed for a while (a chunk's declared end) with
// ByteCursor::Limit and is restored when that goes out of scope.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

class ByteCursor {
public:
    ByteCursor() = default;
    ByteCursor(const uint8_t* bytes, size_t size) : data(bytes), end(size) {}

    size_t position() const { return pos; }
    size_t remaining() const { return end - pos; }
    // True once any read or skip came up short of what it asked for.
    bool cutShort() const { return shortRead; }

    uint8_t u8() {
        if (remaining() < 1) return fail();
        return data[pos++];
    }
    uint16_t u16() {
        if (remaining() < 2) return fail();
        const uint16_t v = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        return v;
    }
    uint32_t u32() {
        if (remaining() < 4) return fail();
        const uint32_t v = load32(data + pos);
        pos += 4;
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32() {
        const uint32_t bits = u32();
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }

    // Copies up to `n` bytes into `out`; returns how many were copied.
    size_t read(void* out, size_t n) {
        const size_t count = clampCount(n);
        if (count) std::memcpy(out, data + pos, count);
        pos += count;
        return count;
    }
    // Steps over up to `n` bytes; returns how many were passed.
    size_t skip(size_t n) {
        const size_t count = clampCount(n);
        pos += count;
        return count;
    }
    // The next `n` bytes in place (null when fewer remain; nothing consumed then).
    const uint8_t* peek(size_t n) const { return n <= remaining() ? data + pos : nullptr; }

    static uint32_t load32(const uint8_t* p) {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
               (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }

    // Narrows the end to `count` bytes from the current position (never
    // widening it) until destroyed; the previous end comes back then.
    class Limit {
    public:
        Limit(ByteCursor& cursor, size_t count) : c(cursor), savedEnd(cursor.end) {
            if (count < c.remaining()) c.end = c.pos + count;
        }
        ~Limit() { c.end = savedEnd; }
        Limit(const Limit&) = delete;
        Limit& operator=(const Limit&) = delete;

    private:
        ByteCursor& c;
        size_t savedEnd;
    };

private:
    size_t clampCount(size_t n) {
        if (n <= remaining()) return n;
        shortRead = true;
        return remaining();
    }
    uint8_t fail() {
        shortRead = true;
        pos = end;
        return 0;
    }

    const uint8_t* data = nullptr;
    size_t pos = 0;
    size_t end = 0;  // reads stop here (the data's end or a narrower limit)
    bool shortRead = false;
};
