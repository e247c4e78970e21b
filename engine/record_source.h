#pragma once

#include "image_source.h"

namespace tarnwick {

/// An Intel HEX file (--from=ihex): records 00 (data), 01 (end), 02 and 04 (segment and
/// linear address), 03 and 05 (start address, not part of the image); upper or lower case,
/// LF, CR or CR LF line ends, blank lines allowed. A record whose length, checksum, type or
/// digits are wrong, data after the end record, or any other line is an error at its place;
/// a file without an end record is a warning.
class IhexSource final : public ImageSource {
public:
    IhexSource(ByteReader& reader, const ImageOptions& options) : ImageSource(reader, options) {}

private:
    bool load(const GoOn& goOn) override;
};

/// A Motorola S-record file (--from=srec): S0 (header), S1, S2 and S3 (data with 16-, 24-
/// and 32-bit addresses), S5 and S6 (record counts, checked), S7, S8 and S9 (the end).
/// Checked as IhexSource checks its records; S4 is an error.
class SrecSource final : public ImageSource {
public:
    SrecSource(ByteReader& reader, const ImageOptions& options) : ImageSource(reader, options) {}

private:
    bool load(const GoOn& goOn) override;
};

} // namespace tarnwick
