#include "ftpmanager.h"

#include "ftp/qftp.h"
#include "publish/passwordcipher.h"
#include "ui_ftpmanager.h"

#include <QMessageBox>
#include <QSignalBlocker>

namespace {
const int DEFAULT_FTP_PORT = 21;
// Stands in the password field for the stored password, which is never shown.
const QString PASSWORD_PLACEHOLDER(12, QLatin1Char(' '));
const QString FTP_PREFIX = QStringLiteral("ftp://");
} // namespace

FtpManager::FtpManager(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::FtpManagerClass)
{
    ui->setupUi(this);
    setWindowFlags((windowFlags() | Qt::WindowCloseButtonHint) & ~Qt::WindowContextHelpButtonHint);
    connect(ui->ftpListWidget, &QListWidget::currentRowChanged, this, &FtpManager::locationChanged);
    connect(ui->btnTestFtp, &QPushButton::clicked, this, &FtpManager::testLocation);
    connect(ui->btnNewFtp, &QPushButton::clicked, this, &FtpManager::newLocation);
    connect(ui->btnDeleteFtp, &QPushButton::clicked, this, &FtpManager::deleteLocation);
    connect(ui->btnClose, &QPushButton::clicked, this, &FtpManager::accept);
}

FtpManager::~FtpManager() = default;

bool FtpManager::isListRow(int row) const
{
    return m_locations && row >= 0 && row < m_locations->size();
}

void FtpManager::removeListWidgetRow(int row)
{
    // Not a change of location: the caller decides what is shown next.
    const QSignalBlocker blocker(ui->ftpListWidget);
    delete ui->ftpListWidget->takeItem(row);
}

void FtpManager::showEvent(QShowEvent* event)
{
    {
        const QSignalBlocker blocker(ui->ftpListWidget);
        ui->ftpListWidget->clear();
        m_currentRow = -1;
        if (m_locations) {
            for (const FtpLocation& location : qAsConst(*m_locations))
                ui->ftpListWidget->addItem(location.name);
        }
    }
    if (ui->ftpListWidget->count() > 0) {
        if (ui->ftpListWidget->currentRow() == 0)
            locationChanged(0);
        else
            ui->ftpListWidget->setCurrentRow(0);
    }
    QDialog::showEvent(event);
}

void FtpManager::locationChanged(int row)
{
    Q_UNUSED(row);
    updateLocation(true);
    m_currentRow = ui->ftpListWidget->currentRow();
    if (isListRow(m_currentRow)) {
        m_working = m_locations->at(m_currentRow);
    } else if (m_currentRow >= 0) {
        m_working = FtpLocation();
        m_working.name = tr("New location");
        m_working.url.setScheme(QStringLiteral("ftp"));
        m_working.url.setPort(DEFAULT_FTP_PORT);
    } else {
        m_working = FtpLocation();
    }
    showWorkingLocation();
}

void FtpManager::showWorkingLocation()
{
    // setText clears each field's modified state.
    ui->edLocationName->setText(m_working.name);
    ui->edFtp->setText(m_working.url.host(QUrl::FullyDecoded));
    ui->edPort->setText(QString::number(m_working.url.port()));
    ui->cbPassive->setChecked(true);
    ui->edUser->setText(m_working.url.userName(QUrl::FullyDecoded));
    ui->edPassw->setText(PASSWORD_PLACEHOLDER);
}

void FtpManager::updateLocation(bool dropIncomplete)
{
    if (ui->edLocationName->isModified() && !ui->edLocationName->text().trimmed().isEmpty())
        m_working.name = ui->edLocationName->text();
    QUrl& url = m_working.url;
    if (url.scheme().isEmpty())
        url.setScheme(QStringLiteral("ftp"));
    if (ui->edFtp->isModified()) {
        QString host = ui->edFtp->text().trimmed();
        if (host.startsWith(FTP_PREFIX, Qt::CaseInsensitive))
            host.remove(0, FTP_PREFIX.size());
        url.setHost(host, QUrl::DecodedMode);
    }
    if (ui->edPort->isModified()) {
        bool isNumber = false;
        const int port = ui->edPort->text().toInt(&isNumber);
        url.setPort(isNumber && port >= 0 && port <= 65535 ? port : DEFAULT_FTP_PORT);
    }
    m_working.passive = true;
    if (ui->edUser->isModified())
        url.setUserName(ui->edUser->text(), QUrl::DecodedMode);
    if (ui->edPassw->isModified())
        url.setPassword(encrypt(ui->edPassw->text()), QUrl::DecodedMode);

    if (!m_locations)
        return;
    if (isListRow(m_currentRow)) {
        (*m_locations)[m_currentRow] = m_working;
        if (QListWidgetItem* item = ui->ftpListWidget->item(m_currentRow))
            item->setText(m_working.name);
    } else if (m_currentRow >= 0) {
        if (!m_working.name.isEmpty() && !url.host().isEmpty()) {
            m_locations->append(m_working);
            m_currentRow = m_locations->size() - 1;
            const QSignalBlocker blocker(ui->ftpListWidget);
            while (ui->ftpListWidget->count() <= m_currentRow)
                ui->ftpListWidget->addItem(QString());
            ui->ftpListWidget->item(m_currentRow)->setText(m_working.name);
        } else if (dropIncomplete) {
            removeListWidgetRow(m_currentRow);
            m_currentRow = -1;
        }
    }
}

void FtpManager::newLocation()
{
    ui->ftpListWidget->addItem(tr("New location"));
    ui->ftpListWidget->setCurrentRow(ui->ftpListWidget->count() - 1);
}

void FtpManager::deleteLocation()
{
    if (isListRow(m_currentRow))
        m_locations->removeAt(m_currentRow);
    const int row = m_currentRow >= 0 ? m_currentRow : ui->ftpListWidget->currentRow();
    if (row >= 0)
        removeListWidgetRow(row);
    m_currentRow = -1;
    locationChanged(ui->ftpListWidget->currentRow());
}

void FtpManager::testLocation()
{
    if (!m_testClient) {
        m_testClient = new QFtp(this);
        connect(m_testClient, &QFtp::done, this, &FtpManager::ftpDone);
    }
    updateLocation(false);
    const QUrl& url = m_working.url;
    m_testClient->connectToHost(url.host(QUrl::FullyDecoded),
                                static_cast<quint16>(url.port(DEFAULT_FTP_PORT)));
    m_testClient->login(url.userName(QUrl::FullyDecoded),
                        decrypt(url.password(QUrl::FullyDecoded)));
    m_testClient->close();
}

void FtpManager::ftpDone(bool error)
{
    if (!m_testClient)
        return;
    const QString clientError = m_testClient->errorString();
    // Forgotten before the message box runs its own event loop: the next
    // test gets a client of its own.
    m_testClient->deleteLater();
    m_testClient = nullptr;
    if (error)
        QMessageBox::information(
            this, QString(),
            QStringLiteral("%1\n%2").arg(QStringLiteral("Unable to connect to the FTP server"),
                                         clientError));
    else
        QMessageBox::information(this, QString(), tr("Connection ok"));
    emit testFinished(error);
}

void FtpManager::accept()
{
    updateLocation(true);
    QDialog::accept();
}
