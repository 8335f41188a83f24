#pragma once

#include <QStringList>

// tovalumen-cli publish: publishes converted media with its page, how-to page
// and support files into a folder or onto an FTP server.
int runPublishCommand(const QStringList& arguments);
