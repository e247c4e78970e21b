// What a release ships besides the programs. One version: the CMake project's. What the build fills
// in (the programs, man pages, metainfo, the Windows README) takes it from there; what is written
// by hand (the two changelogs, README's commands) must name the same, or a release ships two
// versions.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace {

const std::filesystem::path kRoot = TARNWICK_SOURCE_DIR;

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(kRoot / path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::string ProjectVersion() {
    std::smatch m;
    const std::string cmake = Read("CMakeLists.txt");
    return std::regex_search(cmake, m, std::regex(R"(project\(Tarnwick VERSION ([0-9.]+))"))
               ? m[1].str()
               : std::string();
}

TEST(Version, EveryPlaceNamesTheProjectsVersion) {
    const std::string version = ProjectVersion();
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(version, TARNWICK_VERSION) << "the version built in";
    EXPECT_EQ(Read("debian/changelog").rfind("tarnwick (" + version + "-", 0), 0u);
    EXPECT_EQ(Read("packaging/changelog").rfind("tarnwick (" + version + ")", 0), 0u);
    // Every file name README gives with a version: the .deb, the tarball, the zip.
    const std::string readme = Read("README.md");
    int named = 0;
    const std::regex withVersion(R"(tarnwick(-convert)?[-_]([0-9]+\.[0-9]+\.[0-9]+))");
    for (std::sregex_iterator m(readme.begin(), readme.end(), withVersion), end; m != end;
         ++m, ++named)
        EXPECT_EQ((*m)[2].str(), version) << (*m)[0].str();
    EXPECT_GE(named, 4);
    // The templates leave it to the build.
    for (const char* file :
         {"packaging/tarnwick-convert.1.in", "packaging/tarnwick.1.in",
          "resources/com.example.tarnwick.metainfo.xml.in", "packaging/windows/README.txt.in"}) {
        const std::string text = Read(file);
        EXPECT_NE(text.find("@PROJECT_VERSION@"), std::string::npos) << file;
        EXPECT_EQ(text.find(version), std::string::npos) << file;
    }
}

// The desktop's icons are the SVG's renderings, committed: each PNG of the size its name says.
TEST(Icons, EachPngIsTheSizeItIsInstalledAs) {
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string png =
            Read("resources/icons/com.example.tarnwick-" + std::to_string(size) + ".png");
        ASSERT_GE(png.size(), 24u) << size;
        auto at = [&png](std::size_t i) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(png[i]));
        };
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(at(16) << 24 | at(17) << 16 | at(18) << 8 | at(19), std::uint32_t(size));
        EXPECT_EQ(at(20) << 24 | at(21) << 16 | at(22) << 8 | at(23), std::uint32_t(size));
    }
    EXPECT_NE(Read("resources/icons/com.example.tarnwick.svg").find("viewBox=\"0 0 100 100\""),
              std::string::npos);
}

} // namespace
