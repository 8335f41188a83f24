#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// One run of tovalumen-cli as a user makes it.
struct CliRun
{
    int exitCode = -1; // -1 when it crashed or did not end within a minute
    QString out;
    QString err;
};

// Runs in `workingDirectory`, or in the test's own when that is empty.
CliRun runCli(const QStringList& arguments,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
              const QString& workingDirectory = QString());
