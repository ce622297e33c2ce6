// Access keys as a user meets them: the letter after a single "&" in a caption.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace vantle::test {

/// The access key of a caption, upper case; none when it has no single "&".
inline QChar AccessKey(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (caption[i + 1] != QLatin1Char('&'))
                return caption[i + 1].toUpper();
            ++i;
        }
    }
    return {};
}

/// The first two captions that share an access key, said as a message; empty when none do.
inline QString AccessKeyClash(const QStringList& captions) {
    QHash<QChar, QString> owner;
    for (const QString& caption : captions) {
        const QChar key = AccessKey(caption);
        if (key.isNull())
            continue;
        if (owner.contains(key))
            return QStringLiteral("%1 and %2 share Alt+%3").arg(owner[key], caption, key);
        owner[key] = caption;
    }
    return {};
}

} // namespace vantle::test
