#include "encoding/ffmpegencoderutils.h"

#include "encoding/videoencoderparameters.h"
#include "util/miscutils.h"

const QSize WatermarkDefaultOffset(8, 8);
const QSize WatermarkOffsetAligment(8, 8);

namespace {
struct Resize
{
    QStringList filters;
    QSize watermarkOffset = WatermarkDefaultOffset;
};

QString scaleFilter(const QSize& size)
{
    return QStringLiteral("scale=%1:%2").arg(size.width()).arg(size.height());
}

Resize resizeFilters(const QString& method, const QSize& source, const QSize& target)
{
    namespace P = VideoEncoderParameters;
    Resize resize;
    if (method == P::RESIZE_METHOD_CROP) {
        const QSize scaled = source.scaled(target, Qt::KeepAspectRatioByExpanding);
        resize.filters << scaleFilter(scaled);
        if (scaled != target)
            resize.filters << QStringLiteral("crop=%1:%2").arg(target.width()).arg(target.height());
    } else if (method == P::RESIZE_METHOD_PAD) {
        const QSize scaled = source.scaled(target, Qt::KeepAspectRatio);
        resize.filters << scaleFilter(scaled);
        if (scaled != target) {
            const int px = (target.width() - scaled.width()) / 2;
            const int py = (target.height() - scaled.height()) / 2;
            resize.filters << QStringLiteral("pad=%1:%2:%3:%4")
                                  .arg(target.width())
                                  .arg(target.height())
                                  .arg(px)
                                  .arg(py);
            resize.watermarkOffset =
                alignSize(QSize(px, py) + WatermarkDefaultOffset, WatermarkOffsetAligment);
        }
    } else if (method == P::RESIZE_METHOD_KEEP_RATIO) {
        resize.filters << scaleFilter(target);
    }
    return resize;
}

// The path reaches ffmpeg inside a double-quoted run of the command line and
// is then read twice by ffmpeg: once as part of the filter graph and once as
// the movie filter's option text. Each level drops one backslash, so the
// option separators ':' and '=' need two backslashes; the characters the
// graph level reads (backslash, single quote, brackets, ',' and ';') get
// three, which carries them through both levels.
QString escapedFilterPath(const QString& path)
{
    QString escaped;
    for (const QChar c : path) {
        if (c == QLatin1Char('"'))
            escaped += QStringLiteral("\"\"\"");
        else if (c == QLatin1Char(':') || c == QLatin1Char('='))
            escaped += QStringLiteral("\\\\") + c;
        else if (QStringLiteral("\\',;[]").contains(c))
            escaped += QStringLiteral("\\\\\\") + c;
        else
            escaped += c;
    }
    return escaped;
}
} // namespace

QSize resolveTargetSize(const QVariantMap& parameters)
{
    const QSize target = parameters.value(VideoEncoderParameters::TARGET_SIZE).toSize();
    if (target.width() < 1 || target.height() < 1)
        return parameters.value(VideoEncoderParameters::SOURCE_SIZE).toSize();
    return target;
}

QSize evenSize(const QSize& size)
{
    return QSize(size.width() & ~1, size.height() & ~1);
}

void applyFilters(const QVariantMap& parameters, QStringList& arguments, QSize target)
{
    namespace P = VideoEncoderParameters;
    const QSize source = parameters.value(P::SOURCE_SIZE).toSize();
    Resize resize;
    if (source != target)
        resize = resizeFilters(parameters.value(P::RESIZE_METHOD).toString(), source, target);
    QString chain = resize.filters.join(QLatin1Char(','));

    if (parameters.contains(P::WATERMARK_FILE)) {
        const QString path = escapedFilterPath(parameters.value(P::WATERMARK_FILE).toString());
        const QString label = chain.isEmpty() ? QStringLiteral("in") : QStringLiteral("p");
        if (!chain.isEmpty())
            chain += QStringLiteral("[%1];").arg(label);
        chain += QStringLiteral("movie=\"%1\":f=png[wm];[%2][wm]overlay=W-w-%3:%4")
                     .arg(path, label)
                     .arg(resize.watermarkOffset.width())
                     .arg(resize.watermarkOffset.height());
    }
    if (!chain.isEmpty())
        arguments << QStringLiteral("-vf") << chain;
}

void applyFilters(const QVariantMap& parameters, QStringList& arguments)
{
    applyFilters(parameters, arguments, resolveTargetSize(parameters));
}
