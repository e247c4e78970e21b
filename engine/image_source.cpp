#include "image_source.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tarnwick {

namespace {

// Every byte is held: at most this many.
constexpr std::uint64_t kHeldLimit = std::uint64_t{256} << 20;
// Each byte is two digits, and a layout counts at most kMaxDigitCount.
constexpr std::uint64_t kMostBytes = kMaxDigitCount / 2;
// How many filled ranges the gap warning names.
constexpr std::size_t kRangesNamed = 4;

std::string hexAddress(std::uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(address));
    return text;
}

std::string hexByte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

std::string placeText(const TextPosition& at) {
    return std::to_string(at.line) + ":" + std::to_string(at.column);
}

Diagnostic finding(std::optional<TextPosition> at, std::string text, Diagnostic::Severity s) {
    Diagnostic d;
    d.severity = s;
    if (at)
        d.place = SourcePlace{*at};
    d.text = std::move(text);
    return d;
}

} // namespace

bool ImageSource::fail(std::optional<TextPosition> at, std::string text) {
    m_diagnostics.push_back(finding(at, std::move(text), Diagnostic::Severity::Error));
    return false;
}

void ImageSource::warn(std::optional<TextPosition> at, std::string text) {
    if (m_probe) // said when the input was first read
        return;
    m_diagnostics.push_back(finding(at, std::move(text), Diagnostic::Severity::Warning));
}

bool ImageSource::add(std::uint64_t address, std::string_view bytes,
                      std::optional<TextPosition> at) {
    if (bytes.empty())
        return true;
    if (m_probe) { // placing a clash: only where the address was given, and with what
        if (*m_probe >= address && *m_probe - address < bytes.size() && at)
            m_probed.emplace_back(*at, static_cast<std::uint8_t>(bytes[*m_probe - address]));
        return true;
    }
    if (address > UINT64_MAX - bytes.size())
        return fail(at, "the data at " + hexAddress(address) + " runs past the last address");
    m_held += bytes.size();
    if (m_held > kHeldLimit)
        return fail(at, "the image holds more than 256 MiB of data, more than is held at most");
    if (!m_runs.empty() && m_runs.back().address + m_runs.back().bytes.size() == address) {
        m_runs.back().bytes.append(bytes); // the common case: each record after the last
        return true;
    }
    m_runs.push_back(Run{address, std::string(bytes), at});
    return true;
}

std::optional<TextPosition> ImageSource::placeOf(std::uint64_t address, bool later,
                                                 std::uint8_t* value) {
    // Read again, noting each place that gives the address: rare, so not kept every time.
    m_probe = address;
    m_probed.clear();
    const bool read = load([](std::uint64_t) { return true; });
    m_probe.reset();
    if (!read || m_probed.empty())
        return std::nullopt;
    const auto& [at, byte] = later ? m_probed.back() : m_probed.front();
    if (value)
        *value = byte;
    if (later) // the first place that disagrees with the first given
        for (const auto& [where, given] : m_probed)
            if (given != m_probed.front().second) {
                if (value)
                    *value = given;
                return where;
            }
    return at;
}

bool ImageSource::settle() {
    std::stable_sort(m_runs.begin(), m_runs.end(),
                     [](const Run& a, const Run& b) { return a.address < b.address; });
    // Runs that meet or overlap are joined; an overlap must give the same bytes.
    std::vector<Run> joined;
    for (Run& run : m_runs) {
        if (!joined.empty()) {
            Run& last = joined.back();
            const std::uint64_t end = last.address + last.bytes.size();
            if (run.address <= end) {
                const std::uint64_t common =
                    std::min<std::uint64_t>(end - run.address, run.bytes.size());
                const std::size_t from = static_cast<std::size_t>(run.address - last.address);
                for (std::size_t i = 0; i < common; ++i)
                    if (last.bytes[from + i] != run.bytes[i]) {
                        const std::uint64_t address = run.address + i;
                        std::uint8_t first = static_cast<std::uint8_t>(last.bytes[from + i]);
                        std::uint8_t second = static_cast<std::uint8_t>(run.bytes[i]);
                        const auto firstAt = placeOf(address, false, &first);
                        const auto secondAt = placeOf(address, true, &second);
                        return fail(secondAt ? secondAt : run.at,
                                    "the byte at " + hexAddress(address) + " is given as " +
                                        hexByte(second) + " here but as " + hexByte(first) +
                                        (firstAt ? " at " + placeText(*firstAt) : std::string()));
                    }
                if (run.bytes.size() > common)
                    last.bytes.append(run.bytes, static_cast<std::size_t>(common));
                continue;
            }
        }
        joined.push_back(std::move(run));
    }
    m_runs = std::move(joined);
    if (m_runs.empty())
        return true;

    const Run& first = m_runs.front();
    const Run& top = m_runs.back();
    const std::uint64_t end = top.address + top.bytes.size();
    if (m_options.base && first.address < *m_options.base)
        return fail(first.at, "the data at " + hexAddress(first.address) +
                                  " lies below --base=" + hexAddress(*m_options.base));
    m_base = m_options.base.value_or(0);
    if (end - m_base > kMostBytes) {
        if (!m_options.base && first.address > 0)
            return fail(first.at, "the image starts at " + hexAddress(first.address) +
                                      ": give --base=" + hexAddress(first.address));
        return fail(top.at, "the image reaches from " + hexAddress(m_base) + " to " +
                                hexAddress(end - 1) + ", more bytes than a MIF file can address");
    }

    // The gaps, named in one warning.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> gaps;
    std::uint64_t filled = 0, at = m_base;
    for (const Run& run : m_runs) {
        if (run.address > at) {
            gaps.emplace_back(at, run.address - 1);
            filled += run.address - at;
        }
        at = run.address + run.bytes.size();
    }
    if (!gaps.empty()) {
        std::string text = std::to_string(filled) + (filled == 1 ? " byte" : " bytes") +
                           " that no record gives filled with " + hexByte(m_options.fill) + ": ";
        for (std::size_t i = 0; i < gaps.size() && i < kRangesNamed; ++i)
            text +=
                (i > 0 ? ", " : "") + hexAddress(gaps[i].first) + ".." + hexAddress(gaps[i].second);
        if (gaps.size() > kRangesNamed)
            text += " and " + std::to_string(gaps.size() - kRangesNamed) +
                    (gaps.size() - kRangesNamed == 1 ? " more gap" : " more gaps");
        if (!m_options.base && gaps.front().first == 0)
            text += " (--base=" + hexAddress(first.address) + " starts the memory at its data)";
        warn(std::nullopt, std::move(text));
    }
    return true;
}

bool ImageSource::count(Tally& tally, const GoOn& goOn) {
    m_runs.clear();
    m_diagnostics.clear();
    m_held = 0;
    if (!load(goOn) || !settle())
        return false;
    if (!m_runs.empty()) {
        const Run& top = m_runs.back();
        tally.add(2 * (top.address + top.bytes.size() - m_base));
    }
    return true;
}

bool ImageSource::copy(DigitSink& writer, const GoOn& goOn) {
    // Two digits a byte from a table, a slice at a time.
    static const auto kPairs = [] {
        std::array<char, 512> pairs{};
        for (int b = 0; b < 256; ++b) {
            pairs[2 * b] = "0123456789abcdef"[b >> 4];
            pairs[2 * b + 1] = "0123456789abcdef"[b & 15];
        }
        return pairs;
    }();
    constexpr std::size_t kSlice = std::size_t{1} << 16; // bytes a piece
    const auto digits = std::make_unique_for_overwrite<char[]>(2 * kSlice);
    std::uint64_t done = 0;
    auto handOn = [&](const unsigned char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(digits.get() + 2 * i, &kPairs[2 * bytes[i]], 2);
        writer.addDigits(std::string_view(digits.get(), 2 * count));
        done += count;
        return goOn(done);
    };
    const std::string fill(kSlice, static_cast<char>(m_options.fill));
    const auto* fillBytes = reinterpret_cast<const unsigned char*>(fill.data());
    std::uint64_t at = m_base;
    for (const Run& run : m_runs) {
        for (std::uint64_t gap = run.address - at; gap > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(gap, kSlice));
            if (!handOn(fillBytes, n))
                return true;
            gap -= n;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(run.bytes.data());
        for (std::size_t from = 0; from < run.bytes.size(); from += kSlice)
            if (!handOn(bytes + from, std::min(kSlice, run.bytes.size() - from)))
                return true;
        at = run.address + run.bytes.size();
    }
    return true;
}

} // namespace tarnwick
