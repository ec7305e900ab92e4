// Runs a fuzz target over seed files (a folder or single files), and over deterministic variations of each
// (truncations and flipped bytes), for compilers without libFuzzer.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i])) {
            for (auto& e : std::filesystem::directory_iterator(argv[i])) files.push_back(e.path());
        } else {
            files.push_back(argv[i]);
        }
        for (auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::vector<std::uint8_t> seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(seed.data(), seed.size());
            ++runs;
            for (std::size_t cut = 0; cut < seed.size(); cut += 1 + seed.size() / 40) {
                LLVMFuzzerTestOneInput(seed.data(), cut);
                ++runs;
            }
            std::uint32_t state = 12345;
            for (int m = 0; m < 150 && !seed.empty(); ++m) {
                std::vector<std::uint8_t> v = seed;
                for (int k = 0; k < 1 + m % 4; ++k) {
                    state = state * 1103515245u + 12345u;
                    std::size_t at = (state >> 8) % v.size();
                    state = state * 1103515245u + 12345u;
                    v[at] = std::uint8_t(m % 3 == 0 ? 0xFF : (m % 3 == 1 ? 0x00 : v[at] ^ (state >> 24)));
                }
                LLVMFuzzerTestOneInput(v.data(), v.size());
                ++runs;
            }
        }
    }
    std::printf("%zu runs\n", runs);
    return 0;
}
