#pragma once

#include <QStringList>

// tovalumen-cli faststart FILE
int runFastStartCommand(const QStringList& arguments);
