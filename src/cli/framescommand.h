#pragma once

#include <QStringList>

// tovalumen-cli frames VIDEO --out DIR [--count N]
int runFramesCommand(const QStringList& arguments);
