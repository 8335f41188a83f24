#pragma once

#include <QList>
#include <QString>

// Ids of the running processes whose command line has an argument containing
// the given text (read from /proc).
QList<qint64> processesWithArgument(const QString& text);
