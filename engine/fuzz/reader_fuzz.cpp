// Fuzz target for the reader: the bytes are an archive; list it, then test it
// (with a password, so the decryption paths run too).

#include "engine/ZipEngine.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fd = ::memfd_create("fuzz.zip", MFD_CLOEXEC);
    if (fd < 0) return 0;
    std::size_t off = 0;
    while (off < size) {
        ssize_t w = ::write(fd, data + off, size - off);
        if (w <= 0) break;
        off += std::size_t(w);
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    quarva::engine::ZipEngine engine;
    engine.setArchiveName(path);
    engine.setEventHandler([](int, std::vector<quarva::engine::DispatchValue>&) {});
    engine.list();
    engine.setPassword("pw");
    engine.test();
    ::close(fd);
    return 0;
}
