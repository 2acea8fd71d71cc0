#include "AppletStore.h"

#include "FileNames.h"
#include "PngWriter.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kesh::host {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned long> temporaryCounter{0};

fs::path temporaryPath(const fs::path& folder) {
    // The process id keeps two hosts sharing a data folder apart.
    return folder /
           ("part-" + std::to_string(::getpid()) + "-" + std::to_string(temporaryCounter.fetch_add(1)));
}

bool ensureFolder(const fs::path& folder, std::string& problem) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        problem = "cannot create " + folder.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// Moves a finished temporary file into place, so a reader never sees half a file.
bool commit(const fs::path& temporary, const fs::path& target, std::string& problem) {
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        problem = "cannot store " + target.string() + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

std::optional<std::string> readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

AppletStore::AppletStore(fs::path dataRoot) : root_(std::move(dataRoot)) {}

void AppletStore::setListener(std::function<void(const DisplayChange&)> listener) {
    const std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

fs::path AppletStore::filesFolder(const std::string& key) const {
    return root_ / key / "files";
}

fs::path AppletStore::iconPath(const std::string& key) const {
    return root_ / key / "icon.png";
}

std::string AppletStore::registerApplet(const HostMessage& m) {
    const std::string key = appletKeyFor(m.identifier);
    const std::lock_guard lock(mutex_);
    Applet& applet = applets_[key];
    applet.info.key = key;
    applet.info.identifier = m.identifier;
    applet.info.friendlyName = m.friendlyName;
    applet.info.executablePath = m.executablePath;
    ++applet.info.connections;
    std::string problem;
    ensureFolder(filesFolder(key), problem);
    if (m.type == MessageType::RegistrationWithIcon) {
        const fs::path tmpFolder = root_ / key / "tmp";
        if (ensureFolder(tmpFolder, problem)) {
            const fs::path temporary = temporaryPath(tmpFolder);
            if (writeRgbaPng(temporary, kIconSide, kIconSide, m.payload, problem) &&
                commit(temporary, iconPath(key), problem)) {
                applet.info.hasIcon = true;
            }
        }
    }
    return key;
}

void AppletStore::disconnect(const std::string& key) {
    const std::lock_guard lock(mutex_);
    if (auto it = applets_.find(key); it != applets_.end() && it->second.info.connections > 0) {
        --it->second.info.connections;
    }
}

bool AppletStore::storeBytes(const std::string& key, const std::string& name,
                             std::span<const std::uint8_t> bytes, std::string& problem) const {
    const fs::path tmpFolder = root_ / key / "tmp";
    if (!ensureFolder(tmpFolder, problem) || !ensureFolder(filesFolder(key), problem)) {
        return false;
    }
    const fs::path temporary = temporaryPath(tmpFolder);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            problem = "cannot write " + temporary.string();
            return false;
        }
    }
    return commit(temporary, filesFolder(key) / name, problem);
}

bool AppletStore::copyFile(const std::string& key, const HostMessage& m, std::string& problem) const {
    const fs::path source(m.filePath);
    if (!source.is_absolute()) {
        problem = "file path \"" + m.filePath + "\" is not absolute";
        return false;
    }
    // Only regular files: a device or a pipe could block the host or never end.
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = "\"" + m.filePath + "\" is not a readable regular file";
        return false;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxCopiedFile) {
        problem = "\"" + m.filePath + "\" is larger than " + std::to_string(kMaxCopiedFile) + " bytes";
        return false;
    }
    const auto bytes = readWhole(source);
    if (!bytes) {
        problem = "cannot read \"" + m.filePath + "\"";
        return false;
    }
    return storeBytes(key, m.fileName,
                      std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()),
                      problem);
}

bool AppletStore::storeImage(const std::string& key, const HostMessage& m, std::string& problem) const {
    const fs::path tmpFolder = root_ / key / "tmp";
    if (!ensureFolder(tmpFolder, problem) || !ensureFolder(filesFolder(key), problem)) {
        return false;
    }
    const fs::path temporary = temporaryPath(tmpFolder);
    if (!writeRgbaPng(temporary, m.width, m.height, m.payload, problem)) {
        std::error_code ec;
        fs::remove(temporary, ec);
        return false;
    }
    return commit(temporary, filesFolder(key) / m.fileName, problem);
}

void AppletStore::publish(const DisplayChange& change) {
    if (listener_) {
        listener_(change);
    }
}

bool AppletStore::showPage(Applet& applet, const std::string& name, std::string& problem) {
    auto html = readWhole(filesFolder(applet.info.key) / name);
    if (!html) {
        // Shown anyway: the display says the page is missing until it arrives.
        problem = "page \"" + name + "\" is not stored yet";
        html = std::string();
    }
    applet.info.shownPage = name;
    applet.info.pageVersion = ++pageVersions_;
    applet.shownHtml = std::move(*html);
    activeApplet_ = applet.info.key;
    DisplayChange change;
    change.kind = DisplayChange::Kind::Page;
    change.appletKey = applet.info.key;
    change.pageVersion = applet.info.pageVersion;
    change.page = name;
    applet.history.assign(1, change);
    publish(change);
    return problem.empty();
}

void AppletStore::reloadIfShown(Applet& applet, const std::string& name) {
    if (applet.info.shownPage == name) {
        std::string ignored; // the file was just stored, so it is there
        showPage(applet, name, ignored);
    }
}

void AppletStore::edit(Applet& applet, DisplayChange change) {
    change.appletKey = applet.info.key;
    change.pageVersion = applet.info.pageVersion;
    if (change.kind == DisplayChange::Kind::Property) {
        setTagProperty(applet.shownHtml, change.selector, change.property, change.text);
    } else {
        setTagContent(applet.shownHtml, change.selector, change.text);
    }
    // The page text already holds every edit, so dropping the oldest ones
    // only costs a display that reconnects a replay of fewer edits.
    if (applet.history.size() >= kMaxEditHistory) {
        applet.history.erase(applet.history.begin() + 1, applet.history.begin() + 1 + kMaxEditHistory / 2);
    }
    applet.history.push_back(change);
    publish(change);
}

namespace {

DisplayChange editFrom(const HostMessage& m) {
    DisplayChange change;
    change.selector = {m.tag, m.byClass};
    if (m.type == MessageType::TagProperty) {
        change.kind = DisplayChange::Kind::Property;
        change.property = m.property;
        change.text = m.value;
    } else {
        change.kind = DisplayChange::Kind::Content;
        change.text.assign(m.payload.begin(), m.payload.end());
    }
    return change;
}

} // namespace

bool AppletStore::apply(const std::string& key, const HostMessage& m, std::string& problem) {
    problem.clear();
    {
        // Applets are never removed, so a key found here stays valid below.
        const std::lock_guard lock(mutex_);
        if (applets_.find(key) == applets_.end()) {
            problem = "applet is not registered";
            return false;
        }
    }
    const bool namesFile = m.type == MessageType::File || m.type == MessageType::Content ||
                           m.type == MessageType::Image || m.type == MessageType::Index;
    if (namesFile && !isSafeFileName(m.fileName)) {
        problem = "refused file name \"" + m.fileName + "\"";
        return false;
    }
    switch (m.type) {
    case MessageType::Registration:
    case MessageType::RegistrationWithIcon:
        problem = "registration on a registered connection";
        return false;
    case MessageType::File:
    case MessageType::Content:
    case MessageType::Image: {
        // Files are written outside the lock: a large one must not hold up other applets or the display.
        const bool stored = m.type == MessageType::File    ? copyFile(key, m, problem)
                            : m.type == MessageType::Image ? storeImage(key, m, problem)
                                                           : storeBytes(key, m.fileName, m.payload, problem);
        if (!stored) {
            return false;
        }
        const std::lock_guard lock(mutex_);
        Applet& applet = applets_.at(key);
        applet.fileTypes[m.fileName] = m.fileType;
        reloadIfShown(applet, m.fileName);
        return true;
    }
    case MessageType::Index: {
        const std::lock_guard lock(mutex_);
        return showPage(applets_.at(key), m.fileName, problem);
    }
    case MessageType::TagProperty:
    case MessageType::TagContent: {
        const std::lock_guard lock(mutex_);
        Applet& applet = applets_.at(key);
        if (applet.info.shownPage.empty()) {
            problem = "tag edit while no page is shown";
            return false;
        }
        edit(applet, editFrom(m));
        return true;
    }
    }
    return false;
}

std::vector<AppletInfo> AppletStore::applets() const {
    std::vector<std::string> keys;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& entry : applets_) {
            keys.push_back(entry.first);
        }
    }
    std::vector<AppletInfo> list;
    for (const auto& key : keys) {
        if (auto info = applet(key)) {
            list.push_back(std::move(*info));
        }
    }
    return list;
}

std::optional<AppletInfo> AppletStore::applet(const std::string& key) const {
    const std::lock_guard lock(mutex_);
    auto it = applets_.find(key);
    if (it == applets_.end()) {
        return std::nullopt;
    }
    AppletInfo info = it->second.info;
    std::error_code ec;
    for (fs::directory_iterator entry(filesFolder(key), ec), end; !ec && entry != end; entry.increment(ec)) {
        StoredFile file;
        file.name = entry->path().filename().string();
        file.size = entry->file_size(ec);
        if (auto type = it->second.fileTypes.find(file.name); type != it->second.fileTypes.end()) {
            file.fileType = type->second;
        }
        info.files.push_back(std::move(file));
    }
    std::sort(info.files.begin(), info.files.end(),
              [](const StoredFile& a, const StoredFile& b) { return a.name < b.name; });
    return info;
}

std::optional<std::string> AppletStore::readFile(const std::string& key, const std::string& name) const {
    if (!isSafeFileName(name)) {
        return std::nullopt;
    }
    {
        // Only registered keys: a key from a web address must not reach outside the data folder.
        const std::lock_guard lock(mutex_);
        auto it = applets_.find(key);
        if (it == applets_.end()) {
            return std::nullopt;
        }
        if (it->second.info.shownPage == name) {
            return it->second.shownHtml;
        }
    }
    return readWhole(filesFolder(key) / name);
}

void AppletStore::withSnapshot(const std::function<void(const DisplaySnapshot&)>& use) const {
    const std::lock_guard lock(mutex_);
    DisplaySnapshot snapshot;
    snapshot.activeApplet = activeApplet_;
    for (const auto& [key, applet] : applets_) {
        if (!applet.history.empty()) {
            snapshot.history[key] = applet.history;
        }
    }
    use(snapshot);
}

} // namespace kesh::host
