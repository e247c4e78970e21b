#include "elf_source.h"

#include <cstdio>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::uint64_t kFileLimit = std::uint64_t{256} << 20;

constexpr std::uint32_t kShfAlloc = 0x2;
constexpr std::uint32_t kShtNobits = 8;
constexpr std::uint32_t kShtNull = 0;
constexpr std::uint32_t kPtLoad = 1;

std::string hexOffset(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// Fields read in the file's byte order, never past its end.
class Fields {
public:
    Fields(std::string_view file, bool little) : m_file(file), m_little(little) {}

    bool has(std::uint64_t at, std::uint64_t size) const {
        return at <= m_file.size() && size <= m_file.size() - at;
    }
    std::uint64_t get(std::uint64_t at, int size) const {
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            const auto byte = static_cast<unsigned char>(
                m_file[static_cast<std::size_t>(at) +
                       static_cast<std::size_t>(m_little ? size - 1 - i : i)]);
            value = value << 8 | byte;
        }
        return value;
    }

private:
    std::string_view m_file;
    bool m_little;
};

struct Segment {
    std::uint64_t offset, vaddr, paddr, filesz, memsz;
};

} // namespace

bool ElfSource::load(const GoOn& goOn) {
    std::string file;
    bool tooLarge = false;
    const bool read = m_reader.read([&](std::string_view piece, bool) {
        if (file.size() + piece.size() > kFileLimit) {
            tooLarge = true;
            return false;
        }
        file.append(piece);
        return goOn(0);
    });
    if (!read)
        return false;
    if (tooLarge)
        return fail(std::nullopt, "the ELF file is larger than 256 MiB, more than is read at most");
    if (file.size() < 16 || std::memcmp(file.data(),
                                        "\x7f"
                                        "ELF",
                                        4) != 0)
        return fail(std::nullopt, "the file is not an ELF file: it does not start with 0x7f 'ELF'");
    const unsigned elfClass = static_cast<unsigned char>(file[4]);
    const unsigned data = static_cast<unsigned char>(file[5]);
    if (elfClass != 1 && elfClass != 2)
        return fail(std::nullopt, "the ELF class " + std::to_string(elfClass) +
                                      " is neither 32-bit (1) nor 64-bit (2)");
    if (data != 1 && data != 2)
        return fail(std::nullopt, "the ELF byte order " + std::to_string(data) +
                                      " is neither little-endian (1) nor big-endian (2)");
    const bool wide = elfClass == 2;
    m_order = data == 1 ? ByteOrder::Little : ByteOrder::Big;
    const Fields f(file, data == 1);
    const int word = wide ? 8 : 4;
    const std::uint64_t headerSize = wide ? 64 : 52;
    if (!f.has(0, headerSize))
        return fail(std::nullopt, "the ELF header is cut short: the file has " +
                                      std::to_string(file.size()) + " bytes");
    const std::uint64_t phoff = f.get(wide ? 32 : 28, word);
    const std::uint64_t shoff = f.get(wide ? 40 : 32, word);
    const std::uint64_t phentsize = f.get(wide ? 54 : 42, 2);
    std::uint64_t phnum = f.get(wide ? 56 : 44, 2);
    const std::uint64_t shentsize = f.get(wide ? 58 : 46, 2);
    std::uint64_t shnum = f.get(wide ? 60 : 48, 2);
    const std::uint64_t sectionHeader = wide ? 64 : 40;
    const std::uint64_t programHeader = wide ? 56 : 32;
    if (shoff == 0)
        return fail(std::nullopt, "the ELF file has no section headers (stripped of them?)");
    if (shentsize < sectionHeader || (phnum > 0 && phentsize < programHeader))
        return fail(std::nullopt, "the ELF file's header entries are too small");
    if (shnum == 0 && f.has(shoff, sectionHeader)) // more sections than 16 bits count
        shnum = f.get(shoff + (wide ? 32 : 20), word);
    if (phnum == 0xFFFF && f.has(shoff, sectionHeader))
        phnum = f.get(shoff + (wide ? 44 : 28), 4);
    if (shnum > file.size() / shentsize || !f.has(shoff, shnum * shentsize))
        return fail(std::nullopt,
                    "the section headers at " + hexOffset(shoff) + " run past the file's end");
    if (phnum > file.size() / std::max<std::uint64_t>(phentsize, 1) ||
        !f.has(phoff, phnum * phentsize))
        return fail(std::nullopt,
                    "the program headers at " + hexOffset(phoff) + " run past the file's end");

    std::vector<Segment> loads;
    for (std::uint64_t i = 0; i < phnum; ++i) {
        const std::uint64_t p = phoff + i * phentsize;
        if (f.get(p, 4) != kPtLoad)
            continue;
        Segment s;
        if (wide) {
            s = {f.get(p + 8, 8), f.get(p + 16, 8), f.get(p + 24, 8), f.get(p + 32, 8),
                 f.get(p + 40, 8)};
        } else {
            s = {f.get(p + 4, 4), f.get(p + 8, 4), f.get(p + 12, 4), f.get(p + 16, 4),
                 f.get(p + 20, 4)};
        }
        loads.push_back(s);
    }
    for (std::uint64_t i = 0; i < shnum; ++i) {
        const std::uint64_t h = shoff + i * shentsize;
        const std::uint64_t type = f.get(h + 4, 4);
        const std::uint64_t flags = f.get(h + 8, word);
        const std::uint64_t addr = f.get(h + (wide ? 16 : 12), word);
        const std::uint64_t offset = f.get(h + (wide ? 24 : 16), word);
        const std::uint64_t size = f.get(h + (wide ? 32 : 20), word);
        if (type == kShtNull || type == kShtNobits || !(flags & kShfAlloc) || size == 0)
            continue;
        if (!f.has(offset, size))
            return fail(std::nullopt, "section " + std::to_string(i) + "'s " +
                                          std::to_string(size) + " bytes at " + hexOffset(offset) +
                                          " run past the file's end");
        // Loaded where its segment is loaded: the physical address, not the virtual one.
        std::uint64_t load = addr;
        for (const Segment& s : loads)
            if (offset >= s.offset && offset - s.offset < s.filesz && addr >= s.vaddr &&
                addr - s.vaddr < std::max(s.memsz, s.filesz)) {
                load = s.paddr + (offset - s.offset);
                break;
            }
        if (!add(load,
                 std::string_view(file).substr(static_cast<std::size_t>(offset),
                                               static_cast<std::size_t>(size)),
                 std::nullopt))
            return false;
    }
    return true;
}

} // namespace tarnwick
