#include "app/platform/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string ByteCountText(std::uint64_t bytes)
{
    char buf[64];
    if (bytes >= (std::uint64_t(1) << 20))
        std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
    else if (bytes >= (std::uint64_t(1) << 10))
        std::snprintf(buf, sizeof buf, "%.1f KB", static_cast<double>(bytes) / (1 << 10));
    else
        std::snprintf(buf, sizeof buf, "%llu byte%s", static_cast<unsigned long long>(bytes),
                      bytes == 1 ? "" : "s");
    return buf;
}

std::FILE* OpenDataFile(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size,
                        std::string& error)
{
    size = 0;
    // Non-blocking, so that opening a FIFO does not wait for a writer that never comes.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        error = "\"" + path + "\": cannot open the file (" + std::strerror(errno) + ")";
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        error = "\"" + path + "\": is not a regular file";
        close(fd);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes)
    {
        const std::string exact = size >= 1024 ? " (" + std::to_string(size) + " bytes)" : "";
        error = "\"" + path + "\": is " + ByteCountText(size) + exact + ", far more than the " +
                ByteCountText(maxBytes) + " such a file can hold; it is not read";
        close(fd);
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, "rb");
    if (!f)
    {
        error = "\"" + path + "\": cannot open the file (" + std::strerror(errno) + ")";
        close(fd);
    }
    return f;
}

bool ReadDataFile(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                  std::string& error)
{
    bytes.clear();
    std::uint64_t size = 0;
    std::FILE* f = OpenDataFile(path, maxBytes, size, error);
    if (!f)
        return false;
    bytes.resize(static_cast<std::size_t>(size));
    const std::size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad)
    {
        error = "\"" + path + "\": read failed (" + std::strerror(errno) + ")";
        bytes.clear();
        return false;
    }
    // A file that shrank while it was read is taken as it was found.
    bytes.resize(got);
    return true;
}
