#include "platform/qt/RtfReader.h"

#include <QTextCursor>
#include <QTextDocument>

#include <cctype>
#include <vector>

namespace kv {

namespace {

// Windows-1252 characters 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char16_t cp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                     0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QChar fromCodePage(int byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(cp1252High[byte - 0x80]);
    return QChar(byte);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct GroupState {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    bool skipped = false;    // inside a table or destination that is not text
    int unicodeFallback = 1; // characters that follow \uN in its place
};

class Reader {
public:
    Reader(const QByteArray& rtf, QTextDocument& document) : in_(rtf), cursor_(&document) {}

    bool read() {
        if (!in_.startsWith("{\\rtf"))
            return false;
        cursor_.document()->clear();
        cursor_.movePosition(QTextCursor::Start);
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                stack_.push_back(state_);
                pendingDestination_ = true;
            } else if (c == '}') {
                if (stack_.empty())
                    break; // end of the document
                state_ = stack_.back();
                stack_.pop_back();
            } else if (c == '\\') {
                controlSymbolOrWord();
            } else if (c == '\r' || c == '\n') {
                // line ends in the file are not text
            } else {
                text(QChar(static_cast<unsigned char>(c)));
            }
            if (c != '{' && c != '\\')
                pendingDestination_ = false;
        }
        flush();
        return true;
    }

private:
    void controlSymbolOrWord() {
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            controlSymbol(c);
            pendingDestination_ = false;
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])))
            ++pos_;
        const QByteArray word = in_.mid(start, pos_ - start);
        bool hasNumber = false;
        bool negative = false;
        long long number = 0;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
            hasNumber = true;
            number = std::min(number * 10 + (in_[pos_] - '0'), 1000000000LL);
            ++pos_;
        }
        if (negative)
            number = -number;
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_; // the delimiting blank belongs to the control word
        controlWord(word, hasNumber, static_cast<int>(number));
        pendingDestination_ = false;
    }

    void controlSymbol(char c) {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(QChar(c));
            break;
        case '~':
            text(QChar(0x00A0));
            break;
        case '-':
            break; // optional hyphen
        case '_':
            text(QChar(0x2011));
            break;
        case '*':
            state_.skipped = true; // an ignorable destination
            break;
        case '\'': {
            const int high = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
            const int low = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
            if (high >= 0 && low >= 0) {
                pos_ += 2;
                text(fromCodePage(high * 16 + low));
            }
            break;
        }
        case '\r':
        case '\n':
            paragraph();
            break;
        default:
            break;
        }
    }

    void controlWord(const QByteArray& word, bool hasNumber, int number) {
        if (pendingDestination_ && isSkippedDestination(word)) {
            state_.skipped = true;
            return;
        }
        const bool on = !hasNumber || number != 0;
        if (word == "par")
            paragraph();
        else if (word == "line")
            text(QChar(QChar::LineSeparator));
        else if (word == "tab")
            text(QChar('\t'));
        else if (word == "bullet")
            text(QChar(0x2022));
        else if (word == "emdash")
            text(QChar(0x2014));
        else if (word == "endash")
            text(QChar(0x2013));
        else if (word == "lquote")
            text(QChar(0x2018));
        else if (word == "rquote")
            text(QChar(0x2019));
        else if (word == "ldblquote")
            text(QChar(0x201C));
        else if (word == "rdblquote")
            text(QChar(0x201D));
        else if (word == "b")
            setFormat(state_.bold, on);
        else if (word == "i")
            setFormat(state_.italic, on);
        else if (word == "ul")
            setFormat(state_.underline, on);
        else if (word == "ulnone")
            setFormat(state_.underline, false);
        else if (word == "fs" && hasNumber && number > 0)
            setSize(std::min(number, 400));
        else if (word == "plain")
            plain();
        else if (word == "uc" && hasNumber && number >= 0)
            state_.unicodeFallback = std::min(number, 8);
        else if (word == "u" && hasNumber)
            unicode(number);
    }

    static bool isSkippedDestination(const QByteArray& word) {
        return word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" ||
               word == "pict" || word == "header" || word == "footer" || word == "listtable" ||
               word == "listoverridetable" || word == "generator";
    }

    void unicode(int number) {
        // Negative values stand for the upper half of the 16-bit range.
        text(QChar(static_cast<char16_t>(number < 0 ? number + 65536 : number)));
        // Skip the fallback characters the writer put in for older readers.
        for (int left = state_.unicodeFallback; left > 0 && pos_ < in_.size(); --left) {
            if (in_[pos_] == '\\' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '\'')
                pos_ += 4;
            else if (in_[pos_] == '{' || in_[pos_] == '}' || in_[pos_] == '\\')
                break;
            else
                ++pos_;
        }
    }

    void setFormat(bool& field, bool on) {
        if (field != on) {
            flush();
            field = on;
        }
    }

    void setSize(int halfPoints) {
        if (state_.halfPoints != halfPoints) {
            flush();
            state_.halfPoints = halfPoints;
        }
    }

    void plain() {
        flush();
        state_.bold = state_.italic = state_.underline = false;
        state_.halfPoints = 24;
    }

    void text(QChar c) {
        if (state_.skipped)
            return;
        if (pendingFormatDiffers())
            flush();
        run_.append(c);
        runState_ = state_;
    }

    bool pendingFormatDiffers() const {
        return !run_.isEmpty() &&
               (runState_.bold != state_.bold || runState_.italic != state_.italic ||
                runState_.underline != state_.underline || runState_.halfPoints != state_.halfPoints);
    }

    void paragraph() {
        if (state_.skipped)
            return;
        flush();
        cursor_.insertBlock();
    }

    void flush() {
        if (run_.isEmpty())
            return;
        QTextCharFormat format;
        format.setFontWeight(runState_.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(runState_.italic);
        format.setFontUnderline(runState_.underline);
        format.setFontPointSize(runState_.halfPoints / 2.0);
        cursor_.insertText(run_, format);
        run_.clear();
    }

    const QByteArray& in_;
    qsizetype pos_ = 0;
    QTextCursor cursor_;
    GroupState state_;
    GroupState runState_;
    std::vector<GroupState> stack_;
    QString run_;
    bool pendingDestination_ = false;
};

} // namespace

bool readRtf(const QByteArray& rtf, QTextDocument& document) {
    return Reader(rtf, document).read();
}

} // namespace kv
