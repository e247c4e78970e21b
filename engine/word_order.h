#pragma once

#include "source.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

/// How an input whose words are narrower or wider than the memory's becomes memory words:
/// the digit string comes in as the input's words in address order (`unitDigits` each) and
/// is cut into groups of `groupDigits`, a memory word of several input words (bytes packed
/// into words) or an input word of several memory words (words split into narrower ones).
/// Little-endian, the units inside each group are reversed, so the lowest address lands in
/// the least significant digits. A last group the input leaves short is filled after its
/// units with `fill` (one input word's digits), keeping every unit at its own address.
class WordOrder final : public DigitSink {
public:
    WordOrder(DigitSink& next, std::size_t unitDigits, std::size_t groupDigits, ByteOrder order,
              std::string fill);

    void addDigits(std::string_view digits) override;
    /// Fills and hands on a short last group; returns the units it filled.
    std::uint64_t finish();

private:
    void handOn(const char* groups, std::size_t count);

    DigitSink& m_next;
    std::size_t m_unit;
    std::size_t m_group;
    bool m_reverse;
    std::string m_fill;
    std::string m_partial;  ///< a group whose digits are still arriving
    std::string m_reversed; ///< room for reversed groups, reused
};

} // namespace tarnwick
