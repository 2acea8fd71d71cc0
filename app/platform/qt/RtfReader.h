// Reads the rich-text subset our help file is written in into a Qt document:
// groups, paragraphs (\par), line breaks (\line), tabs (\tab), bullets,
// bold (\b), italic (\i), underline (\ul), font sizes (\fs, half points),
// \plain, escaped characters (\\ \{ \} \'hh in Windows-1252) and \uN with its
// fallback. Font and colour tables, style sheets, document information and
// \* destinations are skipped; other control words are ignored.
#pragma once

#include <QByteArray>

class QTextDocument;

namespace kv {

// Fills the document with the text; false when the bytes are not rich text.
bool readRtf(const QByteArray& rtf, QTextDocument& document);

} // namespace kv
