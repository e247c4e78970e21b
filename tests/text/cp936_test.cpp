#include "support/test_support.h"
#include "text/cp936.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

namespace tarnwick::text {
namespace {

using namespace std::string_literals;

using test::DecodeCase;

DecodeCase Cp936Case(const char* name, std::string bytes, std::u16string text) {
    return DecodeCase{name, std::move(bytes), TextEncoding::Cp936, std::move(text)};
}

class DecodeCp936Test : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeCp936Test, Decodes) {
    EXPECT_EQ(test::DecodeCp936(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeCp936Test,
    testing::Values(Cp936Case("Ascii", "0x1F,\r\n", u"0x1F,\r\n"),
                    Cp936Case("NulStays", "a\0b"s, u"a\0b"s),
                    Cp936Case("Chinese", "\xD7\xD6\xC4\xA3", u"\u5B57\u6A21"),
                    Cp936Case("FullWidthColon", "\xA3\xBA", u"\uFF1A"),
                    Cp936Case("TrailInAsciiRange", "\x81\x40", u"\u4E02"),
                    Cp936Case("EuroSign", "\x80", u"\u20AC"),
                    Cp936Case("FfIsPrivateUse",
                              "a\xFF"
                              "b",
                              u"a\uF8F5b"),
                    Cp936Case("UnknownPairDoesNotEatTheNextCharacter", "\xA2\xA0\xD7\xD6",
                              u"\uE585\u5B57"),
                    Cp936Case("TruncatedAtEnd", "ab\xD7", u"ab\uFFFD"),
                    Cp936Case("LeadThenDigitKeepsDigit",
                              "\xD7"
                              "1",
                              u"\uFFFD"
                              "1"),
                    Cp936Case("LeadThenNewlineKeepsNewline", "\xD7\n\xD6", u"\uFFFD\n\uFFFD"),
                    Cp936Case("Utf8BomIsNotSpecial", "\xEF\xBB\xBF", u"\u9518\uFFFD"),
                    Cp936Case("Empty", "", u"")),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(EncodeCp936, EncodesAndSubstitutesWhatTheCodePageLacks) {
    EXPECT_EQ(EncodeCp936(u"0x1F\t\r\n"), "0x1F\t\r\n");
    EXPECT_EQ(EncodeCp936(u"\u5B57\uFF1A"), "\xD7\xD6\xA3\xBA");
    EXPECT_EQ(EncodeCp936(u"a\u00E9b"), "a\xA8\xA6"
                                        "b");
    EXPECT_EQ(EncodeCp936(u"a\U0001F600b"), "a?b") << "a pair is one character";
    EXPECT_EQ(EncodeCp936(u"a\xD800"
                          "b\xDC00"),
              "a?b?")
        << "lone surrogates";
    EXPECT_EQ(EncodeCp936(u"\u0E01\u5B57"), "?\xD7\xD6") << "Thai is not in GBK";
    EXPECT_EQ(EncodeCp936(u"\0"s), "\0"s);
    EXPECT_EQ(EncodeCp936(u"\u007F\u0080"), "\x7F?") << "the ASCII edge";
}

TEST(Cp936, EveryDoubleBytePairRoundTripsOrBecomesOneReplacement) {
    // Whatever decodes to a real character must encode back to the same bytes, so text
    // loaded from a file reaches the MIF file byte for byte.
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string text = test::DecodeCp936(bytes);
            ASSERT_FALSE(text.empty());
            if (text.find(u'\uFFFD') == std::u16string::npos) {
                ASSERT_EQ(text.size(), 1u);
                ASSERT_EQ(EncodeCp936(text), bytes) << std::hex << lead << " " << trail;
            }
        }
    }
}

TEST(Cp936, PrivateUsePairsOfEveryAreaRoundTrip) {
    const struct {
        const char* bytes;
        char16_t unit;
    } pairs[] = {
        {"\xAA\xA1", u'\uE000'}, {"\xAF\xFE", u'\uE233'}, // user-defined AAA1-AFFE
        {"\xF8\xA1", u'\uE234'}, {"\xFE\xFE", u'\uE4C5'}, // user-defined F8A1-FEFE
        {"\xA1\x40", u'\uE4C6'}, {"\xA7\xA0", u'\uE765'}, // user-defined A140-A7A0
        {"\xA2\xA0", u'\uE585'}, {"\xA6\xD9", u'\uE78D'}, // scattered in rows A2, A6,
        {"\xA8\xBF", u'\uE7C8'}, {"\xFE\x50", u'\uE815'}, // A8 and FE
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.bytes);
        EXPECT_EQ(test::DecodeCp936(pair.bytes), std::u16string(1, pair.unit));
        EXPECT_EQ(EncodeCp936(std::u16string(1, pair.unit)), pair.bytes);
    }
}

TEST(Cp936, PiecesDecodeLikeTheWhole) {
    // A pair split between two reads, and a lead byte left waiting before a byte that
    // cannot trail it.
    const std::string bytes = "0x\xD7\xD6\xA2\xA0\x81"
                              "0\xD7";
    const std::u16string whole = test::DecodeCp936(bytes);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        Cp936Decoder decoder;
        std::u16string pieces;
        decoder.decode(std::string_view(bytes).substr(0, cut), pieces, false);
        decoder.decode(std::string_view(bytes).substr(cut), pieces, true);
        EXPECT_EQ(pieces, whole) << cut;
    }
    EXPECT_EQ(whole, u"0x\u5B57\uE585\uFFFD0\uFFFD");
}

TEST(Cp936, DecodesRandomBytesAsUconvDoes) {
    if (std::system("uconv --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "uconv (icu-devtools) is not installed";
    std::mt19937 rng(2000);
    std::string bytes(200000, '\0');
    for (char& b : bytes) // mostly high bytes, so that pairs of every kind occur
        b = static_cast<char>(rng() % 4 == 0 ? rng() % 0x80 : 0x80 + rng() % 0x80);
    const test::TempDir dir;
    test::WriteBytes(dir / "in.bin", bytes);
    const std::string command = "uconv -f windows-936-2000 -t utf-16le --callback substitute <" +
                                (dir / "in.bin").string() + " >" + (dir / "out.bin").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string reference = test::ReadBytes(dir / "out.bin");
    const std::u16string ours = test::DecodeCp936(bytes);
    ASSERT_EQ(ours.size() * 2, reference.size());
    EXPECT_EQ(std::memcmp(ours.data(), reference.data(), reference.size()), 0);
}

TEST(Cp936, RandomBytesNeverGrowAndNeverFail) {
    std::mt19937 rng(936);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(static_cast<std::size_t>(byte(rng) % 40), '\0');
        for (char& b : bytes)
            b = static_cast<char>(byte(rng));
        const std::u16string text = test::DecodeCp936(bytes);
        ASSERT_LE(text.size(), bytes.size());
        // Re-encoding and decoding again changes only the replacement characters (the code
        // page lacks U+FFFD, so they become '?'): nothing shifts or merges.
        std::u16string expected = text;
        for (char16_t& c : expected)
            c = c == u'\uFFFD' ? u'?' : c;
        ASSERT_EQ(test::DecodeCp936(EncodeCp936(text)), expected);
    }
}

} // namespace
} // namespace tarnwick::text
