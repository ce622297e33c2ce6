// Finding a window's widgets as a user sees them: by their object names.
#pragma once

#include <QObject>
#include <QString>
#include <QtTest>

namespace vantle::test {

/// The child of `parent` (at any depth) of type T named `name`; ends the test run when
/// there is none, which means a name the tests rely on was changed.
template <class T> T* Child(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromUtf8(name));
    if (child == nullptr)
        qFatal("no child named %s", name);
    return child;
}

} // namespace vantle::test
