#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Every file below the folder, hidden ones too, as sorted relative paths.
QStringList filesUnder(const QString& folder);

// The whole file, or an empty array when it cannot be read.
QByteArray fileContents(const QString& path);
