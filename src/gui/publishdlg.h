#pragma once

#include "publish/ftplocation.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QVariant>

#include <memory>

namespace Ui {
class PublishDlgClass;
}
class FtpManager;
class QComboBox;

// Asks where a video is published: into a folder, to an FTP server or into
// an existing page, editing the video's publish parameters in place. Keeps
// the recent folders and pages and the FTP locations in the settings: they
// are read when the dialog opens and written when it goes.
class PublishDlg : public QDialog
{
    Q_OBJECT
public:
    explicit PublishDlg(QWidget* parent = nullptr);
    ~PublishDlg() override;

    // The map stays the caller's; the dialog shows it now and writes the
    // choices into it when accepted.
    void setParameters(QMap<QString, QVariant>* parameters);
    const QList<FtpLocation>& locations() const { return m_locations; }

public slots:
    void accept() override;
    void selectPublishFolder();
    void selectPublishHTML();
    void showFtpManager();

private:
    void loadSettings();
    void saveSettings() const;
    void updateFtpList();
    void displayParameters();
    void saveParameters();

    std::unique_ptr<Ui::PublishDlgClass> ui;
    QList<FtpLocation> m_locations;
    FtpManager* m_ftpManager = nullptr;
    QMap<QString, QVariant>* m_parameters = nullptr;
};
