#pragma once

#include <QStringList>

// tovalumen-cli upload FILE... ftp://USER@HOST[:PORT]/FOLDER
int runUploadCommand(const QStringList& arguments);
