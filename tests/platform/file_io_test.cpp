#include "platform/atomic_file.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/read_file.h"
#include "platform/signal_cleanup.h"
#include "platform/system_file.h"
#include "support/test_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace tarnwick::platform {
namespace {

TEST(ReadWholeFile, ReadsEveryByte) {
    test::TempDir dir;
    std::string bytes(300000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    test::WriteBytes(dir / "in.txt", bytes);
    const ReadResult read = ReadWholeFile(dir / "in.txt", 1 << 20);
    ASSERT_EQ(read.status, ReadResult::Status::Ok);
    EXPECT_EQ(read.bytes, bytes);

    test::WriteBytes(dir / "empty.txt", "");
    EXPECT_EQ(ReadWholeFile(dir / "empty.txt", 10).bytes, "");
}

TEST(ReadWholeFile, ReportsMissingFilesFoldersAndSizeLimits) {
    test::TempDir dir;
    ReadResult read = ReadWholeFile(dir / "missing.txt", 100);
    EXPECT_EQ(read.status, ReadResult::Status::Failed);
    EXPECT_EQ(read.error.code, ENOENT);
    EXPECT_EQ(read.error.path, dir / "missing.txt");
    EXPECT_FALSE(read.error.reason.empty());

    read = ReadWholeFile(dir.path(), 100);
    EXPECT_EQ(read.status, ReadResult::Status::Failed);
    EXPECT_EQ(read.error.code, EISDIR);

    test::WriteBytes(dir / "big.txt", std::string(101, 'a'));
    EXPECT_EQ(ReadWholeFile(dir / "big.txt", 100).status, ReadResult::Status::TooLarge);
    EXPECT_EQ(ReadWholeFile(dir / "big.txt", 101).status, ReadResult::Status::Ok);
}

TEST(ReadWholeFile, EndlessDeviceStopsAtTheLimit) {
    const ReadResult read = ReadWholeFile("/dev/zero", 1 << 20);
    EXPECT_EQ(read.status, ReadResult::Status::TooLarge);
    EXPECT_TRUE(read.bytes.empty());
}

TEST(WriteAll, ReportsAFullDevice) {
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(WriteAll(fd, "some bytes"), ENOSPC);
    ::close(fd);
}

TEST(AtomicFileWriter, ReplacesOnlyOnCommit) {
    test::TempDir dir;
    const auto target = dir / "out.mif";
    test::WriteBytes(target, "earlier");
    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.open());
        writer.write("new ");
        writer.write(std::string(3 << 20, 'b')); // larger than the buffer
        EXPECT_EQ(test::ReadBytes(target), "earlier") << "nothing shows before commit";
        ASSERT_TRUE(writer.commit());
    }
    const std::string bytes = test::ReadBytes(target);
    EXPECT_EQ(bytes.size(), 4u + (3u << 20));
    EXPECT_EQ(bytes.substr(0, 5), "new b");
    EXPECT_EQ(dir.entryCount(), 1u);
}

int noUnnamedFiles(const char*) {
    errno = EOPNOTSUPP;
    return -1;
}

// Unnamed, or named where the file system refuses unnamed files: nothing is left either way.
TEST(AtomicFileWriter, AbandonedWriterLeavesNoTrace) {
    FileCalls named;
    named.openUnnamed = noUnnamedFiles;
    for (const FileCalls& calls : {FileCalls{}, named}) {
        test::TempDir dir;
        test::WriteBytes(dir / "out.mif", "earlier");
        {
            AtomicFileWriter writer(dir / "out.mif", calls);
            ASSERT_TRUE(writer.open());
            writer.write("partial");
        }
        EXPECT_EQ(test::ReadBytes(dir / "out.mif"), "earlier");
        EXPECT_EQ(dir.entryCount(), 1u);
    }
}

TEST(AtomicFileWriter, NewFileFollowsTheUmask) {
    test::TempDir dir;
    const mode_t old = ::umask(022);
    AtomicFileWriter writer(dir / "out.mif");
    ASSERT_TRUE(writer.open());
    ASSERT_TRUE(writer.commit());
    ::umask(old);
    const auto perms = std::filesystem::status(dir / "out.mif").permissions();
    EXPECT_EQ(perms, std::filesystem::perms(0644));
}

TEST(AtomicFileWriter, ReplacesTheFileALinkPointsToAndKeepsItsMode) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "project");
    const auto real = dir / "project" / "rom.mif";
    test::WriteBytes(real, "earlier");
    // Group-writable and set-group-id, as in a shared project folder: the umask would give
    // neither to a new file.
    ASSERT_EQ(::chmod(real.c_str(), 02664), 0);
    // Another user's file, where we may give it one: the new file is theirs too.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(real.c_str(), 4321, 4321), 0);
        ASSERT_EQ(::chmod(real.c_str(), 02664), 0); // the chown cleared set-group-id
    }
    std::filesystem::create_symlink("project/rom.mif", dir / "out.mif");

    const mode_t old = ::umask(022);
    AtomicFileWriter writer(dir / "out.mif");
    const bool written = writer.open() && (writer.write("new"), writer.commit());
    ::umask(old);
    ASSERT_TRUE(written);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "out.mif"));
    EXPECT_EQ(test::ReadBytes(real), "new");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 02664u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4321u);
    }
    EXPECT_EQ(dir.entryCount(), 2u);
}

// Set, the next fchmod fails with it, as on a share that keeps no modes. Defined here, it
// stands for the C library's in this program.
int g_fchmodFails = 0;

} // namespace
} // namespace tarnwick::platform

extern "C" int fchmod(int fd, mode_t mode) {
    if (const int code = std::exchange(tarnwick::platform::g_fchmodFails, 0)) {
        errno = code;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fchmod, fd, mode));
}

namespace tarnwick::platform {
namespace {

// A mode that cannot be kept fails the open with the system's reason, the earlier file kept.
TEST(AtomicFileWriter, AModeThatCannotBeKeptFailsTheOpenAndSaysWhy) {
    test::TempDir dir;
    test::WriteBytes(dir / "out.mif", "earlier");
    AtomicFileWriter writer(dir / "out.mif");
    g_fchmodFails = EPERM;
    const bool opened = writer.open();
    g_fchmodFails = 0;
    EXPECT_FALSE(opened);
    EXPECT_EQ(writer.error().code, EPERM);
    writer.write("new");
    EXPECT_FALSE(writer.commit());
    EXPECT_EQ(test::ReadBytes(dir / "out.mif"), "earlier");
    EXPECT_EQ(dir.entryCount(), 1u);
}

// Failing system calls, as a full disk or a network file system reports them.
ssize_t shortThenFull(int fd, const void* data, std::size_t size) {
    if (size > 1)
        return ::write(fd, data, size / 2);
    errno = ENOSPC;
    return -1;
}
int closeFails(int fd) {
    ::close(fd);
    errno = EIO;
    return -1;
}
std::vector<int> g_closed;
int recordingClose(int fd) {
    g_closed.push_back(fd);
    return ::close(fd);
}
int recordingCloseFails(int fd) {
    recordingClose(fd);
    errno = EIO;
    return -1;
}
int fsyncFails(int) {
    errno = EIO;
    return -1;
}
ssize_t writesNothing(int, const void*, std::size_t) {
    return 0;
}
int g_interrupts = 0;
ssize_t interruptedOnce(int fd, const void* data, std::size_t size) {
    if (g_interrupts++ == 0) {
        errno = EINTR;
        return -1;
    }
    return ::write(fd, data, size);
}
int renameFails(const char*, const char*) {
    errno = EXDEV;
    return -1;
}
// Records which kinds of file were synced.
std::vector<bool> g_syncedFolder;
int recordingFsync(int fd) {
    struct stat st {};
    ::fstat(fd, &st);
    g_syncedFolder.push_back(S_ISDIR(st.st_mode));
    return ::fsync(fd);
}
// Records what the target's folder holds while the bytes are being written.
std::vector<std::string> g_seenWhileWriting;
std::filesystem::path g_watchedFolder;
dev_t g_deviceWhileWriting = 0;
ssize_t recordingWrite(int fd, const void* data, std::size_t size) {
    for (const auto& entry : std::filesystem::directory_iterator(g_watchedFolder))
        g_seenWhileWriting.push_back(entry.path().filename().string());
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        g_deviceWhileWriting = st.st_dev;
    return ::write(fd, data, size);
}

TEST(AtomicFileWriter, ShortWritesAndFailingSyncOrCloseKeepTheEarlierFile) {
    const struct {
        const char* name;
        FileCalls calls;
        int code;
    } cases[] = {
        {"short final write", {shortThenFull, ::fsync, ::close, ::rename}, ENOSPC},
        {"write returns 0", {writesNothing, ::fsync, ::close, ::rename}, EIO},
        {"fsync fails", {::write, fsyncFails, ::close, ::rename}, EIO},
        {"close fails", {::write, ::fsync, closeFails, ::rename}, EIO},
        {"rename fails", {::write, ::fsync, ::close, renameFails}, EXDEV},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteBytes(dir / "out.mif", "earlier");
        AtomicFileWriter writer(dir / "out.mif", c.calls);
        ASSERT_TRUE(writer.open());
        writer.write("new bytes");
        EXPECT_FALSE(writer.commit());
        EXPECT_EQ(writer.error().code, c.code);
        EXPECT_EQ(test::ReadBytes(dir / "out.mif"), "earlier");
        EXPECT_EQ(dir.entryCount(), 1u);
    }
    // Each descriptor is closed once, and no other: a writer that closed a stale number
    // would close whatever the program opened next (standard input, the input file).
    // A failed close is a failure in place too; and each descriptor is closed once, no
    // other: a writer that closed a stale number would close whatever the program opened
    // next (standard input, the input file).
    for (const bool closes : {true, false})
        for (const char* target : {"/dev/null", "replaced.mif"}) {
            SCOPED_TRACE(std::string(target) + (closes ? "" : ", close fails"));
            test::TempDir dir;
            g_closed.clear();
            {
                AtomicFileWriter writer(
                    target[0] == '/' ? std::filesystem::path(target) : dir / target,
                    {::write, ::fsync, closes ? recordingClose : recordingCloseFails, ::rename});
                ASSERT_TRUE(writer.open());
                writer.write("bytes");
                EXPECT_EQ(writer.commit(), closes);
                EXPECT_EQ(writer.error().code, closes ? 0 : EIO);
            }
            ASSERT_EQ(g_closed.size(), 1u);
            EXPECT_GT(g_closed[0], 2);
        }
}

// A sync made while the file is written fails once; the kernel need not say so again at
// the final fsync, so the writer must remember it.
std::atomic<bool> g_datasyncFailed{false};
int datasyncFailsOnce(int) {
    g_datasyncFailed = true;
    errno = EIO;
    return -1;
}

// Interrupted once, a sync is made again, not taken for a failure.
std::atomic<int> g_datasyncCalls{0};
int datasyncInterruptedOnce(int fd) {
    if (g_datasyncCalls++ == 0) {
        errno = EINTR;
        return -1;
    }
    return ::fdatasync(fd);
}

TEST(AtomicFileWriter, FailedSyncWhileWritingFailsTheFile) {
    test::TempDir dir;
    test::WriteBytes(dir / "out.mif", "earlier");
    g_datasyncFailed = false;
    FileCalls calls;
    calls.datasync = datasyncFailsOnce;
    AtomicFileWriter writer(dir / "out.mif", calls);
    ASSERT_TRUE(writer.open());
    const std::string piece(std::size_t{1} << 20, '5');
    for (int i = 0; i < 40 && !g_datasyncFailed; ++i)
        writer.write(piece);
    for (int wait = 0; wait < 1000 && !g_datasyncFailed; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(g_datasyncFailed) << "nothing was synced while 40 MiB were written";
    EXPECT_FALSE(writer.commit());
    EXPECT_EQ(writer.error().code, EIO);
    EXPECT_TRUE(test::ReadBytes(dir / "out.mif") == "earlier"); // not 40 MiB in the log
    EXPECT_EQ(dir.entryCount(), 1u);

    g_datasyncCalls = 0;
    calls.datasync = datasyncInterruptedOnce;
    AtomicFileWriter interrupted(dir / "out.mif", calls);
    ASSERT_TRUE(interrupted.open());
    for (int i = 0; i < 40; ++i)
        interrupted.write(piece);
    for (int wait = 0; wait < 1000 && g_datasyncCalls < 2; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(g_datasyncCalls, 2);
    EXPECT_TRUE(interrupted.commit());
    EXPECT_EQ(std::filesystem::file_size(dir / "out.mif"), 40u << 20);
}

// A file given up is closed only once no sync runs on it: by the time a late sync ran, its
// descriptor's number could name another file.
std::atomic<bool> g_syncing{false};
std::atomic<bool> g_closedWhileSyncing{false};
int slowDatasync(int fd) {
    g_syncing = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int result = ::fdatasync(fd);
    g_syncing = false;
    return result;
}
int closeNotingASync(int fd) {
    if (g_syncing)
        g_closedWhileSyncing = true;
    return ::close(fd);
}

TEST(AtomicFileWriter, AFileGivenUpIsClosedOnlyAfterItsSync) {
    test::TempDir dir;
    FileCalls calls;
    calls.datasync = slowDatasync;
    calls.close = closeNotingASync;
    {
        AtomicFileWriter writer(dir / "out.mif", calls);
        ASSERT_TRUE(writer.open());
        const std::string piece(std::size_t{1} << 20, '5');
        for (int i = 0; i < 5; ++i)
            writer.write(piece);
        for (int wait = 0; wait < 1000 && !g_syncing; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(g_syncing) << "nothing was synced while 5 MiB were written";
    }
    EXPECT_FALSE(g_closedWhileSyncing);
    EXPECT_EQ(dir.entryCount(), 0u);
}

TEST(AtomicFileWriter, RetriesAnInterruptedWriteAndSyncsFileThenFolder) {
    test::TempDir dir;
    g_interrupts = 0;
    g_syncedFolder.clear();
    AtomicFileWriter writer(dir / "out.mif", {interruptedOnce, recordingFsync, ::close, ::rename});
    ASSERT_TRUE(writer.open());
    writer.write("all of it");
    ASSERT_TRUE(writer.commit());
    EXPECT_EQ(test::ReadBytes(dir / "out.mif"), "all of it");
    EXPECT_EQ(g_syncedFolder, (std::vector<bool>{false, true}));
}

// A program started with standard input closed: the file written, then read, is descriptor 0.
TEST(AtomicFileWriter, WritesAndReadsAsDescriptorZero) {
    test::TempDir dir;
    const int saved = ::dup(0);
    ASSERT_GE(saved, 0);
    ::close(0);
    AtomicFileWriter writer(dir / "out.mif");
    const bool opened = writer.open();
    writer.write("all of it");
    const bool committed = writer.commit();
    const ReadResult read = ReadWholeFile(dir / "out.mif", 100); // the window's loader
    ::dup2(saved, 0);
    ::close(saved);
    EXPECT_TRUE(opened && committed) << writer.error().code;
    EXPECT_EQ(test::ReadBytes(dir / "out.mif"), "all of it");
    EXPECT_EQ(read.status, ReadResult::Status::Ok) << read.error.code;
    EXPECT_EQ(read.bytes, "all of it");
}

// A conversion refused before its output is opened still destroys its writer: descriptor 0,
// here a file of the test's, is no descriptor of the writer's to write to or close.
TEST(AtomicFileWriter, OneNeverOpenedTouchesNoDescriptor) {
    test::TempDir dir;
    const int saved = ::dup(0);
    ASSERT_GE(saved, 0);
    const int held = ::open((dir / "held").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ::dup2(held, 0);
    ::close(held);
    bool committed = true;
    {
        AtomicFileWriter writer(dir / "out.mif");
        writer.write("new");
        committed = writer.commit();
    }
    const bool stillOpen = ::fcntl(0, F_GETFD) != -1;
    ::dup2(saved, 0);
    ::close(saved);
    EXPECT_FALSE(committed);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(test::ReadBytes(dir / "held"), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mif"));
}

TEST(AtomicFileWriter, MissingFolderIsCreatedOnlyWhenAsked) {
    test::TempDir dir;
    AtomicFileWriter strict(dir / "nodir" / "x.mif");
    strict.setCreateFolder(false);
    EXPECT_FALSE(strict.open());
    EXPECT_EQ(strict.error().code, ENOENT);
    EXPECT_EQ(dir.entryCount(), 0u);
    AtomicFileWriter creating(dir / "nodir" / "x.mif");
    EXPECT_TRUE(creating.open() && creating.commit());
    EXPECT_TRUE(std::filesystem::exists(dir / "nodir" / "x.mif"));
}

// The folder removed while the file is written (an unnamed file leaves it empty): the
// commit must fail with the system's reason at once, not as a clash of names.
TEST(AtomicFileWriter, AFolderGoneBeforeTheCommitIsSaidSo) {
    test::TempDir dir;
    AtomicFileWriter writer(dir / "gone" / "x.mif");
    ASSERT_TRUE(writer.open());
    writer.write("bytes");
    ASSERT_TRUE(std::filesystem::remove(dir / "gone"));
    EXPECT_FALSE(writer.commit());
    EXPECT_EQ(writer.error().code, ENOENT);
    EXPECT_EQ(dir.entryCount(), 0u);
}

// A device or pipe given as the target is written into and stays what it was.
TEST(AtomicFileWriter, DevicesAndPipesAreWrittenInPlaceSocketsRefused) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    // Both ends opened here first, so neither side waits for the other however the writer
    // behaves; closing our writer end lets the reader see the end.
    const int readEnd = ::open((dir / "pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int keepOpen = ::open((dir / "pipe").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(readEnd, 0);
    ASSERT_GE(keepOpen, 0);
    ::fcntl(readEnd, F_SETFL, 0);
    std::string received;
    std::thread reader([&] {
        char buffer[256];
        for (ssize_t got; (got = ::read(readEnd, buffer, sizeof buffer)) > 0;)
            received.append(buffer, static_cast<std::size_t>(got));
        ::close(readEnd);
    });
    AtomicFileWriter toPipe(dir / "pipe");
    const bool opened = toPipe.open();
    toPipe.write("through the pipe");
    const bool committed = opened && toPipe.commit(); // a pipe cannot sync: no failure
    ::close(keepOpen);
    reader.join();
    EXPECT_TRUE(committed);
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe"));

    // Devices of our own where we may make them, so a fault cannot replace the machine's.
    const bool root = ::geteuid() == 0;
    const std::filesystem::path fullPath = root ? dir / "full" : "/dev/full";
    if (root) {
        ASSERT_EQ(::mknod(fullPath.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    AtomicFileWriter full(fullPath);
    ASSERT_TRUE(full.open());
    full.write("x");
    EXPECT_FALSE(full.commit());
    EXPECT_EQ(full.error().code, ENOSPC);
    EXPECT_TRUE(std::filesystem::is_character_file(fullPath));

    if (root) {
        ASSERT_EQ(::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        std::filesystem::create_symlink("null", dir / "link");
        AtomicFileWriter toNull(dir / "link");
        ASSERT_TRUE(toNull.open());
        toNull.write("gone");
        EXPECT_TRUE(toNull.commit());
        EXPECT_TRUE(std::filesystem::is_character_file(dir / "null"));
        // A device that cannot sync is no failure; one whose sync fails lost the bytes.
        AtomicFileWriter failing(dir / "null", {::write, fsyncFails, ::close, ::rename});
        ASSERT_TRUE(failing.open());
        failing.write("lost");
        EXPECT_FALSE(failing.commit());
        EXPECT_EQ(failing.error().code, EIO);
    }
    EXPECT_EQ(dir.entryCount(), root ? 4u : 1u); // no temporary file beside any of them

    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = (dir / "sock").string();
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    AtomicFileWriter toSocket(dir / "sock");
    EXPECT_FALSE(toSocket.open());
    EXPECT_EQ(toSocket.error().reason, "is a socket, not a file");
    ::close(sock);
    EXPECT_TRUE(std::filesystem::is_socket(dir / "sock"));
}

// The temporary file is written in the target's folder, where the rename cannot cross file
// systems: with no name while it is written where the system allows, else under a name.
TEST(AtomicFileWriter, TemporaryFileStandsBesideTheTargetNotInTmp) {
    // A folder outside /tmp, which is often another file system: a rename from there fails.
    const auto folder =
        std::filesystem::current_path() / ("writer-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    g_watchedFolder = folder;
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        g_seenWhileWriting.clear();
        g_deviceWhileWriting = 0;
        bool written = false;
        {
            FileCalls calls{recordingWrite, ::fsync, ::close, ::rename};
            if (!unnamed)
                calls.openUnnamed = noUnnamedFiles;
            AtomicFileWriter writer(folder / "out.mif", calls);
            written = writer.open() && (writer.write("bytes"), writer.commit());
        }
        EXPECT_TRUE(written);
        EXPECT_EQ(test::ReadBytes(folder / "out.mif"), "bytes");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                                std::filesystem::directory_iterator()),
                  1);
        EXPECT_EQ(g_seenWhileWriting.size(), unnamed ? 0u : 1u);
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(g_deviceWhileWriting, st.st_dev);
        std::filesystem::remove(folder / "out.mif");
    }
    std::filesystem::remove_all(folder);
}

// The spool that keeps a pipe's bytes is one file with no name: once closed, no descriptor
// and no entry in the temporary folder are left.
TEST(Spool, IsOneUnnamedFileAndLeavesNothing) {
    test::TempDir dir;
    const char* const given = std::getenv("TMPDIR");
    const std::optional<std::string> saved =
        given ? std::optional<std::string>(given) : std::nullopt;
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = descriptors();
    int error = 0;
    errno = EINVAL; // left by an earlier call: only a failed call's errno says anything
    const int fd = system::OpenSpool(error);
    if (saved)
        ::setenv("TMPDIR", saved->c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    ASSERT_GE(fd, 0) << error;
    EXPECT_EQ(dir.entryCount(), 0u);
    system::CloseFile(fd);
    EXPECT_EQ(descriptors(), before);
}

TEST(ReadWholeFile, FifoIsRefusedAtOnce) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(dir / "pipe", 100).status, ReadResult::Status::NotAFile);
}

// What a signal does, in a child of its own: during a write under a name it removes the
// file and ends the process by that signal; once the file is in place (or with no write at
// all) it only asks the program to quit; a signal the parent set to be ignored stays so.
int g_quitPipe = -1;
void quitByPipe(int) {
    (void)!::write(g_quitPipe, "q", 1);
}

TEST(SignalCleanup, RemovesANamedFileOrQuitsWhenNoWriteIsUnderWay) {
    test::TempDir dir;
    const auto inChild = [&](auto&& body) {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            g_quitPipe = pipeFds[1];
            body();
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        int status = 0;
        ::waitpid(child, &status, 0);
        char byte = 0;
        const bool quit = ::read(pipeFds[0], &byte, 1) == 1;
        ::close(pipeFds[0]);
        return std::pair{status, quit};
    };
    FileCalls named;
    named.openUnnamed = noUnnamedFiles;

    auto [status, quit] = inChild([&] {
        InstallSignalCleanup(quitByPipe);
        AtomicFileWriter writer(dir / "during.mif", named);
        writer.open();
        writer.write("half");
        ::raise(SIGTERM);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_FALSE(quit);
    EXPECT_EQ(dir.entryCount(), 0u) << "the named temporary file was left";

    std::tie(status, quit) = inChild([&] {
        InstallSignalCleanup(quitByPipe);
        for (int i = 0; i < 10; ++i) { // more writers than the list has places
            AtomicFileWriter writer(dir / "done.mif", named);
            writer.open();
            writer.write("whole");
            writer.commit();
        }
        ::raise(SIGHUP);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(quit);
    EXPECT_EQ(test::ReadBytes(dir / "done.mif"), "whole");

    // A name longer than the list's room is not listed, never cut or overrun.
    EXPECT_EQ(RemoveOnSignal(std::string(5000, 'a').c_str()), -1);

    std::tie(status, quit) = inChild([&] {
        std::signal(SIGINT, SIG_IGN); // as nohup and a shell's background jobs leave it
        InstallSignalCleanup(quitByPipe);
        ::raise(SIGINT);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(quit);

    // With no descriptor left for the window's quit pipe, a signal must still end it.
    std::tie(status, quit) = inChild([&] {
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_NOFILE, &none);
        if (InstallSignalCleanupWithQuitPipe() != -1)
            ::_exit(3);
        ::raise(SIGTERM);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

} // namespace
} // namespace tarnwick::platform
