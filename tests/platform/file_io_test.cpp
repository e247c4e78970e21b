#include "platform/file_io.h"
#include "support/test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

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

} // namespace
} // namespace tarnwick::platform
