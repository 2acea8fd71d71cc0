// The Qt seams that need no window: the help text's rich text, the loaded
// SDK's version and the resources, and the settings store.
#include "GuiTestSupport.h"
#include "HalvorinKeshControl.h"
#include "TemporaryFolder.h"
#include "platform/qt/LoadedLibraries.h"
#include "platform/qt/QtAppInfo.h"
#include "platform/qt/QtUserDefaults.h"
#include "platform/qt/RtfReader.h"

#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <fstream>

namespace kv {
namespace {

TEST(RtfReader, TextEscapesAndParagraphsAreShownAndControlGroupsAreNot) {
    const std::pair<const char*, QString> cases[] = {
        {R"({\rtf1\ansi First\par \tab Second \{braces\} and \\ back\par})",
         QStringLiteral("First\n\tSecond {braces} and \\ back\n")},
        {R"({\rtf1 caf\'e9 \'93quoted\'94 \bullet  item\emdash end})",
         QStringLiteral("café \u201Cquoted\u201D \u2022 item\u2014end")},
        {"{\\rtf1 line one\nline two}",
         QStringLiteral("line oneline two")}, // line ends in the file are not text
        {R"({\rtf1\uc1 snow \u9731? man})", QStringLiteral("snow \u2603 man")},
        {R"({\rtf1{\fonttbl{\f0\fswiss Helvetica;}}{\colortbl;\red0\green0\blue0;}{\*\generator W;}{\info{\title T}}Shown})",
         QStringLiteral("Shown")},
        // Unbalanced groups and a huge number end without harm.
        {R"({\rtf1\fs99999999999999 big}})} after)", QStringLiteral("big")},
    };
    for (const auto& [rtf, text] : cases) {
        QTextDocument document;
        EXPECT_TRUE(readRtf(QByteArray(rtf), document));
        EXPECT_EQ(document.toPlainText(), text) << rtf;
    }
    QTextDocument document;
    EXPECT_FALSE(readRtf("plain text", document));
    EXPECT_TRUE(readRtf(R"({\rtf1 {{{ deep \b text \'4)", document));
    EXPECT_TRUE(document.toPlainText().contains(QStringLiteral("deep text")));
    // Bold, italic and size follow their switches, and the end of a group restores them.
    ASSERT_TRUE(
        readRtf(R"({\rtf1\fs24 plain {\b\fs32 big} after {\i it\i0  back} x\b  on\b0  off})", document));
    const auto formatOf = [&](const QString& text) {
        QTextCursor at(document.find(text));
        at.setPosition(at.selectionStart() + 1);
        return at.charFormat();
    };
    EXPECT_EQ(formatOf("big").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf("big").fontPointSize(), 16.0);
    EXPECT_EQ(formatOf("after").fontWeight(), QFont::Normal);
    EXPECT_EQ(formatOf("after").fontPointSize(), 12.0);
    EXPECT_TRUE(formatOf("it").fontItalic());
    EXPECT_FALSE(formatOf("back").fontItalic());
    EXPECT_EQ(formatOf("off").fontWeight(), QFont::Normal);
}

TEST(QtAppInfo, TheLinkedSdkIsReportedWithItsVersionFromTheVersionedFileNameAndResourcesStayInTheirFolder) {
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

    // Calling into the SDK makes the test load its library, through the SONAME link.
    EXPECT_GE(HalvKeshGetLastError(), 0);
    testsupport::TemporaryFolder folder;
    std::ofstream(folder.path() / "HelpText.rtf") << "{\\rtf1 help}";
    QtAppInfo info(folder.path().string());
    const auto bundles = info.loadedBundles();
    ASSERT_EQ(bundles.size(), 1u);
    EXPECT_EQ(bundles[0].identifier, "com.Pellmoor.HalvorinKeshControl");
    EXPECT_EQ(bundles[0].shortVersion, std::optional<std::string>(KV_VERSION));
    EXPECT_EQ(info.resourcePath("HelpText", "rtf"), (folder.path() / "HelpText.rtf").string());
    EXPECT_FALSE(info.resourcePath("Missing", "rtf"));
    EXPECT_FALSE(info.resourcePath("../HelpText", "rtf"));
}

TEST(QtUserDefaults, ValuesSurviveANewStoreAndAbsentOrBrokenKeysReadAsZero) {
    guitest::PrivateSettings settings;
    {
        QtUserDefaults defaults;
        defaults.setFloat("scanWidth", 102.5f);
        defaults.setInteger("big", 5'000'000'000);
        defaults.settings().setValue(QStringLiteral("userLanguageKey"), QStringLiteral("seven"));
        defaults.synchronize();
    }
    QtUserDefaults defaults;
    EXPECT_EQ(defaults.floatForKey("scanWidth"), 102.5f);
    EXPECT_EQ(defaults.integerForKey("big"), 5'000'000'000);
    EXPECT_EQ(defaults.integerForKey("userLanguageKey"), 0);
    EXPECT_TRUE(defaults.hasKey("userLanguageKey"));
    EXPECT_FALSE(defaults.hasKey("landingPageIntKey"));
    EXPECT_EQ(defaults.floatForKey("landingPageIntKey"), 0.0f);
    defaults.removeKey("scanWidth");
    EXPECT_FALSE(defaults.hasKey("scanWidth"));
}

} // namespace
} // namespace kv
