// Writes a C-array style input of N pseudo-random bytes: "0x12,0x34,..." with 16 bytes per
// CR LF line, the form a font-extraction tool produces.
//   gen_c_array N OUTPUT

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BYTES OUTPUT\n", argv[0]);
        return 2;
    }
    const std::uint64_t count = std::strtoull(argv[1], nullptr, 10);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    static const char hex[] = "0123456789abcdef";
    std::uint32_t state = 12345;
    std::string line;
    for (std::uint64_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        const unsigned byte = state >> 24;
        line += "0x";
        line += hex[byte >> 4];
        line += hex[byte & 15];
        line += ',';
        if (i % 16 == 15 || i + 1 == count) {
            line += "\r\n";
            std::fwrite(line.data(), 1, line.size(), out);
            line.clear();
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
