#include "settings/HalvSDKShared.h"

#include "core/Helper.h"
#include "core/sha1.h"
#include "settings/JSON.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

CFStringRef g_configFolderPath = nullptr;
CFStringRef g_configFileFullPath = nullptr;
JSONValue* g_configJsonValue = nullptr;
JSONValue* g_firstNodeJsonValue = nullptr;
std::mutex g_settingsMutex;

namespace {

const char kFileName[] = "halv.cfg";
const char kUnreadableSuffix[] = ".bad";
// A settings file is never this large; a larger one is not read (nor replaced).
constexpr std::size_t kLargestFile = 16 * 1024 * 1024;

// The bytes of a file that the last read could not use, kept until the next
// write saves them beside the new file.
bool g_unreadableContentPending = false;
std::string g_unreadableContent;

std::string toUtf8(CFStringRef text) {
    if (text == nullptr)
        return std::string();
    const unsigned long size = StringToUTF8(text, nullptr, 0);
    std::string bytes(size, '\0');
    if (size > 0)
        StringToUTF8(text, reinterpret_cast<unsigned char*>(bytes.data()), size);
    return bytes;
}

CFStringRef fromUtf8(const std::string& text) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
}

void replacePath(CFStringRef& slot, CFStringRef value) {
    if (slot != nullptr)
        CFRelease(slot);
    slot = value;
}

void replaceDocument(JSONValue* document, JSONValue* settingsNode) {
    delete g_configJsonValue;
    g_configJsonValue = document;
    g_firstNodeJsonValue = settingsNode;
}

// Reads to the end, at most `limit` bytes; false on a failed read or a file
// that is larger.
bool readWhole(int fd, std::string& bytes, std::size_t limit) {
    char chunk[8192];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (bytes.size() + static_cast<std::size_t>(got) > limit)
            return false;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
}

enum class FileRead { read, missing, unusable };

// Reads the settings file if it is a regular file of sensible size. Opening
// never blocks (a FIFO), and nothing but a regular file is read (a device may
// never end). A file that exists but cannot be read is unusable, never missing.
FileRead readSettingsFile(const std::string& path, std::string& bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? FileRead::missing : FileRead::unusable;
    struct stat info {};
    const bool read = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                      static_cast<std::size_t>(info.st_size) <= kLargestFile &&
                      readWhole(fd, bytes, kLargestFile);
    close(fd);
    return read ? FileRead::read : FileRead::unusable;
}

bool writeWhole(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes a temporary file in the target's folder, flushes it to disk and
// renames it over the target, so that a crash leaves the old file or the new
// one, never a truncated one. The target's permissions are kept.
bool replaceFileAtomically(const std::string& path, const std::string& bytes) {
    // A file-size limit below the new file would end the process with SIGXFSZ
    // half-way through the temporary file.
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        bytes.size() > limit.rlim_cur)
        return false;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".tmp.%ld.%d", static_cast<long>(getpid()), attempt);
        temporary = path + suffix;
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    struct stat old {};
    bool ok = true;
    if (stat(path.c_str(), &old) == 0)
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && writeWhole(fd, bytes) && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int folder = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

// A document the option calls can work on: an object whose "applet_settings"
// is an object. Anything else is treated like text that does not parse.
JSONValue* settingsNodeOf(JSONValue* document) {
    if (document == nullptr)
        return nullptr;
    JSONValue* node = document->Child(L"applet_settings");
    return node != nullptr && node->IsObject() ? node : nullptr;
}

JSONValue* newDefaultDocument() {
    JSONMemberMap members;
    members[L"applet_settings"] = new JSONValue(JSONMemberMap());
    return new JSONValue(members);
}

} // namespace

std::string settingsFolderName(const std::string& applicationFolder) {
    unsigned char digest[20];
    sha1::calc(applicationFolder.data(), static_cast<long>(applicationFolder.size()), digest);
    char hex[41];
    sha1::toHexString(digest, hex);
    return std::string(hex, 40);
}

std::string mainBundlePath() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::string();
    return executable.parent_path().string();
}

std::string configFileFullPath() {
    return toUtf8(g_configFileFullPath);
}

bool HalvSetConfigFilePath(CFStringRef baseDirectory) {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    // Contents kept from the old file must never be saved beside a new one.
    g_unreadableContentPending = false;
    g_unreadableContent.clear();
    const std::string bundle = mainBundlePath();
    if (baseDirectory == nullptr || bundle.empty()) {
        // Without a base there is no sound place for the file: rather than
        // write somewhere relative, the option calls fail until a path is set.
        replacePath(g_configFolderPath, nullptr);
        replacePath(g_configFileFullPath, nullptr);
        return false;
    }
    const std::string folder =
        toUtf8(baseDirectory) + "/Halvorin/Gaming/Applets/" + settingsFolderName(bundle);
    replacePath(g_configFolderPath, fromUtf8(folder));
    replacePath(g_configFileFullPath, fromUtf8(folder + "/" + kFileName));
    return true;
}

bool SetConfigFileForApplet() {
    CFStringRef base = getUserDirectory();
    const bool result = HalvSetConfigFilePath(base);
    if (base != nullptr)
        CFRelease(base);
    return result;
}

bool readJsonFromFile() {
    const std::string path = configFileFullPath();
    if (path.empty())
        return false;

    std::string bytes;
    switch (readSettingsFile(path, bytes)) {
    case FileRead::read:
        break;
    case FileRead::unusable:
        return false;
    case FileRead::missing: {
        std::error_code ignored;
        std::filesystem::create_directories(toUtf8(g_configFolderPath), ignored);
        // Never through a dangling symbolic link.
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            return false;
        close(fd);
        break;
    }
    }

    // A NUL byte would hide whatever follows it from the parser.
    JSONValue* document = bytes.find('\0') == std::string::npos ? JSON::Parse(bytes.c_str()) : nullptr;
    JSONValue* node = settingsNodeOf(document);
    if (node != nullptr) {
        replaceDocument(document, node);
        g_unreadableContentPending = false;
        g_unreadableContent.clear();
        return true;
    }

    delete document;
    g_unreadableContentPending = !bytes.empty();
    g_unreadableContent = std::move(bytes);
    JSONValue* fallback = newDefaultDocument();
    replaceDocument(fallback, fallback->Child(L"applet_settings"));
    return true;
}

void dumpJsonToFile() {
    const std::string path = configFileFullPath();
    if (path.empty() || g_configJsonValue == nullptr)
        return;
    // A file the applet may read but not write is the user's to change.
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        return;

    if (g_unreadableContentPending) {
        // Never destroy what the user may want back.
        if (!replaceFileAtomically(path + kUnreadableSuffix, g_unreadableContent))
            return;
        g_unreadableContentPending = false;
        g_unreadableContent.clear();
    }

    replaceFileAtomically(path, JSON::StringifyBytes(g_configJsonValue));
}
