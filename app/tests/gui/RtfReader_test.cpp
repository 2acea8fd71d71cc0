#include "platform/RtfReader.h"

#include <QFile>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace kv {
namespace {

// The format of the first character of the first occurrence of the text.
QTextCharFormat formatOf(const QTextDocument& document, const QString& text) {
    const QTextCursor found = document.find(text);
    EXPECT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor atFirst(found);
    atFirst.setPosition(found.selectionStart() + 1);
    return atFirst.charFormat();
}

QString plainText(const char* rtf) {
    QTextDocument document;
    EXPECT_TRUE(readRtf(QByteArray(rtf), document));
    return document.toPlainText();
}

TEST(RtfReader, ParagraphsTabsAndEscapedCharactersBecomeText) {
    EXPECT_EQ(plainText(R"({\rtf1\ansi First\par \tab Second \{braces\} and \\ back\par})"),
              QStringLiteral("First\n\tSecond {braces} and \\ back\n"));
    EXPECT_EQ(plainText(R"({\rtf1 caf\'e9 \'93quoted\'94 \bullet  item\emdash end})"),
              QStringLiteral("café \u201Cquoted\u201D \u2022 item\u2014end"));
    EXPECT_EQ(plainText("{\\rtf1 line one\nline two}"), QStringLiteral("line oneline two"))
        << "line ends in the file are not text";
    EXPECT_EQ(plainText(R"({\rtf1\uc1 snow \u9731? man})"), QStringLiteral("snow \u2603 man"));
}

TEST(RtfReader, TablesAndIgnorableDestinationsAreNotShown) {
    EXPECT_EQ(plainText(R"({\rtf1{\fonttbl{\f0\fswiss Helvetica;}}{\colortbl;\red0\green0\blue0;})"
                        R"({\*\generator Writer;}{\info{\title T}}Shown})"),
              QStringLiteral("Shown"));
}

TEST(RtfReader, BoldItalicAndSizeFollowGroupsAndSwitches) {
    QTextDocument document;
    ASSERT_TRUE(
        readRtf(R"({\rtf1\fs24 plain {\b\fs32 big bold} after {\i it\i0  back} x\b  on\b0  off})", document));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("plain big bold after it back x on off"));
    EXPECT_EQ(formatOf(document, "plain").fontWeight(), QFont::Normal);
    EXPECT_EQ(formatOf(document, "plain").fontPointSize(), 12.0);
    EXPECT_EQ(formatOf(document, "big").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(document, "big").fontPointSize(), 16.0);
    // The end of a group restores the format from before it.
    EXPECT_EQ(formatOf(document, "after").fontWeight(), QFont::Normal);
    EXPECT_EQ(formatOf(document, "after").fontPointSize(), 12.0);
    EXPECT_TRUE(formatOf(document, "it").fontItalic());
    EXPECT_FALSE(formatOf(document, "back").fontItalic());
    EXPECT_EQ(formatOf(document, "on").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(document, "off").fontWeight(), QFont::Normal);
}

TEST(RtfReader, RefusesWhatIsNotRichTextAndSurvivesBrokenInput) {
    QTextDocument document;
    EXPECT_FALSE(readRtf("plain text", document));
    EXPECT_FALSE(readRtf("", document));
    // Unbalanced groups, a cut-off escape and a huge number end without harm.
    EXPECT_TRUE(readRtf(R"({\rtf1 {{{ deep \b text \'4)", document));
    EXPECT_TRUE(document.toPlainText().contains(QStringLiteral("deep text")));
    EXPECT_TRUE(readRtf(R"({\rtf1\fs99999999999999 big}})} after)", document));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("big"));
}

TEST(RtfReader, ReadsTheShippedHelpText) {
    QFile file(QStringLiteral(KV_RESOURCE_SOURCE_DIR "/HelpText.rtf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QTextDocument document;
    ASSERT_TRUE(readRtf(file.readAll(), document));
    const QString text = document.toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Kesh Vistrel Help\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("/KeshVistrelCal")));
    EXPECT_FALSE(text.contains(QLatin1Char('\\'))) << "no control word leaks into the text";
    EXPECT_FALSE(text.contains(QStringLiteral("Helvetica")));
}

} // namespace
} // namespace kv
