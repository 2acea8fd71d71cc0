#include "PrivateFiles.h"

#include "Log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace kesh::host {

namespace fs = std::filesystem;

namespace {

// A file whose size the system does not tell is read in steps of at least this.
constexpr std::size_t kSmallestReadGrowth = 64 * 1024;

std::string failure(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, so that a failure to write out the last bytes is seen.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

} // namespace

bool preparePrivateFolder(const fs::path& folder, std::string& problem) {
    std::error_code ec;
    if (!fs::exists(folder, ec)) {
        fs::create_directories(folder.parent_path(), ec);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = failure("cannot create", folder);
            return false;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        problem = failure("cannot use", folder);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = folder.string() + " is not a folder";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        problem = folder.string() + " belongs to another user; refusing to keep files there";
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        if (::chmod(folder.c_str(), 0700) != 0) {
            problem = failure("cannot make private", folder);
            return false;
        }
        logLine("made " + folder.string() + " private to this user (it was open to others)");
    }
    return true;
}

std::optional<std::string> readRegularFile(const fs::path& path, std::uintmax_t maxBytes, bool followLink,
                                           std::string& problem) {
    // Non-blocking, so that a FIFO put there after a check cannot hold the host.
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    Descriptor file(::open(path.c_str(), flags));
    if (file.get() < 0) {
        problem = failure("cannot open", path);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = path.string() + " is not a regular file";
        return std::nullopt;
    }
    const std::string tooLarge = path.string() + " is larger than " + std::to_string(maxBytes) + " bytes";
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        problem = tooLarge;
        return std::nullopt;
    }
    // The size is only a hint (files under /proc say 0): read up to one byte past the limit.
    const std::size_t limit = static_cast<std::size_t>(maxBytes) + 1;
    std::string bytes(std::min<std::size_t>(static_cast<std::size_t>(info.st_size) + 1, limit), '\0');
    std::size_t used = 0;
    while (true) {
        if (used == bytes.size()) {
            if (bytes.size() == limit) {
                problem = tooLarge;
                return std::nullopt;
            }
            bytes.resize(std::min(std::max<std::size_t>(bytes.size() * 2, kSmallestReadGrowth), limit));
        }
        const ssize_t got = ::read(file.get(), bytes.data() + used, bytes.size() - used);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = failure("cannot read", path);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return bytes;
}

bool writeFileAtomically(const fs::path& scratchFolder, const fs::path& target,
                         std::span<const std::uint8_t> bytes, std::string& problem) {
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = scratchFolder / ("part-" + randomHex(8));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        problem = failure("cannot create a temporary file for", target);
        return false;
    }
    Descriptor file(fd);
    bool written = true;
    for (std::size_t done = 0; done < bytes.size() && written;) {
        const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        written = n > 0;
        done += written ? static_cast<std::size_t>(n) : 0;
    }
    if (!written || !file.close()) {
        problem = failure("cannot write", target);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        problem = failure("cannot store", target);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string randomHex(std::size_t count) {
    std::string raw(count, '\0');
    for (std::size_t done = 0; done < count;) {
        const ssize_t n = ::getrandom(raw.data() + done, count - done, 0);
        if (n < 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    static const char* const kHex = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : raw) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    return hex;
}

} // namespace kesh::host
