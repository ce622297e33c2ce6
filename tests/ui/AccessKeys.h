// Access keys as a user meets them: the letter after a single "&" in a caption.
#pragma once

#include <QHash>
#include <QKeySequence>
#include <QString>
#include <QStringList>

namespace vantle::test {

/// The first two captions that share an access key, said as a message; empty when none do.
inline QString AccessKeyClash(const QStringList& captions) {
    QHash<QKeySequence, QString> owner;
    for (const QString& caption : captions) {
        // The toolkit's own reading, so "&&" stays a plain ampersand as in the menus.
        const QKeySequence key = QKeySequence::mnemonic(caption);
        if (key.isEmpty())
            continue;
        if (owner.contains(key))
            return QStringLiteral("%1 and %2 share %3").arg(owner[key], caption, key.toString());
        owner[key] = caption;
    }
    return {};
}

} // namespace vantle::test
