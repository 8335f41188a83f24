#pragma once

#include <QSize>
#include <QString>
#include <QUrl>
#include <QUuid>

// The folder the program loads its installed data from (ffmpeg, languages,
// publishing files, home.url), without a trailing separator. Worked out on the
// first call, thread-safely, and kept for the life of the process.
QString getResourcesPath();

// How the resource folder is chosen: the folder named by the environment, else
// the installed layout beside the executable when it exists, else the folder
// laid out in the build tree.
QString resolveResourcesPath(const QString& fromEnvironment, const QString& executableDir,
                             const QString& buildTreeFolder);

// Opens a local file with the desktop's default handler.
void openFile(const QString& path);

// The address kept in an internet-shortcut file, with "%ver%" and "%os%"
// filled in; empty when the file or its URL key is missing.
QString readShortcutUrl(const QString& path);
// Opens the address kept in an internet-shortcut file.
void openUrlFile(const QString& path);

// The identifier's text without its braces: 36 lower-case characters 8-4-4-4-12.
QString UUid2String(const QUuid& id);

// Rounds each dimension up to a multiple of the alignment's dimension.
QSize alignSize(const QSize& size, const QSize& alignment);

// The path with its last extension replaced by the given one.
QString changeFileExt(const QString& path, const QString& extension);

// Quotes one argument for the ffmpeg command line: the splitting rule of
// QProcess reads three double quotes inside a quoted run as one literal quote.
QString quotedString(QString text);
