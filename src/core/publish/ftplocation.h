#pragma once

#include <QString>
#include <QUrl>

// A named FTP account the user defined once and picks when publishing. The
// password in the address is always the enciphered one (see passwordcipher.h).
struct FtpLocation
{
    QString name;
    QUrl url;
    bool passive = true;
};
