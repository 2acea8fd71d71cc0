#include "composer/UnicodeText.h"
#include "composer/WebRealm.h"

#include <gtest/gtest.h>

using kv::composer::lowerCase;
using kv::composer::makeWebRealm;

TEST(WebRealm, CapitalsStartWordsUnlessABlankOrApostropheCameBefore) {
    EXPECT_EQ(makeWebRealm("AeriePeak"), "Aerie-Peak");
    EXPECT_EQ(makeWebRealm("Aerie Peak"), "Aerie-Peak");
    EXPECT_EQ(makeWebRealm("Kel'Thuzad"), "KelThuzad");
    EXPECT_EQ(makeWebRealm("Der Rat von Dalaran"), "Der-Rat-von-Dalaran");
    EXPECT_EQ(makeWebRealm("ABC"), "A-B-C");
    EXPECT_EQ(makeWebRealm("Twisting  Nether"), "Twisting--Nether");
    EXPECT_EQ(makeWebRealm("AÉB"), "AÉ-B") << "accented capitals start no word";
    EXPECT_EQ(makeWebRealm("Q"), "Q");
    EXPECT_EQ(makeWebRealm("'Ab"), "'-Ab") << "a leading apostrophe is kept and breaks nothing";
    EXPECT_EQ(makeWebRealm(""), "");
}

TEST(WebRealm, LowerCasingCoversEveryScriptAndKeepsStrayBytes) {
    EXPECT_EQ(lowerCase("Aerie-Peak"), "aerie-peak");
    EXPECT_EQ(lowerCase("ÉLUNE"), "élune");
    EXPECT_EQ(lowerCase("ГОРДУННИ"), "гордунни");
    EXPECT_EQ(lowerCase("\xFF"
                        "A"),
              "\xFF"
              "a");
}
