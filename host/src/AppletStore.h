// What the applets have sent: their registrations, stored files and shown
// pages. Shared by the applet connections and the display server.
#pragma once

#include "HostMessage.h"
#include "PageEditor.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kesh::host {

// A change of what an applet shows: a new page, or an edit of the shown one.
struct DisplayChange {
    enum class Kind { Page, Property, Content };
    Kind kind = Kind::Page;
    std::string appletKey;
    std::uint64_t pageVersion = 0; // grows with every page shown by any applet
    std::string page;              // Page: the shown file's name
    TagSelector selector;          // Property, Content
    std::string property;          // Property
    std::string text;              // Property: the value; Content: the new inner HTML
};

struct StoredFile {
    std::string name;
    std::uintmax_t size = 0;
    std::string fileType;
};

struct AppletInfo {
    std::string key;
    std::string identifier;
    std::string friendlyName;
    std::string executablePath;
    bool hasIcon = false;
    int connections = 0;
    std::string shownPage;
    std::uint64_t pageVersion = 0;
    std::vector<StoredFile> files;
};

// What a display needs to catch up: per applet its page and the edits since.
struct DisplaySnapshot {
    std::string activeApplet; // the applet that most recently chose a page
    std::map<std::string, std::vector<DisplayChange>> history;
};

class AppletStore {
public:
    static constexpr std::uintmax_t kMaxCopiedFile = 64u * 1024 * 1024;
    static constexpr std::size_t kMaxEditHistory = 2000;

    explicit AppletStore(std::filesystem::path dataRoot);

    // Called (under the store's lock, so in order) for every display change.
    void setListener(std::function<void(const DisplayChange&)> listener);

    // Registers a connection's applet and returns its key; the icon, if any, is stored as "icon.png".
    std::string registerApplet(const HostMessage& registration);
    void disconnect(const std::string& key);

    // Stores or applies a message of a registered applet. False with a reason
    // when it was refused (a bad file name, an unreadable file); the applet's
    // connection goes on either way.
    bool apply(const std::string& key, const HostMessage& message, std::string& problem);

    std::vector<AppletInfo> applets() const;
    std::optional<AppletInfo> applet(const std::string& key) const;

    // The bytes of a stored file; for the shown page, with its edits applied.
    std::optional<std::string> readFile(const std::string& key, const std::string& name) const;
    std::filesystem::path iconPath(const std::string& key) const;

    // Runs `use` with the current snapshot under the store's lock, so that a
    // listener registered inside it misses no change and sees none twice.
    void withSnapshot(const std::function<void(const DisplaySnapshot&)>& use) const;

    const std::filesystem::path& dataRoot() const { return root_; }

private:
    struct Applet {
        AppletInfo info;
        std::map<std::string, std::string> fileTypes;
        std::string shownHtml; // the shown page with its edits applied
        std::vector<DisplayChange> history;
    };

    std::filesystem::path filesFolder(const std::string& key) const;
    bool storeBytes(const std::string& key, const std::string& name, std::span<const std::uint8_t> bytes,
                    std::string& problem) const;
    bool copyFile(const std::string& key, const HostMessage& m, std::string& problem) const;
    bool storeImage(const std::string& key, const HostMessage& m, std::string& problem) const;
    bool showPage(Applet& applet, const std::string& name, std::string& problem);
    void reloadIfShown(Applet& applet, const std::string& name);
    void edit(Applet& applet, DisplayChange change);
    void publish(const DisplayChange& change);

    std::filesystem::path root_;
    mutable std::mutex mutex_;
    std::map<std::string, Applet> applets_;
    std::string activeApplet_;
    std::uint64_t pageVersions_ = 0;
    std::function<void(const DisplayChange&)> listener_;
};

} // namespace kesh::host
