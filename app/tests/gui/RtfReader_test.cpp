#include "platform/RtfReader.h"

#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace kv {
namespace {

// The format of the first character of the first occurrence of the text.
QTextCharFormat formatOf(const QTextDocument& document, const QString& text) {
    QTextCursor at(document.find(text));
    EXPECT_FALSE(at.isNull()) << text.toStdString();
    at.setPosition(at.selectionStart() + 1);
    return at.charFormat();
}

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
}

TEST(RtfReader, BoldItalicAndSizeFollowSwitchesAndTheEndOfAGroupRestoresThem) {
    QTextDocument document;
    ASSERT_TRUE(
        readRtf(R"({\rtf1\fs24 plain {\b\fs32 big bold} after {\i it\i0  back} x\b  on\b0  off})", document));
    EXPECT_EQ(formatOf(document, "big").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(document, "big").fontPointSize(), 16.0);
    EXPECT_EQ(formatOf(document, "after").fontWeight(), QFont::Normal);
    EXPECT_EQ(formatOf(document, "after").fontPointSize(), 12.0);
    EXPECT_TRUE(formatOf(document, "it").fontItalic());
    EXPECT_FALSE(formatOf(document, "back").fontItalic());
    EXPECT_EQ(formatOf(document, "off").fontWeight(), QFont::Normal);
}

} // namespace
} // namespace kv
