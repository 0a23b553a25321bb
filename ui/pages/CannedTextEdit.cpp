#include "ui/pages/CannedTextEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

// The document holds a line break as U+2029; Shift+Enter gives U+2028; plain text uses '\n'.
bool IsLineBreak(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QLatin1Char('\n');
}

// Pasted text with each CR LF, CR or LF as one line break.
QString WithDocumentLineBreaks(QString text) {
    text.replace(QLatin1String("\r\n"), QString(QChar::ParagraphSeparator));
    text.replace(QLatin1Char('\r'), QChar::ParagraphSeparator);
    text.replace(QLatin1Char('\n'), QChar::ParagraphSeparator);
    return text;
}

// The longest start of text that stores in room bytes.
QString CutToRoom(const QString& text, qsizetype room) {
    qsizetype used = 0;
    qsizetype count = 0;
    for (const QChar c : text) {
        const qsizetype size = IsLineBreak(c) ? 2 : 1;
        if (used + size > room) {
            break;
        }
        used += size;
        ++count;
    }
    return text.left(count);
}

} // namespace

QString CannedBytesToEditText(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        if (byte == kCr || byte == kLf) {
            if (byte == kCr && i + 1 < bytes.size() && bytes[i + 1] == kLf) {
                ++i;
            }
            text += QLatin1Char('\n');
        } else {
            text += QChar(static_cast<unsigned char>(byte));
        }
    }
    return text;
}

std::string EditTextToCannedBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(CannedStoredLength(text)));
    for (const QChar c : text) {
        if (IsLineBreak(c)) {
            bytes += kCr;
            bytes += kLf;
        } else {
            // '?' for what only assistive technology can put past the edit's filters; a zero
            // byte would end the text there.
            bytes += c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?';
        }
    }
    return bytes;
}

qsizetype CannedStoredLength(const QString& text) {
    return text.size() + std::count_if(text.cbegin(), text.cend(), IsLineBreak);
}

bool IsCannedText(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() <= 0xFF || IsLineBreak(c); });
}

CannedTextEdit::CannedTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void CannedTextEdit::showBytes(const std::string& bytes) {
    setPlainText(CannedBytesToEditText(bytes));
    shownBytes_ = bytes;
    shownText_ = editText();
}

std::string CannedTextEdit::bytes() const {
    const QString text = editText();
    if (text == shownText_) {
        return shownBytes_;
    }
    std::string stored = EditTextToCannedBytes(text);
    if (stored.size() > static_cast<std::size_t>(kMaxLength)) {
        // A text shown over the limit (lone line breaks widened to CR LF), or one set past the
        // typing filters by assistive technology.
        stored.resize(static_cast<std::size_t>(kMaxLength));
        if (stored.back() == kCr) {
            stored.pop_back(); // never half a line break
        }
    }
    return stored;
}

QString CannedTextEdit::editText() const {
    return document()->toRawText();
}

qsizetype CannedTextEdit::roomForInsertion() const {
    const qsizetype used =
        CannedStoredLength(editText()) - CannedStoredLength(textCursor().selectedText());
    return std::max<qsizetype>(0, kMaxLength - used);
}

bool CannedTextEdit::fits(const QString& insertion) const {
    return IsCannedText(insertion) && CannedStoredLength(insertion) <= roomForInsertion();
}

void CannedTextEdit::keyPressEvent(QKeyEvent* event) {
    QString insertion;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        insertion = QChar(QChar::ParagraphSeparator);
    } else if (!event->text().isEmpty() && event->text().front().isPrint()) {
        insertion = event->text();
    }
    if (!insertion.isEmpty() && !fits(insertion)) {
        event->accept(); // refused: nothing typed, and the key goes no further
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CannedTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !fits(event->commitString())) {
        QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
        QPlainTextEdit::inputMethodEvent(&withoutCommit);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

bool CannedTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasText();
}

void CannedTextEdit::insertFromMimeData(const QMimeData* source) {
    const QString text = WithDocumentLineBreaks(source->text());
    if (!IsCannedText(text)) {
        return; // refused whole, as the single-line edits refuse such a paste
    }
    QTextCursor cursor = textCursor();
    cursor.insertText(CutToRoom(text, roomForInsertion()));
    setTextCursor(cursor);
    ensureCursorVisible();
}
