#include "assets/mappedfile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

MappedFile::MappedFile(const char* path) {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        fd = -1;
        return;
    }
    regular = S_ISREG(st.st_mode);
    if (!regular || st.st_size <= 0) return;
    void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) return;
    bytes = static_cast<const uint8_t*>(p);
    length = static_cast<size_t>(st.st_size);
}

MappedFile::~MappedFile() {
    if (bytes) ::munmap(const_cast<uint8_t*>(bytes), length);
    if (fd >= 0) ::close(fd);
}
