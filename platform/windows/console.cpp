#include "platform/console.h"

#include "wide.h"

#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

#include <cwctype>

namespace tarnwick::platform {

namespace {

// The code page messages to standard error are written in; 0 for a console, which takes
// UTF-16 and so every character.
UINT messageCodePage() {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode))
        return 0;
    const UINT codePage = GetConsoleOutputCP();
    return codePage != 0 ? codePage : GetOEMCP();
}

} // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(windows::Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::filesystem::path PathOfName(const std::string& name) {
    return windows::Widen(name);
}

void WriteMessage(std::FILE* stream, std::string_view text) {
    std::fflush(stream);
    const std::wstring wide = windows::Widen(text);
    HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) { // a console shows every character as it is
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    // Redirected: the console's code page, which is what the reader of a log expects.
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0)
        codePage = GetOEMCP();
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

std::string ShowableCharacter(char32_t c) {
    // wint_t is 16 bits here: only characters of the first plane can be asked about; the
    // rest are shown, as the console's font decides.
    if (c <= 0xFFFF && !std::iswgraph(static_cast<wint_t>(c)))
        return {};
    std::wstring wide;
    if (c > 0xFFFF) {
        wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        wide += static_cast<wchar_t>(c);
    }
    // Redirected into a code page that lacks it, the character would arrive as '?'.
    const UINT codePage = messageCodePage();
    if (codePage != 0 && codePage != CP_UTF8) {
        BOOL lacking = FALSE;
        char bytes[8];
        const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                               static_cast<int>(wide.size()), bytes, sizeof bytes,
                                               nullptr, &lacking);
        if (length <= 0 || lacking)
            return {};
    }
    return windows::Narrow(wide);
}

} // namespace tarnwick::platform
