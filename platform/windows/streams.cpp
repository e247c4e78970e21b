#include "platform/streams.h"

#include "platform/system_file.h"
#include "wide.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string>
#include <vector>

namespace tarnwick::platform {

namespace {

using windows::HandleOf;

// The volume and file index of an open handle: the same pair is the same file.
bool identify(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(handle, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool identifyPath(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE handle = CreateFileW(windows::Widen(name).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = identify(handle, info);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return known;
}

} // namespace

namespace system {

std::vector<std::string> DescriptorFolders() {
    // The POSIX name scripts carry over still means the descriptors the shell opened.
    return {"/dev/fd/"};
}

} // namespace system

bool IsFileOutput(const std::string& name) {
    if (OutputDescriptor(name) >= 0)
        return false;
    const windows::FileKind kind = windows::KindOf(windows::Widen(name));
    return kind == windows::FileKind::Missing || kind == windows::FileKind::Regular;
}

bool SameFile(const std::string& input, const std::string& output) {
    const int descriptor = OutputDescriptor(output);
    BY_HANDLE_FILE_INFORMATION in{};
    BY_HANDLE_FILE_INFORMATION out{};
    const bool outputKnown =
        descriptor >= 0 ? identify(HandleOf(descriptor), out) : identifyPath(output, out);
    return outputKnown && identifyPath(input, in) &&
           in.dwVolumeSerialNumber == out.dwVolumeSerialNumber &&
           in.nFileIndexHigh == out.nFileIndexHigh && in.nFileIndexLow == out.nFileIndexLow;
}

bool DescriptorTarget::open() {
    if (HandleOf(m_fd) == INVALID_HANDLE_VALUE) {
        m_error = MakeIoError(m_name, EBADF);
        return false;
    }
    // Binary: text mode would write CR CR LF for every CR LF of the file.
    _setmode(m_fd, _O_BINARY);
    return true;
}

} // namespace tarnwick::platform
