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

CliRun runCli(const QStringList& arguments,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
