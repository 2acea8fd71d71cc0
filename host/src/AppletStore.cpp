#include "AppletStore.h"

#include "FileNames.h"
#include "Log.h"
#include "PngWriter.h"
#include "PrivateFiles.h"

#include <algorithm>
#include <system_error>

namespace kesh::host {

namespace fs = std::filesystem;

namespace {

// Stored files are served whole; a PNG may come out a little larger than its bitmap.
constexpr std::uintmax_t kMaxServedFile = 2 * AppletStore::kMaxCopiedFile;

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace

AppletStore::AppletStore(fs::path dataRoot) : root_(std::move(dataRoot)) {}

bool AppletStore::prepare(std::string& problem) {
    return preparePrivateFolder(root_, problem);
}

void AppletStore::setListener(std::function<void(const SharedChange&)> listener) {
    const std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

std::string AppletStore::registerApplet(const HostMessage& m) {
    const std::string key = appletKeyFor(m.identifier);
    std::string problem;
    bool hasIcon = false;
    if (preparePrivateFolder(folder(key), problem) && preparePrivateFolder(folder(key) / "files", problem) &&
        preparePrivateFolder(folder(key) / "tmp", problem) && m.type == MessageType::RegistrationWithIcon) {
        const auto png = encodeRgbaPng(kIconSide, kIconSide, m.payload, problem);
        hasIcon = png && writeFileAtomically(folder(key) / "tmp", folder(key) / "icon.png", *png, problem);
    }
    if (!problem.empty()) {
        logLine("applet " + key + ": " + problem);
    }
    const std::lock_guard lock(mutex_);
    Applet& applet = applets_[key];
    if (applet.info.key.empty()) {
        applet.info.key = key;
        applet.info.fileCapability = randomHex(kFileCapabilityBytes);
    }
    applet.info.identifier = m.identifier;
    applet.info.friendlyName = m.friendlyName;
    applet.info.executablePath = m.executablePath;
    applet.info.hasIcon = applet.info.hasIcon || hasIcon;
    if (++applet.info.connections == 1) {
        publish(presence());
    }
    return key;
}

void AppletStore::disconnect(const std::string& key) {
    const std::lock_guard lock(mutex_);
    if (auto it = applets_.find(key);
        it != applets_.end() && it->second.info.connections > 0 && --it->second.info.connections == 0) {
        publish(presence());
    }
}

// Called under the lock.
DisplayChange AppletStore::presence() const {
    DisplayChange change;
    change.kind = DisplayChange::Kind::Presence;
    for (const auto& [key, applet] : applets_) {
        change.applets.push_back({key, applet.info.friendlyName, applet.info.connections > 0});
    }
    return change;
}

bool AppletStore::storeBytes(const std::string& key, const std::string& name,
                             std::span<const std::uint8_t> bytes, std::string& problem) const {
    return preparePrivateFolder(folder(key) / "tmp", problem) &&
           preparePrivateFolder(folder(key) / "files", problem) &&
           writeFileAtomically(folder(key) / "tmp", folder(key) / "files" / name, bytes, problem);
}

// A copied file's bytes, or an image as PNG.
std::optional<std::string> AppletStore::bytesToStore(const HostMessage& m, std::string& problem) const {
    if (m.type == MessageType::Image) {
        auto png = encodeRgbaPng(m.width, m.height, m.payload, problem);
        return png ? std::optional<std::string>(std::in_place, png->begin(), png->end()) : std::nullopt;
    }
    if (!fs::path(m.filePath).is_absolute()) {
        problem = "file path \"" + m.filePath + "\" is not absolute";
        return std::nullopt;
    }
    // A link is followed: the applet could as well have named its target.
    return readRegularFile(m.filePath, kMaxCopiedFile, true, problem);
}

void AppletStore::publish(DisplayChange change) {
    if (listener_) {
        listener_(std::make_shared<const DisplayChange>(std::move(change)));
    }
}

void AppletStore::showPage(Applet& applet, const std::string& name, std::string html) {
    applet.info.shownPage = name;
    applet.info.pageVersion = ++pageVersions_;
    applet.shownHtml = std::move(html);
    applet.edits = 0;
    activeApplet_ = applet.info.key;
    DisplayChange change;
    change.kind = DisplayChange::Kind::Page;
    change.appletKey = applet.info.key;
    change.pageVersion = applet.info.pageVersion;
    change.page = name;
    change.fileCapability = applet.info.fileCapability;
    publish(std::move(change));
}

bool AppletStore::edit(Applet& applet, const HostMessage& m, std::string& problem) {
    DisplayChange change;
    change.selector = {m.tag, m.byClass};
    int changed = 0;
    if (m.type == MessageType::TagProperty) {
        change.kind = DisplayChange::Kind::Property;
        change.property = m.property;
        change.text = m.value;
        changed =
            setTagProperty(applet.shownHtml, change.selector, change.property, change.text, kMaxShownPage);
    } else {
        change.kind = DisplayChange::Kind::Content;
        change.text.assign(m.payload.begin(), m.payload.end());
        changed = setTagContent(applet.shownHtml, change.selector, change.text, kMaxShownPage);
    }
    if (changed < 0) {
        problem = "the page would grow past " + std::to_string(kMaxShownPage) + " bytes";
        return false;
    }
    change.appletKey = applet.info.key;
    change.pageVersion = applet.info.pageVersion;
    change.edits = ++applet.edits;
    publish(std::move(change));
    return true;
}

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
        // Files are read and written outside the lock: a large one must not hold up other applets or the
        // display.
        std::optional<std::string> made;
        if (m.type != MessageType::Content && !(made = bytesToStore(m, problem))) {
            return false;
        }
        const auto bytes = made ? bytesOf(*made) : std::span<const std::uint8_t>(m.payload);
        if (!storeBytes(key, m.fileName, bytes, problem)) {
            return false;
        }
        const std::lock_guard lock(mutex_);
        Applet& applet = applets_.at(key);
        applet.fileTypes[m.fileName] = m.fileType;
        if (applet.info.shownPage != m.fileName) {
            return true;
        }
        if (bytes.size() > kMaxShownPage) {
            problem =
                "page \"" + m.fileName + "\" is larger than " + std::to_string(kMaxShownPage) + " bytes";
            return false;
        }
        showPage(applet, m.fileName, std::string(bytes.begin(), bytes.end()));
        return true;
    }
    case MessageType::Index: {
        const fs::path path = folder(key) / "files" / m.fileName;
        std::error_code ec;
        const bool stored = fs::exists(fs::symlink_status(path, ec));
        auto html = stored ? readRegularFile(path, kMaxShownPage, false, problem) : std::string();
        if (!html) {
            return false;
        }
        const std::lock_guard lock(mutex_);
        // Shown even before it is stored: the display shows it once it arrives.
        showPage(applets_.at(key), m.fileName, std::move(*html));
        if (!stored) {
            problem = "page \"" + m.fileName + "\" is not stored yet";
        }
        return stored;
    }
    case MessageType::TagProperty:
    case MessageType::TagContent: {
        const std::lock_guard lock(mutex_);
        Applet& applet = applets_.at(key);
        if (applet.info.shownPage.empty()) {
            problem = "tag edit while no page is shown";
            return false;
        }
        return edit(applet, m, problem);
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
    AppletInfo info;
    std::map<std::string, std::string> fileTypes;
    {
        const std::lock_guard lock(mutex_);
        auto it = applets_.find(key);
        if (it == applets_.end()) {
            return std::nullopt;
        }
        info = it->second.info;
        fileTypes = it->second.fileTypes;
    }
    std::error_code ec;
    for (fs::directory_iterator entry(folder(key) / "files", ec), end; !ec && entry != end;
         entry.increment(ec)) {
        StoredFile file;
        file.name = entry->path().filename().string();
        file.size = entry->file_size(ec);
        if (auto type = fileTypes.find(file.name); type != fileTypes.end()) {
            file.fileType = type->second;
        }
        info.files.push_back(std::move(file));
    }
    std::sort(info.files.begin(), info.files.end(),
              [](const StoredFile& a, const StoredFile& b) { return a.name < b.name; });
    return info;
}

std::optional<std::string> AppletStore::fileCapability(const std::string& key) const {
    const std::lock_guard lock(mutex_);
    auto it = applets_.find(key);
    return it == applets_.end() ? std::nullopt : std::optional<std::string>(it->second.info.fileCapability);
}

std::optional<ServedFile> AppletStore::readFile(const std::string& key, const std::string& name) const {
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
            return ServedFile{it->second.shownHtml, true, it->second.edits};
        }
    }
    std::string problem;
    auto bytes = readRegularFile(folder(key) / "files" / name, kMaxServedFile, false, problem);
    return bytes ? std::optional<ServedFile>(ServedFile{std::move(*bytes)}) : std::nullopt;
}

std::optional<std::string> AppletStore::readIcon(const std::string& key) const {
    {
        const std::lock_guard lock(mutex_);
        auto it = applets_.find(key);
        if (it == applets_.end() || !it->second.info.hasIcon) {
            return std::nullopt;
        }
    }
    std::string problem;
    return readRegularFile(folder(key) / "icon.png", kMaxServedFile, false, problem);
}

void AppletStore::withSnapshot(const std::function<void(const DisplaySnapshot&)>& use) const {
    const std::lock_guard lock(mutex_);
    DisplaySnapshot snapshot;
    snapshot.activeApplet = activeApplet_;
    snapshot.presence = presence();
    for (const auto& [key, applet] : applets_) {
        if (!applet.info.shownPage.empty()) {
            DisplayChange& page = snapshot.pages[key];
            page.appletKey = key;
            page.pageVersion = applet.info.pageVersion;
            page.edits = applet.edits;
            page.page = applet.info.shownPage;
            page.fileCapability = applet.info.fileCapability;
        }
    }
    use(snapshot);
}

} // namespace kesh::host
