#include "composer/MessageGrammar.h"
#include "composer/UnicodeText.h"

#include <gtest/gtest.h>

using namespace kv::composer;

TEST(MessageGrammar, AnyDigitMakesAnNpcMessageWhoseFirstCharacterIsTheMarker) {
    EXPECT_EQ(parseMessage("C1234"), ParsedMessage(NpcMessage{"1234", true}));
    EXPECT_EQ(parseMessage("N1234"), ParsedMessage(NpcMessage{"1234", false}));
    EXPECT_EQ(parseMessage("c1234"), ParsedMessage(NpcMessage{"1234", false}))
        << "the marker is case-sensitive";
    EXPECT_EQ(parseMessage("1234"), ParsedMessage(NpcMessage{"234", false}))
        << "a digit is taken as the marker";
    EXPECT_EQ(parseMessage("NPC10184"), ParsedMessage(NpcMessage{"PC10184", false}));
    // A "-" makes a character message, digits or not: NPC messages never hold one.
    EXPECT_EQ(parseMessage("Thrall-Area 52"), ParsedMessage(CharacterMessage{"Thrall", "Area 52"}));
    EXPECT_EQ(parseMessage("7"), ParsedMessage(NpcMessage{"", false}));
}

TEST(MessageGrammar, DigitsOfOtherScriptsCountAsDigits) {
    EXPECT_EQ(parseMessage("N\u0663\u0664"),
              ParsedMessage(NpcMessage{"\u0663\u0664", false}));                      // Arabic-Indic
    EXPECT_EQ(parseMessage("Ab\uFF15"), ParsedMessage(NpcMessage{"b\uFF15", false})); // full-width 5
    // Superscripts and Roman numerals are numbers but not decimal digits.
    EXPECT_EQ(parseMessage("Ab\u00B2"), ParsedMessage(MessageWithoutRealm{}));
    EXPECT_EQ(parseMessage("Ab\u2163"), ParsedMessage(MessageWithoutRealm{}));
}

TEST(MessageGrammar, TheMarkerIsOneUserPerceivedCharacter) {
    // "C" with a combining accent is not the classic marker, and the accent goes with it.
    EXPECT_EQ(parseMessage("C\u0301"
                           "42"),
              ParsedMessage(NpcMessage{"42", false}));
    EXPECT_EQ(parseMessage("\u00C942"), ParsedMessage(NpcMessage{"42", false}));
    EXPECT_EQ(userCharacters("e\u0301\U0001F1EB\U0001F1F7x").size(), 3u);
    EXPECT_EQ(userCharacters("\r\nA").size(), 2u);
}

TEST(MessageGrammar, CharacterMessagesSplitAtEveryHyphen) {
    EXPECT_EQ(parseMessage("Thrall-Aerie Peak-Extra"),
              ParsedMessage(CharacterMessage{"Thrall", "Aerie Peak"}));
    EXPECT_EQ(parseMessage("-Nagrand"), ParsedMessage(CharacterMessage{"", "Nagrand"}));
    EXPECT_EQ(parseMessage("Ëlf-Draka"), ParsedMessage(CharacterMessage{"Ëlf", "Draka"}));
}

TEST(MessageGrammar, AMissingOrEmptyRealmIsNoCharacterMessage) {
    EXPECT_EQ(parseMessage("Thrall"), ParsedMessage(MessageWithoutRealm{}));
    EXPECT_EQ(parseMessage("Thrall-"), ParsedMessage(MessageWithoutRealm{}));
    EXPECT_EQ(parseMessage("Thrall--Draka"), ParsedMessage(MessageWithoutRealm{}));
}
