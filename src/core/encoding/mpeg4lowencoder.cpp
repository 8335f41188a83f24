#include "encoding/mpeg4lowencoder.h"

#include "encoding/compositevideoencoder.h"
#include "encoding/ffmpegencoder.h"
#include "encoding/ffmpegencoderutils.h"
#include "encoding/qtfaststart.h"
#include "util/miscutils.h"

namespace {
const QSize LargestSize(640, 480);
}

QStringList Mpeg4LowEncoder::arguments(const QString& input, const QVariantMap& parameters) const
{
    QStringList arguments {QStringLiteral("-y"), QStringLiteral("-i"), quotedString(input)};
    // None of these options holds a space.
    arguments += QStringLiteral("-f mp4 -strict experimental -vcodec libx264 -vprofile baseline "
                                "-pix_fmt yuv420p -acodec aac -ac 1 -ab 48k -ar 16k")
                     .split(QLatin1Char(' '));
    QSize size = resolveTargetSize(parameters);
    if (size.width() > LargestSize.width() || size.height() > LargestSize.height())
        size = size.scaled(LargestSize, Qt::KeepAspectRatio);
    applyFilters(parameters, arguments, evenSize(size));
    return arguments;
}

VideoEncoder* Mpeg4LowEncoder::createEncoder(const QString& input, const QString& output,
                                             QVariantMap& parameters) const
{
    auto* encoder = new CompositeVideoEncoder(output);
    encoder->add(QSharedPointer<VideoEncoder>(
                     CreateFFmpegEncoder(arguments(input, parameters), parameters, output)),
                 0.9);
    encoder->add(QSharedPointer<VideoEncoder>(CreateMpeg4MetaFixer(output)), 0.1);
    return encoder;
}

QString Mpeg4LowEncoder::getExtension() const
{
    return QStringLiteral("mp4");
}

VideoEncoderBuilder* CreateMpeg4LowEncoder()
{
    return new Mpeg4LowEncoder;
}
