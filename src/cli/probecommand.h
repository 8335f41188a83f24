#pragma once

#include <QStringList>

// tovalumen-cli probe VIDEO [--json]
int runProbeCommand(const QStringList& arguments);
