#include "platform/file_io.h"
#include "support/test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

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

TEST(AtomicFileWriter, AbandonedWriterLeavesNoTrace) {
    test::TempDir dir;
    test::WriteBytes(dir / "out.mif", "earlier");
    {
        AtomicFileWriter writer(dir / "out.mif");
        ASSERT_TRUE(writer.open());
        writer.write("partial");
    }
    EXPECT_EQ(test::ReadBytes(dir / "out.mif"), "earlier");
    EXPECT_EQ(dir.entryCount(), 1u);
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
    std::filesystem::permissions(real, std::filesystem::perms(0664));
    std::filesystem::create_symlink("project/rom.mif", dir / "out.mif");

    AtomicFileWriter writer(dir / "out.mif");
    ASSERT_TRUE(writer.open());
    writer.write("new");
    ASSERT_TRUE(writer.commit());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "out.mif"));
    EXPECT_EQ(test::ReadBytes(real), "new");
    EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms(0664));
    EXPECT_EQ(dir.entryCount(), 2u);
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
int fsyncFails(int) {
    errno = EIO;
    return -1;
}
// Records what the target's folder holds while the bytes are being written.
std::vector<std::string> g_seenWhileWriting;
std::filesystem::path g_watchedFolder;
ssize_t recordingWrite(int fd, const void* data, std::size_t size) {
    for (const auto& entry : std::filesystem::directory_iterator(g_watchedFolder))
        g_seenWhileWriting.push_back(entry.path().filename().string());
    return ::write(fd, data, size);
}

TEST(AtomicFileWriter, ShortWritesAndFailingSyncOrCloseKeepTheEarlierFile) {
    const struct {
        const char* name;
        FileCalls calls;
        int code;
    } cases[] = {
        {"short final write", {shortThenFull, ::fsync, ::close}, ENOSPC},
        {"fsync fails", {::write, fsyncFails, ::close}, EIO},
        {"close fails", {::write, ::fsync, closeFails}, EIO},
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
}

TEST(AtomicFileWriter, TemporaryFileStandsBesideTheTargetNotInTmp) {
    // A folder outside /tmp, which is often another file system: a rename from there fails.
    const auto folder =
        std::filesystem::current_path() / ("writer-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    g_watchedFolder = folder;
    g_seenWhileWriting.clear();
    {
        AtomicFileWriter writer(folder / "out.mif", {recordingWrite, ::fsync, ::close});
        ASSERT_TRUE(writer.open());
        writer.write("bytes");
        ASSERT_TRUE(writer.commit());
    }
    std::filesystem::remove_all(folder);
    ASSERT_EQ(g_seenWhileWriting.size(), 1u);
    EXPECT_EQ(g_seenWhileWriting[0].rfind(".out.mif.tmp-", 0), 0u) << g_seenWhileWriting[0];
}

TEST(ReadWholeFile, FifoIsRefusedAtOnce) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(dir / "pipe", 100).status, ReadResult::Status::NotAFile);
}

} // namespace
} // namespace tarnwick::platform
