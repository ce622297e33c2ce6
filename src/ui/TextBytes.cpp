#include "ui/TextBytes.h"

#include "platform/TextUtils.h"

#include <QStringList>

namespace vantle {

namespace {

/// Whether `text`, decoded from `bytes` as UTF-8, is what they say. Valid exactly when
/// encoding again gives the same bytes: invalid sequences, overlong forms and encoded
/// surrogates all come back different.
bool DecodedWhole(const QString& text, const std::string& bytes) {
    QByteArray again = text.toUtf8();
    return again.size() == qsizetype(bytes.size()) &&
           std::equal(again.begin(), again.end(), bytes.begin());
}

bool IsUtf8(const std::string& bytes) {
    return DecodedWhole(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())), bytes);
}

bool FitsLatin1(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

} // namespace

QString TextOfBytes(const std::string& bytes) {
    QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    if (DecodedWhole(text, bytes))
        return text;
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

QString VisibleTextOfBytes(const std::string& bytes) {
    if (IsUtf8(bytes))
        return QString::fromStdString(VisibleText(bytes, TVisibleFor::Log));
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if ((code < 0x20 && code != '\t') || (code >= 0x7f && code <= 0x9f))
            text += QString::asprintf("\\x%02x", unsigned{code});
        else
            text += QChar(code);
    }
    return text;
}

std::string BytesOfText(const QString& text, const std::string& original) {
    if (text == TextOfBytes(original))
        return original;
    if (!IsUtf8(original) && FitsLatin1(text)) {
        QByteArray latin1 = text.toLatin1();
        return std::string(latin1.constData(), std::size_t(latin1.size()));
    }
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), std::size_t(utf8.size()));
}

void TKeptBytes::Remember(const QObject* widget, const QString& shown, const std::string& bytes) {
    FFields.insert(widget, TField{shown, {bytes}});
}

void TKeptBytes::RememberLines(const QObject* widget, const QString& shown,
                               const std::vector<std::string>& lines) {
    FFields.insert(widget, TField{shown, lines});
}

std::string TKeptBytes::BytesOf(const QObject* widget, const QString& current) const {
    auto field = FFields.constFind(widget);
    if (field == FFields.constEnd())
        return BytesOfText(current, {});
    if (current == field->Shown)
        return field->Lines.front();
    return BytesOfText(current, field->Lines.front());
}

std::vector<std::string> TKeptBytes::LinesOf(const QObject* widget, const QString& current) const {
    auto field = FFields.constFind(widget);
    if (field != FFields.constEnd() && current == field->Shown)
        return field->Lines;
    QStringList pieces = current.split(QLatin1Char('\n'));
    if (pieces.back().isEmpty())
        pieces.removeLast(); // the empty piece after the final line break is no line
    std::vector<std::string> lines;
    lines.reserve(std::size_t(pieces.size()));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        // A line still at its place keeps the encoding it had.
        const bool known = field != FFields.constEnd() && std::size_t(i) < field->Lines.size();
        lines.push_back(
            BytesOfText(pieces[i], known ? field->Lines[std::size_t(i)] : std::string()));
    }
    return lines;
}

} // namespace vantle
