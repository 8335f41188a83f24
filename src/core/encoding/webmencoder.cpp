#include "encoding/webmencoder.h"

#include "encoding/ffmpegencoder.h"
#include "encoding/ffmpegencoderutils.h"
#include "encoding/videoencoderparameters.h"
#include "util/miscutils.h"

namespace {
// The fixed quantizer: lower is better.
int quantizer(int quality)
{
    if (quality < 0)
        return 27;
    return quality == 0 ? 14 : 8;
}
} // namespace

QStringList WebMEncoder::arguments(const QString& input, const QVariantMap& parameters) const
{
    const int q = quantizer(parameters.value(VideoEncoderParameters::TARGET_QUALITY).toInt());
    // Without a bit rate libvpx runs in constant-quality mode, and ffmpeg's
    // default quality level (32) lies outside a fixed quantizer range below
    // it: libvpx refuses to start. Setting the level to the same quantizer
    // keeps the fixed quantizer in charge of the quality.
    QStringList arguments {QStringLiteral("-y"), QStringLiteral("-i"), quotedString(input)};
    // None of these options holds a space.
    arguments +=
        QStringLiteral("-f webm -vcodec libvpx -vprofile 0 -g 120 -rc_lookahead 16 "
                       "-quality good -speed 0 -qmax %1 -qmin %1 -crf %1 -acodec libvorbis "
                       "-ac 2 -ab 128k -ar 44.1k")
            .arg(q)
            .split(QLatin1Char(' '));
    applyFilters(parameters, arguments);
    return arguments;
}

VideoEncoder* WebMEncoder::createEncoder(const QString& input, const QString& output,
                                         QVariantMap& parameters) const
{
    return CreateFFmpegEncoder(arguments(input, parameters), parameters, output);
}

QString WebMEncoder::getExtension() const
{
    return QStringLiteral("webm");
}

VideoEncoderBuilder* CreateWebMEncoder()
{
    return new WebMEncoder;
}
