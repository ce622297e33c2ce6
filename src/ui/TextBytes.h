// Schedule texts are bytes: shown as UTF-8 when they are UTF-8, byte for byte (Latin-1)
// otherwise, and given back with their exact bytes when the user left them alone.
#pragma once

#include <QHash>
#include <QString>

#include <string>
#include <vector>

class QObject;

namespace vantle {

/// `bytes` as UTF-8 when valid, else each byte as the character of its code.
QString TextOfBytes(const std::string& bytes);
/// As TextOfBytes, with every control character shown as an escape (VisibleText); a
/// text shown byte for byte gets its C1 bytes as "\x85", as Latin-1 would make them
/// controls. For texts outside the widgets that show text safely: tooltips.
QString VisibleTextOfBytes(const std::string& bytes);
/// The bytes for `text`: `original` itself when the text is what TextOfBytes shows for
/// it; Latin-1 when the original was shown byte for byte and the text fits in it
/// (the rest of a path keeps its encoding); UTF-8 otherwise.
std::string BytesOfText(const QString& text, const std::string& original);

/// What a dialog put into its fields, so that a field the user did not change goes
/// back byte for byte even when the widget would have altered it.
class TKeptBytes {
public:
    void Clear() { FFields.clear(); }
    /// `widget` shows `shown` (as read back from it) for `bytes`.
    void Remember(const QObject* widget, const QString& shown, const std::string& bytes);
    void RememberLines(const QObject* widget, const QString& shown,
                       const std::vector<std::string>& lines);
    /// The bytes for what `widget` shows now.
    std::string BytesOf(const QObject* widget, const QString& current) const;
    /// The lines for a multi-line field, `current` split at line feeds (a final one ends
    /// the last line); unchanged lines keep their bytes.
    std::vector<std::string> LinesOf(const QObject* widget, const QString& current) const;

private:
    struct TField {
        QString Shown;
        std::vector<std::string> Lines; // one element for a single-line field
    };
    QHash<const QObject*, TField> FFields;
};

} // namespace vantle
