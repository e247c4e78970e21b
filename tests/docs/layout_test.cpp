// README's Layout names every source file of the program, and nothing that is gone: a new
// file is found where a reader of the README looks for it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = TARNWICK_SOURCE_DIR;

// The entries of the Layout's block: each line's first word, under the folders the lines
// above it opened at a smaller indent. "name.h/.cpp" stands for both files.
std::set<std::string> ListedPaths(std::string& block) {
    std::ifstream in(kRoot / "README.md");
    const std::string readme((std::istreambuf_iterator<char>(in)), {});
    const std::size_t start = readme.find("\n## Layout\n");
    const std::size_t end = readme.find("\n## ", start + 1);
    block = readme.substr(start, end - start);
    std::set<std::string> listed;
    std::vector<std::pair<std::size_t, std::string>> folders; // indent, path
    std::istringstream lines(block);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos || indent < 4 || line.compare(0, 4, "    ") != 0)
            continue;
        std::string name = line.substr(indent, line.find(' ', indent) - indent);
        while (!folders.empty() && folders.back().first >= indent)
            folders.pop_back();
        const std::string prefix = folders.empty() ? "" : folders.back().second;
        if (indent == 28) // a description going on
            continue;
        if (name.back() == '/') {
            folders.emplace_back(indent, prefix + name);
            continue;
        }
        if (const std::size_t pair = name.find(".h/.cpp"); pair != std::string::npos) {
            listed.insert(prefix + name.substr(0, pair) + ".h");
            listed.insert(prefix + name.substr(0, pair) + ".cpp");
        } else {
            listed.insert(prefix + name);
        }
    }
    return listed;
}

TEST(ReadmeLayout, ListsEverySourceFileAndNoneThatIsGone) {
    std::string block;
    const std::set<std::string> listed = ListedPaths(block);
    ASSERT_FALSE(listed.empty());
    for (const char* folder : {"engine", "text", "platform", "ui", "info", "resources", "cli"})
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder)) {
            const fs::path path = entry.path();
            if (path.extension() != ".cpp" && path.extension() != ".h")
                continue;
            const std::string relative = fs::relative(path, kRoot).generic_string();
            EXPECT_TRUE(listed.count(relative)) << relative << " is not in README's Layout";
        }
    for (const std::string& path : listed)
        EXPECT_TRUE(fs::exists(kRoot / path)) << path << " is in README's Layout but gone";
    // The benchmarks are named in their folder's description.
    for (const auto& entry : fs::directory_iterator(kRoot / "bench")) {
        if (entry.path().extension() == ".cpp") {
            EXPECT_NE(block.find(entry.path().filename().string()), std::string::npos)
                << entry.path().filename();
        }
    }
}

} // namespace
