#include "platform/qt/QtAppInfo.h"

#include "platform/qt/LoadedLibraries.h"
#include "shell/Configuration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kv {

namespace {

constexpr std::string_view sdkLibraryName = "HalvorinKeshControl";

} // namespace

QtAppInfo::QtAppInfo(std::string resourceFolder) : resourceFolder_(std::move(resourceFolder)) {}

std::string QtAppInfo::shortVersion() const {
    return QCoreApplication::applicationVersion().toStdString();
}

// Every loaded file of the SDK library counts as its bundle; its version
// comes from the versioned file name that CMake gives the library.
std::vector<LoadedBundle> QtAppInfo::loadedBundles() const {
    std::vector<LoadedBundle> bundles;
    for (const auto& path : loadedLibraryPaths())
        if (isLibraryFile(path, sdkLibraryName))
            bundles.push_back(LoadedBundle{std::string(config::sdkBundleIdentifier),
                                           libraryVersionFromPath(path, sdkLibraryName)});
    return bundles;
}

std::optional<std::string> QtAppInfo::resourcePath(const std::string& name, const std::string& type) const {
    if (name.empty() || name.find('/') != std::string::npos || type.find('/') != std::string::npos)
        return std::nullopt;
    const QString path =
        QDir(QString::fromStdString(resourceFolder_)).filePath(QString::fromStdString(name + "." + type));
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return path.toStdString();
}

std::string QtAppInfo::defaultResourceFolder() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString buildTree = programFolder.filePath(QStringLiteral("resources"));
    if (QFileInfo(buildTree).isDir())
        return buildTree.toStdString();
    return QDir::cleanPath(programFolder.filePath(QStringLiteral("../share/kesh-vistrel"))).toStdString();
}

} // namespace kv
