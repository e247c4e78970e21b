#include "engine/engine.h"
#include "support/reference.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::Ascii;

std::string MifBytes(std::string_view digits, RadixMode radix, std::int16_t widthIndex) {
    const WordLayout layout =
        ComputeLayout(radix, test::WidthBits(radix, widthIndex), digits.size());
    test::StringSink sink;
    MifWriter writer(sink, radix, layout, test::FixedClock());
    writer.addDigits(digits);
    writer.finish();
    return sink.bytes();
}

std::string SampleDigits() {
    std::string digits;
    for (int i = 0; i < 5; ++i)
        digits += "00112233445566778899aabbccddeeff";
    return digits;
}

struct GoldenCase {
    const char* name;
    OutputFormat format;
    std::string digits;
    RadixMode radix;
    std::int16_t widthIndex;
    const char* goldenFile;
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.name;
}

class WriterGoldenTest : public testing::TestWithParam<GoldenCase> {};

// Each format's writer, made through its row as the driver makes it, fed in pieces that
// cut words anywhere.
TEST_P(WriterGoldenTest, WritesTheExactBytes) {
    const GoldenCase& c = GetParam();
    const WordLayout layout =
        ComputeLayout(c.radix, test::WidthBits(c.radix, c.widthIndex), c.digits.size());
    test::StringSink sink;
    const auto writer = RowOf(c.format).make(sink, c.radix, layout, test::FixedClock(), 0);
    for (std::size_t at = 0; at < c.digits.size(); at += 3)
        writer->addDigits(std::string_view(c.digits).substr(at, 3));
    writer->finish();
    EXPECT_EQ(sink.bytes(), test::ReadBytes(test::GoldenDir() / c.goldenFile));
}

constexpr auto Hex = RadixMode::Hexadecimal;
constexpr auto Bin = RadixMode::Binary;

INSTANTIATE_TEST_SUITE_P(
    Golden, WriterGoldenTest,
    testing::Values(GoldenCase{"MifSampleHex8Bits", OutputFormat::Mif, SampleDigits(), Hex, 1,
                               "sample_hex8.mif"},
                    GoldenCase{"MifSampleBinary8Bits", OutputFormat::Mif, SampleDigits(), Bin, 7,
                               "sample_bin8.mif"},
                    GoldenCase{"MifDepthZero", OutputFormat::Mif, "a", Hex, 1, "depth0.mif"},
                    GoldenCase{"MifShortLastWord", OutputFormat::Mif, "abc", Hex, 1,
                               "short_last_word.mif"},
                    GoldenCase{"CoeSampleHex8Bits", OutputFormat::Coe, SampleDigits(), Hex, 1,
                               "sample_hex8.coe"},
                    GoldenCase{"CoeSampleBinary8Bits", OutputFormat::Coe, SampleDigits(), Bin, 7,
                               "sample_bin8.coe"},
                    GoldenCase{"CoeShortLastWordPaddedInFront", OutputFormat::Coe, "abc", Hex, 1,
                               "short_last_word.coe"},
                    GoldenCase{"MemSampleHex8Bits", OutputFormat::Mem, SampleDigits(), Hex, 1,
                               "sample_hex8.mem"},
                    GoldenCase{"MemSampleBinary8Bits", OutputFormat::Mem, SampleDigits(), Bin, 7,
                               "sample_bin8.mem"},
                    GoldenCase{"MemShortLastWordPaddedInFront", OutputFormat::Mem, "abc", Hex, 1,
                               "short_last_word.mem"}),
    [](const testing::TestParamInfo<GoldenCase>& info) { return std::string(info.param.name); });

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(bytes.substr(start, at - start));
    EXPECT_EQ(start, bytes.size()) << "nothing may follow the last CR LF";
    return lines;
}

TEST(WriteMif, SampleHasTheDocumentedShape) {
    const std::vector<std::string> lines =
        Lines(MifBytes(SampleDigits(), RadixMode::Hexadecimal, 1));
    ASSERT_EQ(lines.size(), 98u);
    EXPECT_EQ(lines[5], "-- Design Date\xA3\xBA"
                        "2011-8-1014:23:05");
    EXPECT_EQ(lines[8], "WIDTH = 8;");
    EXPECT_EQ(lines[9], "DEPTH = 80;");
    EXPECT_EQ(lines[12], "DATA_RADIX = HEX;");
    EXPECT_EQ(lines[16], "\t0\t:\t00;");
    EXPECT_EQ(lines[95], "\t79\t:\tff;");
    EXPECT_EQ(lines[96], "");
    EXPECT_EQ(lines[97], "END;");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lines[i].substr(0, 3), "-- ") << "banner line " << i + 1;
}

TEST(WriteMif, ReadsDateBeforeTime) {
    class OrderClock final : public platform::Clock {
    public:
        std::u16string Date() const override { return m_calls++ == 0 ? u"D" : u"late"; }
        std::u16string Time() const override { return m_calls++ == 1 ? u"T" : u"early"; }

    private:
        mutable int m_calls = 0;
    };
    const WordLayout layout = ComputeLayout(RadixMode::Hexadecimal, 8, 2);
    test::StringSink sink;
    MifWriter(sink, RadixMode::Hexadecimal, layout, OrderClock()).finish();
    EXPECT_NE(sink.bytes().find("Date\xA3\xBA"
                                "DT\r\n"),
              std::string::npos);
}

TEST(WriteMif, LargeDepthNumbersAreContiguous) {
    // Addresses past the first chunk flush must continue without a gap or repeat.
    const std::string digits(2 * 100'000, 'a');
    const std::vector<std::string> lines = Lines(MifBytes(digits, RadixMode::Hexadecimal, 1));
    ASSERT_EQ(lines.size(), 18u + 100'000u);
    EXPECT_EQ(lines[9], "DEPTH = 100000;");
    for (std::size_t k = 0; k < 100'000; k += 9973)
        EXPECT_EQ(lines[16 + k], "\t" + std::to_string(k) + "\t:\taa;");
    EXPECT_EQ(lines[16 + 99'999], "\t99999\t:\taa;");
}

// The widest words, fed in pieces that split them, across several chunk flushes: every
// line whole (ASan watches the chunk's edge).
TEST(MifWriter, WidestWordsAcrossChunksAndPiecesMatchTheReference) {
    std::string digits;
    for (int k = 0; k < 20'000; ++k)
        digits += std::to_string(1'000'000 + k) + std::string(57, 'f');
    digits += std::string(40, 'c'); // a short last word, more than half a word
    const WordLayout layout = ComputeLayout(RadixMode::Hexadecimal, 256, digits.size());
    test::StringSink sink;
    MifWriter writer(sink, RadixMode::Hexadecimal, layout, test::FixedClock());
    for (std::size_t at = 0; at < digits.size(); at += 1000)
        writer.addDigits(std::string_view(digits).substr(at, 1000));
    writer.finish();
    EXPECT_EQ(sink.bytes(), reference::ConvertText(Ascii(digits), RadixMode::Hexadecimal, 63,
                                                   test::FixedClock()));
    const std::vector<std::string> lines = Lines(sink.bytes());
    ASSERT_EQ(lines.size(), 18u + 20'001u);
    EXPECT_EQ(lines[16 + 19'999], "\t19999\t:\t1019999" + std::string(57, 'f') + ";");
}

// A sink that fails stops the writer: a full disk is not filled with more attempts.
TEST(MifWriter, StopsOnceTheSinkHasFailed) {
    class FailingSink final : public ByteSink {
    public:
        void write(std::string_view) override { ++writes; }
        bool failed() const override { return writes > 0; }
        int writes = 0;
    } sink;
    const std::string digits(4'000'000, 'a');
    const WordLayout layout = ComputeLayout(RadixMode::Hexadecimal, 8, digits.size());
    MifWriter writer(sink, RadixMode::Hexadecimal, layout, test::FixedClock(), 3'000'000);
    writer.addDigits(digits);
    writer.finish();
    EXPECT_LE(sink.writes, 2); // the first chunk, and at most the closing one
}

} // namespace
} // namespace tarnwick
