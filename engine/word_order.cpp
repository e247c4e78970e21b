#include "word_order.h"

#include <algorithm>

namespace tarnwick {

WordOrder::WordOrder(DigitSink& next, std::size_t unitDigits, std::size_t groupDigits,
                     ByteOrder order, std::string fill)
    : m_next(next), m_unit(std::max<std::size_t>(unitDigits, 1)),
      m_group(std::max(groupDigits, m_unit)), m_reverse(order == ByteOrder::Little),
      m_fill(std::move(fill)) {
    m_fill.resize(m_unit, '0');
}

void WordOrder::handOn(const char* groups, std::size_t count) {
    const std::size_t digits = count * m_group;
    if (!m_reverse || m_group == m_unit) {
        m_next.addDigits(std::string_view(groups, digits));
        return;
    }
    m_reversed.resize(digits);
    char* out = m_reversed.data();
    for (std::size_t g = 0; g < count; ++g, groups += m_group)
        for (std::size_t u = m_group; u > 0; u -= m_unit)
            out = std::copy_n(groups + u - m_unit, m_unit, out);
    m_next.addDigits(m_reversed);
}

void WordOrder::addDigits(std::string_view digits) {
    if (!m_partial.empty()) {
        const std::size_t take = std::min(m_group - m_partial.size(), digits.size());
        m_partial.append(digits.substr(0, take));
        digits.remove_prefix(take);
        if (m_partial.size() < m_group)
            return;
        handOn(m_partial.data(), 1);
        m_partial.clear();
    }
    // Whole groups in slices, so the reversed copy stays small.
    constexpr std::size_t kSlice = std::size_t{1} << 16;
    const std::size_t perSlice = std::max<std::size_t>(kSlice / m_group, 1);
    while (digits.size() >= m_group) {
        const std::size_t count = std::min(digits.size() / m_group, perSlice);
        handOn(digits.data(), count);
        digits.remove_prefix(count * m_group);
    }
    m_partial.assign(digits);
}

std::uint64_t WordOrder::finish() {
    if (m_partial.empty())
        return 0;
    std::uint64_t filled = 0;
    m_partial.resize(m_partial.size() / m_unit * m_unit); // the input's words are whole
    while (m_partial.size() < m_group) {
        m_partial += m_fill;
        ++filled;
    }
    handOn(m_partial.data(), 1);
    m_partial.clear();
    return filled;
}

} // namespace tarnwick
