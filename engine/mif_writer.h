#pragma once

#include "extract.h"

#include "platform/clock.h"
#include "platform/file_io.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// Where the MIF writer's bytes go, in chunks of up to a few hundred kilobytes.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
    /// True once a write has failed; the writer then stops early.
    virtual bool failed() const { return false; }
};

/// Collects the bytes in memory.
class StringSink final : public ByteSink {
public:
    void write(std::string_view bytes) override { m_bytes.append(bytes); }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

/// The banner lines that are ours to word.
inline constexpr std::string_view kOwnershipLine =
    "-- Copyright (C) 2011 Vetrask. All rights reserved.";
inline constexpr std::string_view kRightsHolderLine =
    "-- Rights holder: the Vetrask Tarnwick Workshop";
inline constexpr std::string_view kContactLine =
    "-- Welcome to send message to Vetrask: tarnwick@example.com";

/// Writes a memory initialisation file for `words` to `sink`: the six-line comment banner
/// (line 6 carries clock.Date() then clock.Time(), read in that order, joined with no
/// separator), WIDTH and DEPTH from `layout`, ADDRESS_RADIX = DEC, DATA_RADIX = HEX or, in
/// binary mode, BIN, then one content line per word (TAB address TAB ':' TAB word ';') and
/// END. Every line ends with CR LF; text is encoded in CP936 and words are written
/// unchanged, a short last word short.
void WriteMif(ByteSink& sink, RadixMode radix, const WordLayout& layout, const WordList& words,
              const platform::Clock& clock);

/// Writes the file of WriteMif to `destination`, replacing it atomically. Returns the
/// failure, or nothing when the file was written and closed.
std::optional<platform::IoError> WriteMifFile(const std::filesystem::path& destination,
                                              RadixMode radix, const WordLayout& layout,
                                              const WordList& words, const platform::Clock& clock);

} // namespace tarnwick
