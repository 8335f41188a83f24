#pragma once

#include <QMap>
#include <QString>
#include <QThread>
#include <QVariant>

#include <atomic>

class FileManager;
class QTemporaryFile;

// One publish of one converted video, on a thread of its own: fills the page
// and how-to templates with the video block, gathers the page, poster, media,
// player and support files, and stores them through a publish target (a local
// folder or an FTP server). Cancelling stops before the next file.
class PublishThread : public QThread
{
    Q_OBJECT
public:
    // Works on a copy of the publish parameter map.
    PublishThread(QObject* parent, const QMap<QString, QVariant>& parameters);
    // A job still running is cancelled and waited for.
    ~PublishThread() override;

    // Writes the relative addresses of the media folder and the published
    // files into the map. `suffix` follows the media folder's name: empty,
    // a number, or a placeholder for the page insertion.
    void makeUri(const QString& suffix);
    // The HTML block that shows the video, from the map (after makeUri).
    QString createVideoElement() const;
    // Turns the percent-encoded "$" of a video block back into "$", so that
    // a "$SUFFIX$" placeholder can be found again: "%24" in addresses, and
    // "%2524" in the Flash variables, which are encoded twice. A raw "$" is
    // as good an address character in both places.
    static QString restoreDollarSigns(QString block);

    QMap<QString, QVariant> parameters() const { return m_parameters; }
    bool hasError() const { return m_hasError; }
    // Whether the copying step ran to its end (or was cancelled); not the
    // thread's state, which QThread::isFinished() tells.
    bool isFinished() const { return m_finished; }
    QString getError() const { return m_error; }

public slots:
    void cancel();

signals:
    // Always out of 100: 10 when the pages are made, 100 when all is stored.
    void progress(int current, int total);
    void step(const QString& title);
    void item(const QString& title);

protected:
    void run() override;

private:
    QString publishingFolder() const;
    void setBatchLinks();
    bool preparePages(const QString& templates, QTemporaryFile& page, QTemporaryFile& howto);
    bool gatherFiles(const QString& folder, const QString& templates, const QString& howtoName,
                     QTemporaryFile& page, QTemporaryFile& howto, QTemporaryFile& script);
    FileManager* createTarget() const;
    QString prepareExportFile(const QString& templatePath, const QString& videoBlock,
                              QTemporaryFile& file) const;
    static QString writeTempFile(const QString& text, QTemporaryFile& file);
    static bool readFile(const QString& path, QString& text);
    void copyFiles(FileManager& target);
    void fail(const QString& error);

    QMap<QString, QVariant> m_parameters;
    QMap<QString, QString> m_files;
    std::atomic<bool> m_finished {false};
    std::atomic<bool> m_canceled {false};
    std::atomic<bool> m_hasError {false};
    QString m_error;
};
