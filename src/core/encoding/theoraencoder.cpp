#include "encoding/theoraencoder.h"

#include "encoding/ffmpegencoder.h"
#include "encoding/ffmpegencoderutils.h"
#include "util/miscutils.h"

QStringList TheoraEncoder::arguments(const QString& input, const QVariantMap& parameters) const
{
    QStringList arguments {QStringLiteral("-y"), QStringLiteral("-i"), quotedString(input)};
    // None of these options holds a space.
    arguments += QStringLiteral("-f ogg -vcodec libtheora -qscale 5 -flags +mv4+aic -mbd rd -cmp 2 "
                                "-subcmp 2 -bf 2 -acodec libvorbis -ac 2 -ab 128k -ar 44.1k")
                     .split(QLatin1Char(' '));
    applyFilters(parameters, arguments);
    return arguments;
}

VideoEncoder* TheoraEncoder::createEncoder(const QString& input, const QString& output,
                                           QVariantMap& parameters) const
{
    return CreateFFmpegEncoder(arguments(input, parameters), parameters, output);
}

QString TheoraEncoder::getExtension() const
{
    return QStringLiteral("ogv");
}

VideoEncoderBuilder* CreateTheoraEncoder()
{
    return new TheoraEncoder;
}
