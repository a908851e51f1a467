// A whole file mapped read-only into memory, for the readers. The mapping
// and the descriptor are released when the object goes.
#pragma once
#include <cstddef>
#include <cstdint>

class MappedFile {
public:
    explicit MappedFile(const char* path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False when the path could not be opened for reading or names a directory.
    bool isOpen() const { return fd >= 0; }
    // True for a plain file (which is then mapped unless it is empty).
    bool isRegular() const { return regular; }
    // The mapped content; null when nothing is mapped (an empty file, a pipe
    // or a device, or a mapping that failed).
    const uint8_t* data() const { return bytes; }
    size_t size() const { return length; }
    // The descriptor, for reading what cannot be mapped; -1 when not open.
    int descriptor() const { return fd; }

private:
    int fd = -1;
    bool regular = false;
    const uint8_t* bytes = nullptr;
    size_t length = 0;
};
