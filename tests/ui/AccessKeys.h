// Access keys as a user meets them: the letter after a single "&" in a caption.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace vantle::test {

/// The first two captions that share an access key, said as a message; empty when none do.
inline QString AccessKeyClash(const QStringList& captions) {
    QHash<QChar, QString> owner;
    for (const QString& caption : captions) {
        // The key is the letter after the first single "&"; "&&" is a plain ampersand.
        for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
            if (caption[i] != QLatin1Char('&'))
                continue;
            if (caption[++i] == QLatin1Char('&'))
                continue;
            const QChar key = caption[i].toUpper();
            if (owner.contains(key))
                return QStringLiteral("%1 and %2 share Alt+%3").arg(owner[key], caption, key);
            owner[key] = caption;
            break;
        }
    }
    return {};
}

} // namespace vantle::test
