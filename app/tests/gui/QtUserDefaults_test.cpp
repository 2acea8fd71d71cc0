#include "platform/QtUserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(QtUserDefaults, ValuesSurviveANewStoreAndAbsentOrBrokenKeysReadAsZero) {
    QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    {
        QtUserDefaults defaults;
        defaults.setFloat("scanWidth", 102.5f);
        defaults.setInteger("big", 5'000'000'000);
        defaults.setBool("showOnDesktopTooKey", true);
        defaults.settings().setValue(QStringLiteral("userLanguageKey"), QStringLiteral("seven"));
        defaults.synchronize();
    }
    QtUserDefaults defaults;
    EXPECT_EQ(defaults.floatForKey("scanWidth"), 102.5f);
    EXPECT_EQ(defaults.integerForKey("big"), 5'000'000'000);
    EXPECT_TRUE(defaults.boolForKey("showOnDesktopTooKey"));
    EXPECT_EQ(defaults.integerForKey("userLanguageKey"), 0);
    EXPECT_TRUE(defaults.hasKey("userLanguageKey"));
    EXPECT_FALSE(defaults.hasKey("landingPageIntKey"));
    EXPECT_EQ(defaults.floatForKey("landingPageIntKey"), 0.0f);
    EXPECT_FALSE(defaults.boolForKey("landingPageIntKey"));
    defaults.removeKey("scanWidth");
    EXPECT_FALSE(defaults.hasKey("scanWidth"));
}

} // namespace
} // namespace kv
