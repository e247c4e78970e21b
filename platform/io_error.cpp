#include "io_error.h"

#include <system_error>

namespace tarnwick::platform {

std::string ErrorText(int code) {
    return std::generic_category().message(code);
}

IoError MakeIoError(const std::filesystem::path& path, int code) {
    return IoError{path, code, ErrorText(code)};
}

} // namespace tarnwick::platform
