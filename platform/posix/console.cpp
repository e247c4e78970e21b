#include "platform/console.h"

#include <climits>
#include <cwchar>
#include <cwctype>

namespace tarnwick::platform {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::filesystem::path PathOfName(const std::string& name) {
    return name;
}

void WriteMessage(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

std::string ShowableCharacter(char32_t c) {
    // In the terminal's encoding (LC_CTYPE); nothing when it lacks the character.
    if (!std::iswgraph(static_cast<wint_t>(c)))
        return {};
    char bytes[MB_LEN_MAX];
    std::mbstate_t state{};
    const std::size_t length = std::wcrtomb(bytes, static_cast<wchar_t>(c), &state);
    if (length == static_cast<std::size_t>(-1))
        return {};
    return std::string(bytes, length);
}

} // namespace tarnwick::platform
