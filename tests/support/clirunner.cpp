#include "clirunner.h"

#include <QProcess>

CliRun runCli(const QStringList& arguments, const QProcessEnvironment& environment,
              const QString& workingDirectory)
{
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.setWorkingDirectory(workingDirectory);
    cli.start(QStringLiteral(TOVALUMEN_CLI), arguments);
    CliRun run;
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = cli.exitCode();
    run.out = QString::fromUtf8(cli.readAllStandardOutput());
    run.err = QString::fromUtf8(cli.readAllStandardError());
    return run;
}
