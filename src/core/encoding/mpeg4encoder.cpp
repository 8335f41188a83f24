#include "encoding/mpeg4encoder.h"

#include "encoding/compositevideoencoder.h"
#include "encoding/ffmpegencoder.h"
#include "encoding/ffmpegencoderutils.h"
#include "encoding/videoencoderparameters.h"
#include "util/miscutils.h"

QStringList Mpeg4Encoder::arguments(const QString& input, const QVariantMap& parameters) const
{
    const int quality = parameters.value(VideoEncoderParameters::TARGET_QUALITY).toInt();
    QStringList arguments {QStringLiteral("-y"), QStringLiteral("-i"), quotedString(input)};
    // None of these options holds a space.
    arguments +=
        QStringLiteral("-f mp4 -strict experimental -vcodec libx264 -crf %1 -profile:v high422 "
                       "-level 4.0 -pix_fmt yuv420p -movflags +faststart -acodec aac -ac 2 "
                       "-ab 128k -ar 44.1k")
            .arg(22 - 4 * quality)
            .split(QLatin1Char(' '));
    applyFilters(parameters, arguments, evenSize(resolveTargetSize(parameters)));
    return arguments;
}

VideoEncoder* Mpeg4Encoder::createEncoder(const QString& input, const QString& output,
                                          QVariantMap& parameters) const
{
    auto* encoder = new CompositeVideoEncoder(output);
    encoder->add(QSharedPointer<VideoEncoder>(
                     CreateFFmpegEncoder(arguments(input, parameters), parameters, output)),
                 1.0);
    return encoder;
}

QString Mpeg4Encoder::getExtension() const
{
    return QStringLiteral("m4v");
}

VideoEncoderBuilder* CreateMpeg4Encoder()
{
    return new Mpeg4Encoder;
}
