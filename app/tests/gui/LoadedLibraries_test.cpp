#include "platform/LoadedLibraries.h"
#include "platform/QtAppInfo.h"

#include "HalvorinKeshControl.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(LoadedLibraries, VersionComesFromTheVersionedFileNameOfThatLibraryOnly) {
    const std::string_view sdk = "HalvorinKeshControl";
    EXPECT_EQ(libraryVersionFromPath("/opt/lib/libHalvorinKeshControl.so.1.0.0", sdk), "1.0.0");
    EXPECT_EQ(libraryVersionFromPath("libHalvorinKeshControl.so.2", sdk), "2");
    for (const char* other :
         {"/opt/lib/libHalvorinKeshControl.so", "/opt/lib/libHalvorinKeshControlExtra.so.1.0.0",
          "/opt/libHalvorinKeshControl.so.1/libc.so.6", "libHalvorinKeshControl.so.1..0",
          "libHalvorinKeshControl.so.1.0.0~old"})
        EXPECT_FALSE(libraryVersionFromPath(other, sdk)) << other;
    EXPECT_TRUE(isLibraryFile("/x/libHalvorinKeshControl.so", sdk));
    EXPECT_FALSE(isLibraryFile("/x/libHalvorinKeshControl.so.bak", sdk));
}

TEST(LoadedLibraries, TheLinkedSdkIsReportedWithItsBuildVersion) {
    // Calling into the SDK makes the test load its library, through the SONAME link.
    EXPECT_GE(HalvKeshGetLastError(), 0);
    QtAppInfo info("/nonexistent");
    const auto bundles = info.loadedBundles();
    ASSERT_EQ(bundles.size(), 1u);
    EXPECT_EQ(bundles[0].identifier, "com.Pellmoor.HalvorinKeshControl");
    EXPECT_EQ(bundles[0].shortVersion, std::optional<std::string>(KV_SDK_VERSION));
}

TEST(LoadedLibraries, ResourcesAreFilesOfTheResourceFolderOnly) {
    QTemporaryDir folder;
    QFile help(QDir(folder.path()).filePath(QStringLiteral("HelpText.rtf")));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    QtAppInfo info(folder.path().toStdString());
    EXPECT_EQ(info.resourcePath("HelpText", "rtf"), help.fileName().toStdString());
    EXPECT_FALSE(info.resourcePath("Missing", "rtf"));
    EXPECT_FALSE(info.resourcePath("../HelpText", "rtf"));
}

} // namespace
} // namespace kv
