#include "publishdlg.h"

#include "ftpmanager.h"
#include "project/projectsettings.h"
#include "ui_publishdlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString RECENT_PUBLISH = QStringLiteral("RecentPublish");
const QString RECENT_HTML = QStringLiteral("RecentHtml");
const QString FTP_LIST = QStringLiteral("FtpList");
const QString DEFAULT_INDEX = QStringLiteral("tlm.html");
const int DEFAULT_FTP_PORT = 21;

QString defaultPublishFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QDir::separator() +
        QCoreApplication::applicationName();
}

// Paths are kept with "/" whatever the user typed, on every platform.
QString slashed(const QString& path)
{
    return QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

void loadRecent(QSettings& settings, const QString& group, QComboBox* box)
{
    settings.beginGroup(group);
    for (int i = 0; i < box->maxCount(); ++i) {
        const QString entry = settings.value(QString::number(i)).toString();
        if (entry.isEmpty())
            break;
        box->addItem(entry);
    }
    settings.endGroup();
}

void saveRecent(QSettings& settings, const QString& group, const QComboBox* box)
{
    settings.remove(group);
    settings.beginGroup(group);
    for (int i = 0; i < box->count(); ++i)
        settings.setValue(QString::number(i), box->itemText(i));
    settings.endGroup();
}

// The text just used goes first, so that the box shows it next time; an
// entry that differs only in case gives way to it, and the oldest entry
// goes when the box is full.
void rememberText(QComboBox* box)
{
    const QString text = box->currentText().trimmed();
    if (text.isEmpty())
        return;
    for (int i = box->count() - 1; i >= 0; --i) {
        if (box->itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            box->removeItem(i);
    }
    while (box->count() >= box->maxCount())
        box->removeItem(box->count() - 1);
    box->insertItem(0, text);
    box->setCurrentIndex(0);
}
} // namespace

PublishDlg::PublishDlg(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::PublishDlgClass)
{
    ui->setupUi(this);
    setWindowFlags((windowFlags() | Qt::WindowCloseButtonHint) & ~Qt::WindowContextHelpButtonHint);

    connect(ui->rbPublishToFolder, &QRadioButton::toggled, ui->edPublishFolder,
            &QWidget::setEnabled);
    connect(ui->rbPublishToFolder, &QRadioButton::toggled, ui->btnBrowseFolder,
            &QWidget::setEnabled);
    connect(ui->rbPublishToFolder, &QRadioButton::toggled, ui->cbOpenAfterPublish,
            &QWidget::setEnabled);
    connect(ui->rbPublishToFtp, &QRadioButton::toggled, ui->cbFtp, &QWidget::setEnabled);
    connect(ui->rbPublishToFtp, &QRadioButton::toggled, ui->btnFtpManager, &QWidget::setEnabled);
    connect(ui->rbPublishToFtp, &QRadioButton::toggled, ui->edFtpFolder, &QWidget::setEnabled);
    connect(ui->rbPublishToHTML, &QRadioButton::toggled, ui->edPublishHTML, &QWidget::setEnabled);
    connect(ui->rbPublishToHTML, &QRadioButton::toggled, ui->btnBrowseHTML, &QWidget::setEnabled);
    connect(ui->rbPublishToHTML, &QRadioButton::toggled, ui->cbOpenAfterPublish,
            &QWidget::setEnabled);
    connect(ui->rbPublishToHTML, &QRadioButton::toggled, ui->edIndexName, &QWidget::setDisabled);
    connect(ui->btnBrowseFolder, &QPushButton::clicked, this, &PublishDlg::selectPublishFolder);
    connect(ui->btnBrowseHTML, &QPushButton::clicked, this, &PublishDlg::selectPublishHTML);
    connect(ui->btnFtpManager, &QPushButton::clicked, this, &PublishDlg::showFtpManager);
    connect(ui->pushButton, &QPushButton::clicked, this, &PublishDlg::accept);

    ui->edPublishFolder->setEditText(defaultPublishFolder());
    loadSettings();
    updateFtpList();
}

PublishDlg::~PublishDlg()
{
    saveSettings();
}

void PublishDlg::setParameters(QMap<QString, QVariant>* parameters)
{
    m_parameters = parameters;
    displayParameters();
}

void PublishDlg::loadSettings()
{
    QSettings settings;
    loadRecent(settings, RECENT_PUBLISH, ui->edPublishFolder);
    loadRecent(settings, RECENT_HTML, ui->edPublishHTML);

    m_locations.clear();
    const int count = settings.beginReadArray(FTP_LIST);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        FtpLocation location;
        location.name = settings.value(QStringLiteral("Name")).toString();
        location.url.setScheme(QStringLiteral("ftp"));
        location.url.setHost(settings.value(QStringLiteral("Host")).toString(), QUrl::DecodedMode);
        location.url.setPort(settings.value(QStringLiteral("Port"), DEFAULT_FTP_PORT).toInt());
        location.url.setUserName(settings.value(QStringLiteral("User")).toString(),
                                 QUrl::DecodedMode);
        location.url.setPassword(settings.value(QStringLiteral("Password")).toString(),
                                 QUrl::DecodedMode);
        location.passive = settings.value(QStringLiteral("Passive")).toBool();
        m_locations.append(location);
    }
    settings.endArray();
}

void PublishDlg::saveSettings() const
{
    QSettings settings;
    saveRecent(settings, RECENT_PUBLISH, ui->edPublishFolder);
    saveRecent(settings, RECENT_HTML, ui->edPublishHTML);

    // A shorter list must not leave the keys of removed entries behind.
    settings.remove(FTP_LIST);
    settings.beginWriteArray(FTP_LIST, m_locations.size());
    for (int i = 0; i < m_locations.size(); ++i) {
        const FtpLocation& location = m_locations.at(i);
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("Name"), location.name);
        settings.setValue(QStringLiteral("Host"), location.url.host(QUrl::FullyDecoded));
        const int port = location.url.port(DEFAULT_FTP_PORT);
        if (port != DEFAULT_FTP_PORT)
            settings.setValue(QStringLiteral("Port"), port);
        const QString user = location.url.userName(QUrl::FullyDecoded);
        if (!user.isEmpty()) {
            settings.setValue(QStringLiteral("User"), user);
            // Enciphered, as the location holds it.
            settings.setValue(QStringLiteral("Password"),
                              location.url.password(QUrl::FullyDecoded));
        }
        settings.setValue(QStringLiteral("Passive"), location.passive ? 1 : 0);
    }
    settings.endArray();
}

void PublishDlg::updateFtpList()
{
    const QString shown = ui->cbFtp->currentText();
    ui->cbFtp->clear();
    for (const FtpLocation& location : qAsConst(m_locations))
        ui->cbFtp->addItem(location.name);
    ui->cbFtp->setCurrentIndex(
        ui->cbFtp->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void PublishDlg::displayParameters()
{
    if (!m_parameters)
        return;
    const QMap<QString, QVariant>& parameters = *m_parameters;
    const QString type = parameters.value(PUBLISH_TYPE).toString();
    if (type == PUBLISH_TYPE_LOCAL) {
        ui->rbPublishToFolder->setChecked(true);
        ui->edPublishFolder->setEditText(parameters.value(PUBLISH_PATH).toString());
        ui->cbOpenAfterPublish->setChecked(parameters.value(PUBLISH_PREVIEW).toBool());
    } else if (type == PUBLISH_TYPE_FTP) {
        ui->rbPublishToFtp->setChecked(true);
        ui->edFtpFolder->setText(parameters.value(PUBLISH_PATH).toString());
        const QUrl server(parameters.value(PUBLISH_FTP_SERVER).toString());
        int selected = -1;
        for (int i = 0; i < m_locations.size() && selected < 0; ++i) {
            if (m_locations.at(i).url == server)
                selected = i;
        }
        ui->cbFtp->setCurrentIndex(selected);
    } else if (type == PUBLISH_TYPE_HTML) {
        ui->rbPublishToHTML->setChecked(true);
        ui->edPublishHTML->setEditText(parameters.value(PUBLISH_HTML).toString());
        ui->cbOpenAfterPublish->setChecked(parameters.value(PUBLISH_PREVIEW).toBool());
    }
    const QString index = parameters.value(PUBLISH_INDEX_FILE).toString();
    ui->edIndexName->setText(index.isEmpty() ? DEFAULT_INDEX : index);
}

void PublishDlg::saveParameters()
{
    QMap<QString, QVariant>& parameters = *m_parameters;
    const QString index = ui->edIndexName->text().trimmed();
    if (ui->rbPublishToFolder->isChecked()) {
        const QString folder = ui->edPublishFolder->currentText().trimmed();
        parameters.insert(PUBLISH_TYPE, PUBLISH_TYPE_LOCAL);
        parameters.insert(PUBLISH_PATH,
                          slashed(folder.isEmpty() ? defaultPublishFolder() : folder));
        parameters.insert(PUBLISH_PREVIEW, ui->cbOpenAfterPublish->isChecked());
        parameters.insert(PUBLISH_INDEX_FILE, index.isEmpty() ? DEFAULT_INDEX : index);
    } else if (ui->rbPublishToFtp->isChecked()) {
        parameters.insert(PUBLISH_TYPE, PUBLISH_TYPE_FTP);
        parameters.insert(PUBLISH_PATH, slashed(ui->edFtpFolder->text().trimmed()));
        const int selected = ui->cbFtp->currentIndex();
        if (selected >= 0 && selected < m_locations.size())
            parameters.insert(PUBLISH_FTP_SERVER, m_locations.at(selected).url);
        else
            parameters.remove(PUBLISH_FTP_SERVER);
        parameters.insert(PUBLISH_INDEX_FILE, index.isEmpty() ? DEFAULT_INDEX : index);
    } else {
        parameters.insert(PUBLISH_TYPE, PUBLISH_TYPE_HTML);
        parameters.insert(PUBLISH_PREVIEW, ui->cbOpenAfterPublish->isChecked());
        parameters.insert(PUBLISH_HTML, slashed(ui->edPublishHTML->currentText().trimmed()));
    }
}

void PublishDlg::accept()
{
    if (m_parameters)
        saveParameters();
    rememberText(ui->edPublishFolder);
    rememberText(ui->edPublishHTML);
    QDialog::accept();
}

void PublishDlg::selectPublishFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Browse for folder"),
                                                             ui->edPublishFolder->currentText(),
                                                             QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        ui->edPublishFolder->setEditText(QDir::toNativeSeparators(folder));
}

void PublishDlg::selectPublishHTML()
{
    const QString current = ui->edPublishHTML->currentText();
    const QString start = current.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QDir::separator()
        : QFileInfo(current).path();
    const QString page =
        QFileDialog::getOpenFileName(this, tr("Browse for HTML file"), start,
                                     tr("Images") + QStringLiteral("(*.html *.xhtml *.htm)"));
    if (!page.isEmpty())
        ui->edPublishHTML->setEditText(QDir::toNativeSeparators(page));
}

void PublishDlg::showFtpManager()
{
    if (!m_ftpManager) {
        m_ftpManager = new FtpManager(this);
        m_ftpManager->setLocations(&m_locations);
    }
    m_ftpManager->exec();
    updateFtpList();
}
