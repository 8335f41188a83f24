#pragma once

#include <QStringList>

// tovalumen-cli ffmpeg [--no-threads] OUTPUT -- ARG...
int runFFmpegCommand(const QStringList& arguments);
