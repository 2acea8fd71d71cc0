// What the applets have sent: their registrations, stored files and shown
// pages. Shared by the applet connections and the display server.
#pragma once

#include "HostMessage.h"
#include "PageEditor.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kesh::host {

// A registered applet, and whether any connection of it is open.
struct AppletPresence {
    std::string key;
    std::string name;
    bool connected = false;
};

// A change of what an applet shows: a new page, or an edit of the shown one;
// or of which applets are connected (for every display).
struct DisplayChange {
    enum class Kind { Page, Property, Content, Presence };
    Kind kind = Kind::Page;
    std::string appletKey;
    std::uint64_t pageVersion = 0; // grows with every page shown by any applet
    // Page: the edits made to the page so far; an edit: its number, from 1.
    std::uint64_t edits = 0;
    std::string page;                    // Page: the shown file's name
    std::string fileCapability;          // Page: the secret in the addresses of the applet's files
    TagSelector selector;                // Property, Content
    std::string property;                // Property
    std::string text;                    // Property: the value; Content: the new inner HTML
    std::vector<AppletPresence> applets; // Presence: every registered applet
};
using SharedChange = std::shared_ptr<const DisplayChange>;

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
    std::string fileCapability;
    bool hasIcon = false;
    int connections = 0;
    std::string shownPage;
    std::uint64_t pageVersion = 0;
    std::vector<StoredFile> files;
};

// What a display needs to catch up: each applet's page, with its edit count.
struct DisplaySnapshot {
    std::string activeApplet; // the applet that most recently chose a page
    std::map<std::string, DisplayChange> pages;
    DisplayChange presence;
};

// A stored file as served; the shown page comes with its edits applied.
struct ServedFile {
    std::string bytes;
    bool shownPage = false;
    std::uint64_t edits = 0; // of the shown page
};

class AppletStore {
public:
    // The largest file an applet may have copied by path.
    static constexpr std::uintmax_t kMaxCopiedFile = 64u * 1024 * 1024;
    // The secret in the addresses of an applet's files: 128 random bits.
    static constexpr std::size_t kFileCapabilityBytes = 16;
    // A shown page is kept in memory with its edits: this bounds each applet's share.
    static constexpr std::size_t kMaxShownPage = 16u * 1024 * 1024;

    explicit AppletStore(std::filesystem::path dataRoot);

    // Makes the data folder private to this user; false with a reason when it cannot be used.
    bool prepare(std::string& problem);

    // Called (under the store's lock, so in order) for every display change.
    void setListener(std::function<void(const SharedChange&)> listener);

    // Registers a connection's applet and returns its key; the icon, if any, is stored as "icon.png".
    std::string registerApplet(const HostMessage& registration);
    void disconnect(const std::string& key);

    // Stores or applies a message of a registered applet. False with a reason
    // when it was refused (a bad file name, an unreadable file); the applet's
    // connection goes on either way.
    bool apply(const std::string& key, const HostMessage& message, std::string& problem);

    std::vector<AppletInfo> applets() const;
    std::optional<AppletInfo> applet(const std::string& key) const;

    // The secret in the addresses of the applet's files; nullopt for an unknown applet.
    std::optional<std::string> fileCapability(const std::string& key) const;
    std::optional<ServedFile> readFile(const std::string& key, const std::string& name) const;
    std::optional<std::string> readIcon(const std::string& key) const;

    // Runs `use` with the current snapshot under the store's lock, so that a
    // listener registered inside it misses no change and sees none twice.
    void withSnapshot(const std::function<void(const DisplaySnapshot&)>& use) const;

private:
    struct Applet {
        AppletInfo info;
        std::map<std::string, std::string> fileTypes;
        std::string shownHtml; // the shown page with its edits applied
        std::uint64_t edits = 0;
    };

    std::filesystem::path folder(const std::string& key) const { return root_ / key; }
    bool storeBytes(const std::string& key, const std::string& name, std::span<const std::uint8_t> bytes,
                    std::string& problem) const;
    std::optional<std::string> bytesToStore(const HostMessage& m, std::string& problem) const;
    void showPage(Applet& applet, const std::string& name, std::string html);
    bool edit(Applet& applet, const HostMessage& m, std::string& problem);
    void publish(DisplayChange change);
    DisplayChange presence() const;

    std::filesystem::path root_;
    mutable std::mutex mutex_;
    std::map<std::string, Applet> applets_;
    std::string activeApplet_;
    std::uint64_t pageVersions_ = 0;
    std::function<void(const SharedChange&)> listener_;
};

} // namespace kesh::host
