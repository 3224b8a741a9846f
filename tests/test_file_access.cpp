// Opening data files: only regular files, never blocking, refused from their size when too large.
#include "app/platform/FileAccess.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace
{
std::string tempPath(const std::string& name)
{
    return std::string(::testing::TempDir()) + "vq_access_" + std::to_string(getpid()) + "_" + name;
}
} // namespace

TEST(DataFile, ReadsARegularFileWhole)
{
    const std::string path = tempPath("plain.bin");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("hello", f);
    std::fclose(f);
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(ReadDataFile(path, 5, bytes, error)) << error;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello");
    // One byte over the ceiling: refused from the size alone.
    EXPECT_FALSE(ReadDataFile(path, 4, bytes, error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(error,
              "\"" + path + "\": is 5 bytes, far more than the 4 bytes such a file can hold; it is not read");
    std::remove(path.c_str());
}

TEST(DataFile, WhatIsNoRegularFileIsRefusedWithoutWaiting)
{
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(ReadDataFile(tempPath("none"), 100, bytes, error));
    EXPECT_NE(error.find("cannot open the file (No such file or directory)"), std::string::npos) << error;

    const std::string dir = tempPath("dir");
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    EXPECT_FALSE(ReadDataFile(dir, 100, bytes, error));
    EXPECT_EQ(error, "\"" + dir + "\": is not a regular file");
    rmdir(dir.c_str());

    // A FIFO nobody writes to: a blocking open would wait forever.
    const std::string fifo = tempPath("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadDataFile(fifo, 100, bytes, error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(error, "\"" + fifo + "\": is not a regular file");
    std::remove(fifo.c_str());

    EXPECT_FALSE(ReadDataFile("/dev/zero", 100, bytes, error)) << "a device never ends";
}

TEST(DataFile, SizesReadAsPeopleSayThem)
{
    EXPECT_EQ(ByteCountText(1), "1 byte");
    EXPECT_EQ(ByteCountText(1000), "1000 bytes");
    EXPECT_EQ(ByteCountText(1536), "1.5 KB");
    EXPECT_EQ(ByteCountText(std::uint64_t(3) << 30), "3072.0 MB");
}
