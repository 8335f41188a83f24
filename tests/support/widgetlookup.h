#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

// A dialog's child widget by its object name; a missing one ends the test run
// at once, since every check after it would be meaningless.
template<typename T> T* widget(QObject& dialog, const char* name)
{
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}
