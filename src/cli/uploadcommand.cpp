#include "uploadcommand.h"

#include "clicommand.h"
#include "progressprinter.h"
#include "publish/ftpfilemanager.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>

namespace {
const char PASSWORD_VARIABLE[] = "TOVALUMEN_FTP_PASSWORD";

QString progressText(const QString& name, qint64 done, qint64 total)
{
    const QString percent = total > 0 ? QString::number(std::min<qint64>(100, done * 100 / total))
                                      : QStringLiteral("?");
    return QStringLiteral("%1: %2%").arg(name, percent);
}

// The server path of a file in the folder.
QString remotePath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? QString(folder + name)
                                             : QString(folder + QLatin1Char('/') + name);
}

bool uploadFile(FtpFileManager& target, const QString& folder, const QString& path, QString& error)
{
    const QString name = QFileInfo(path).fileName();
    ProgressPrinter printer;
    const QMetaObject::Connection progress =
        QObject::connect(&target, &FtpFileManager::dataTransferProgress,
                         [&printer, &name](qint64 done, qint64 total) {
                             printer.update(progressText(name, done, total));
                         });
    const bool ok = target.putfile(remotePath(folder, name), path);
    QObject::disconnect(progress);
    if (ok)
        printer.update(QStringLiteral("%1: 100%").arg(name));
    printer.finish();
    if (!ok)
        error = QFileInfo(path).isReadable() ? target.errorString()
                                             : QStringLiteral("Cannot read '%1'.").arg(path);
    return ok;
}

// The problem with the files named on the command line, if any, found
// before anything goes to the server.
QString unreadableFile(const QStringList& files)
{
    for (const QString& path : files) {
        const QFileInfo info(path);
        if (!info.isFile() || !info.isReadable())
            return QStringLiteral("Cannot read '%1'.").arg(path);
    }
    return QString();
}
} // namespace

int runUploadCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Uploads files into a folder of an FTP server, making the folder when it "
                       "is missing. The password comes from the environment variable %1, or "
                       "else from the address.")
            .arg(QLatin1String(PASSWORD_VARIABLE)));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Files to upload."),
                                 QStringLiteral("FILE..."));
    parser.addPositionalArgument(QStringLiteral("ADDRESS"),
                                 QStringLiteral("ftp://USER@HOST[:PORT]/FOLDER"));
    int exitCode = ExitSuccess;
    if (parseCommandLine(parser, arguments, 2, exitCode) == ParseOutcome::Exit)
        return exitCode;

    QStringList files = parser.positionalArguments();
    const QUrl url(files.takeLast());
    if (!url.isValid() || url.scheme() != QLatin1String("ftp") || url.host().isEmpty()) {
        printError(QStringLiteral("Not an address of the form ftp://USER@HOST[:PORT]/FOLDER: %1")
                       .arg(url.toString(QUrl::RemovePassword)));
        printError(parser.helpText());
        return ExitUsage;
    }
    const QString problem = unreadableFile(files);
    if (!problem.isEmpty()) {
        printError(problem);
        return ExitFailure;
    }
    const QString password = qEnvironmentVariableIsSet(PASSWORD_VARIABLE)
        ? qEnvironmentVariable(PASSWORD_VARIABLE)
        : url.password(QUrl::FullyDecoded);
    QUrl server = url;
    server.setPassword(password, QUrl::DecodedMode);
    // An address without a path means the server's root.
    QString folder = url.path(QUrl::FullyDecoded);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (folder.isEmpty())
        folder = QStringLiteral("/");

    FtpFileManager target(server);
    if (!target.mkpath(folder)) {
        printError(target.errorString());
        return ExitFailure;
    }
    QString error;
    for (const QString& file : qAsConst(files)) {
        if (!uploadFile(target, folder, file, error)) {
            printError(error);
            return ExitFailure;
        }
    }
    return ExitSuccess;
}
