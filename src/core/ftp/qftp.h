#pragma once

#include <QObject>
#include <QScopedPointer>
#include <QString>

class QIODevice;
class QFtpPrivate;

// An asynchronous FTP client driven by the event loop of its thread. Every
// operation is queued and returns its identifier at once; the operations run
// one after the other and report through the signals. A failed operation
// drops the operations queued after it.
//
// Built: connecting, logging in, changing and making directories, uploads in
// passive mode, quitting and aborting. Not built (nothing in the program uses
// them): active mode, proxies, listings, downloads, removing and renaming,
// raw commands.
class QFtp : public QObject
{
    Q_OBJECT
public:
    // The numbers are fixed: callers compare them.
    enum State {
        Unconnected = 0,
        HostLookup = 1,
        Connecting = 2,
        Connected = 3,
        LoggedIn = 4,
        Closing = 5
    };
    Q_ENUM(State)
    enum Error {
        NoError = 0,
        UnknownError = 1,
        HostNotFound = 2,
        ConnectionRefused = 3,
        NotConnected = 4
    };
    Q_ENUM(Error)
    enum Command {
        None = 0,
        SetTransferMode = 1,
        SetProxy = 2,
        ConnectToHost = 3,
        Login = 4,
        Close = 5,
        List = 6,
        Cd = 7,
        Get = 8,
        Put = 9,
        Remove = 10,
        Mkdir = 11,
        Rmdir = 12,
        Rename = 13,
        RawCommand = 14
    };
    Q_ENUM(Command)
    enum TransferMode { Active = 0, Passive = 1 };
    Q_ENUM(TransferMode)
    enum TransferType { Binary = 0, Ascii = 1 };
    Q_ENUM(TransferType)

    explicit QFtp(QObject* parent = nullptr);
    // Aborts what runs and closes; the connections go with the object.
    ~QFtp() override;

    int connectToHost(const QString& host, quint16 port = 21);
    // A null user logs in as "anonymous", a null password is "anonymous@";
    // empty strings are sent as they are.
    int login(const QString& user = QString(), const QString& password = QString());
    int cd(const QString& directory);
    int mkdir(const QString& directory);
    // The bytes are copied.
    int put(const QByteArray& data, const QString& file, TransferType type = Binary);
    // The device must be open for reading and stay alive until the upload
    // has finished; a sequential device is sent as its data arrives.
    int put(QIODevice* device, const QString& file, TransferType type = Binary);
    int close();

    State state() const;
    Error error() const;
    QString errorString() const;

public slots:
    // Drops the queued operations and stops the running one.
    void abort();

signals:
    void stateChanged(int state);
    void dataTransferProgress(qint64 done, qint64 total);
    void commandStarted(int id);
    void commandFinished(int id, bool error);
    void done(bool error);

private:
    friend class QFtpPrivate;
    QScopedPointer<QFtpPrivate> d;
};
