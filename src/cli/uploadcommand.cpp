#include "uploadcommand.h"

#include "clicommand.h"
#include "ftp/qftp.h"
#include "progressprinter.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {
const char PASSWORD_VARIABLE[] = "TOVALUMEN_FTP_PASSWORD";

// Runs what is queued on the client; true when all of it succeeded.
bool finishQueue(QFtp& ftp)
{
    QEventLoop loop;
    QObject::connect(&ftp, &QFtp::done, &loop,
                     [&loop](bool error) { loop.exit(error ? ExitFailure : ExitSuccess); });
    return loop.exec() == ExitSuccess;
}

// Changes into the folder from the root, making each level that is missing.
bool enterFolder(QFtp& ftp, const QString& folder)
{
    ftp.cd(QStringLiteral("/"));
    if (!finishQueue(ftp))
        return false;
    const QStringList levels = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& level : levels) {
        ftp.cd(level);
        if (finishQueue(ftp))
            continue;
        ftp.mkdir(level);
        ftp.cd(level);
        if (!finishQueue(ftp))
            return false;
    }
    return true;
}

QString progressText(const QString& name, qint64 done, qint64 total)
{
    const QString percent = total > 0 ? QString::number(std::min<qint64>(100, done * 100 / total))
                                      : QStringLiteral("?");
    return QStringLiteral("%1: %2%").arg(name, percent);
}

bool uploadFile(QFtp& ftp, const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString());
        return false;
    }
    const QString name = QFileInfo(path).fileName();
    ProgressPrinter printer;
    const QMetaObject::Connection progress = QObject::connect(
        &ftp, &QFtp::dataTransferProgress, [&printer, &name](qint64 done, qint64 total) {
            printer.update(progressText(name, done, total));
        });
    ftp.put(&file, name, QFtp::Binary);
    const bool ok = finishQueue(ftp);
    QObject::disconnect(progress);
    if (ok)
        printer.update(QStringLiteral("%1: 100%").arg(name));
    printer.finish();
    if (!ok)
        error = ftp.errorString();
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
    const QString user = url.userName(QUrl::FullyDecoded);
    const QString password = qEnvironmentVariableIsSet(PASSWORD_VARIABLE)
        ? qEnvironmentVariable(PASSWORD_VARIABLE)
        : url.password(QUrl::FullyDecoded);

    QFtp ftp;
    ftp.connectToHost(url.host(QUrl::FullyDecoded), static_cast<quint16>(url.port(21)));
    ftp.login(user.isEmpty() ? QString() : user, password);
    bool ok = finishQueue(ftp) && enterFolder(ftp, url.path(QUrl::FullyDecoded));
    QString error = ftp.errorString();
    for (int i = 0; ok && i < files.size(); ++i)
        ok = uploadFile(ftp, files.at(i), error);
    if (!ok) {
        printError(error);
        return ExitFailure;
    }
    ftp.close();
    if (!finishQueue(ftp)) {
        printError(ftp.errorString());
        return ExitFailure;
    }
    return ExitSuccess;
}
