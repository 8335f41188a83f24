#pragma once

#include <QStringList>

// tovalumen-cli convert VIDEO --out DIR [--formats mp4,lowmp4,webm,ogv]
//     [--size WxH | --height H] [--resize pad|crop|keep]
//     [--quality low|normal|high] [--watermark-image PNG]
int runConvertCommand(const QStringList& arguments);
