#include "composer/MessageGrammar.h"
#include "composer/UnicodeText.h"

#include <gtest/gtest.h>

using namespace kv::composer;

TEST(MessageGrammar, MessagesAreNpcNumbersCharactersOrRefused) {
    const std::pair<const char*, ParsedMessage> cases[] = {
        // Any decimal digit makes an NPC message; its first user-perceived character is the marker.
        {"C1234", NpcMessage{"1234", true}},
        {"N1234", NpcMessage{"1234", false}},
        {"c1234", NpcMessage{"1234", false}}, // the marker is case-sensitive
        {"1234", NpcMessage{"234", false}},   // a digit is taken as the marker
        {"NPC10184", NpcMessage{"PC10184", false}},
        {"7", NpcMessage{"", false}},
        {"N\u0663\u0664", NpcMessage{"\u0663\u0664", false}}, // Arabic-Indic digits
        {"Ab\uFF15", NpcMessage{"b\uFF15", false}},           // a full-width 5
        {"C\u0301"
         "42",
         NpcMessage{"42", false}}, // "C" with a combining accent is no classic marker
        {"\u00C942", NpcMessage{"42", false}},
        // Superscripts and Roman numerals are numbers but not decimal digits.
        {"Ab\u00B2", MessageWithoutRealm{}},
        {"Ab\u2163", MessageWithoutRealm{}},
        // A "-" makes a character message, digits or not: NPC messages never hold one.
        {"Thrall-Area 52", CharacterMessage{"Thrall", "Area 52"}},
        {"Thrall-Aerie Peak-Extra", CharacterMessage{"Thrall", "Aerie Peak"}},
        {"-Nagrand", CharacterMessage{"", "Nagrand"}},
        {"Ëlf-Draka", CharacterMessage{"Ëlf", "Draka"}},
        {"Thrall", MessageWithoutRealm{}},
        {"Thrall-", MessageWithoutRealm{}},
        {"Thrall--Draka", MessageWithoutRealm{}},
    };
    for (const auto& [message, parsed] : cases)
        EXPECT_EQ(parseMessage(message), parsed) << message;
    EXPECT_EQ(userCharacters("e\u0301\U0001F1EB\U0001F1F7x").size(), 3u);
    EXPECT_EQ(userCharacters("\r\nA").size(), 2u);
}
