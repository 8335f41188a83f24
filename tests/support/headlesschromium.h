#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// Headless Chromium with a fresh profile of its own, opening one page. The
// browser and every process it started are ended when the object goes.
class HeadlessChromium
{
public:
    explicit HeadlessChromium(const QStringList& extraArguments = QStringList());
    ~HeadlessChromium();

    HeadlessChromium(const HeadlessChromium&) = delete;
    HeadlessChromium& operator=(const HeadlessChromium&) = delete;

    static QString program();
    // False when the browser cannot be started.
    bool open(const QUrl& url);
    // What the browser wrote so far, for failure messages.
    QString output();

private:
    // The browser leads a process group of its own, so that its helpers can
    // be ended together with it.
    class GroupLeader : public QProcess
    {
    protected:
        void setupChildProcess() override;
    };

    void stop();

    QStringList m_extraArguments;
    QTemporaryDir m_profile;
    GroupLeader m_process;
    QByteArray m_output;
};
