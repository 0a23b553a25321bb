#pragma once

#include <QPlainTextEdit>
#include <QString>

#include <string>

class QInputMethodEvent;
class QKeyEvent;
class QMimeData;

// Canned-message texts are single bytes (ISO-8859-1) with a line break stored as the byte pair
// CR LF, which counts as two characters toward the limit. The edit shows every line break as
// a new line; these conversions are the only place that knows both forms.

// The edit's text for stored bytes: each CR LF pair, and each lone CR or LF, becomes one line
// break; every other byte becomes the character of the same code.
QString CannedBytesToEditText(const std::string& bytes);
// The bytes for the edit's text: each line break becomes CR LF, every other character its
// ISO-8859-1 byte ('?' outside it). No limit applied.
std::string EditTextToCannedBytes(const QString& text);
// How many bytes the text takes when stored.
qsizetype CannedStoredLength(const QString& text);
// Whether every character can be stored: ISO-8859-1 or a line break.
bool IsCannedText(const QString& text);

// Multi-line edit for one canned message of at most kMaxLength stored bytes. Characters
// outside ISO-8859-1 are refused, typed or pasted; typing stops at the limit and a paste is
// cut to the room left (never inside a line break). Tab moves to the next control.
//
// A text read from a pager may hold a lone CR or LF. The edit shows it as a line break and,
// as long as the user leaves the text as shown, gives back the exact bytes it was shown with;
// once the text is edited every line break is stored as CR LF.
class CannedTextEdit final : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr qsizetype kMaxLength = 127;

    explicit CannedTextEdit(QWidget* parent = nullptr);

    // Shows a stored text: the bytes up to (not including) its terminating zero.
    void showBytes(const std::string& bytes);
    // The text to store, at most kMaxLength bytes.
    std::string bytes() const;
    // The text as the user sees it, each line break as U+2029.
    QString editText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Room in stored bytes once the selection is replaced.
    qsizetype roomForInsertion() const;
    bool fits(const QString& insertion) const;

    std::string shownBytes_;
    QString shownText_;
};
