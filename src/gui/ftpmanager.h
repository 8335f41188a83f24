#pragma once

#include "publish/ftplocation.h"

#include <QDialog>
#include <QList>

#include <memory>

namespace Ui {
class FtpManagerClass;
}
class QFtp;

// Edits the FTP locations that the publish dialog keeps, and tests one by
// connecting and logging in. Passwords are enciphered as soon as they are
// typed; the password field only ever shows a placeholder.
class FtpManager : public QDialog
{
    Q_OBJECT
public:
    explicit FtpManager(QWidget* parent = nullptr);
    ~FtpManager() override;

    // The list stays its owner's; the manager edits it in place.
    void setLocations(QList<FtpLocation>* locations) { m_locations = locations; }

public slots:
    void newLocation();
    void testLocation();
    void deleteLocation();
    void locationChanged(int row);
    void ftpDone(bool error);
    void accept() override;

signals:
    // The location test has ended and its message box was closed.
    void testFinished(bool error);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateLocation(bool dropIncomplete);
    void showWorkingLocation();
    bool isListRow(int row) const;
    void removeListWidgetRow(int row);

    std::unique_ptr<Ui::FtpManagerClass> ui;
    QList<FtpLocation>* m_locations = nullptr;
    FtpLocation m_working;
    int m_currentRow = -1;
    QFtp* m_testClient = nullptr;
};
