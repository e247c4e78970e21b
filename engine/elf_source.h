#pragma once

#include "image_source.h"

namespace tarnwick {

/// An ELF file (--from=elf), 32- or 64-bit, either byte order: the sections that occupy
/// memory and have contents (SHF_ALLOC, not SHT_NOBITS), each at its load address (within a
/// PT_LOAD segment, the segment's physical address plus its offset there), as a copy to a
/// raw binary takes them. Not the segments: the first often holds the ELF header page below
/// the program. The words' byte order defaults to the file's own (EI_DATA).
///
/// Read by hand rather than with libelf: the format's part needed here is small, and the
/// Windows build, which has no libelf to link, keeps the reader.
class ElfSource final : public ImageSource {
public:
    ElfSource(ByteReader& reader, const ImageOptions& options) : ImageSource(reader, options) {}

    std::optional<ByteOrder> byteOrder() const override { return m_order; }

private:
    bool load(const GoOn& goOn) override;

    std::optional<ByteOrder> m_order;
};

} // namespace tarnwick
