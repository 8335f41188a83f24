#include "components/pagetext.h"

#include <QRegularExpression>
#include <QTextCodec>

namespace PageText {
namespace {
const QRegularExpression::PatternOptions MINIMAL = QRegularExpression::CaseInsensitiveOption |
    QRegularExpression::InvertedGreedinessOption | QRegularExpression::DotMatchesEverythingOption;

const QString HEAD_END = QStringLiteral("</head>");

Range rangeOf(const QRegularExpressionMatch& match)
{
    if (!match.hasMatch())
        return {};
    return {match.capturedStart(), match.capturedEnd()};
}

bool matchesAt(const QRegularExpression& expression, const QString& text, int position = 0)
{
    return expression
        .match(text, position, QRegularExpression::NormalMatch,
               QRegularExpression::AnchoredMatchOption)
        .hasMatch();
}

// A tag that is a whole comment: "<!--" at its start and a "-->" after it.
bool isComment(const QString& tag)
{
    static const QRegularExpression comment(QStringLiteral("<!--.*-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return matchesAt(comment, tag);
}

Range lastMatch(const QRegularExpression& expression, const QString& text)
{
    Range last;
    QRegularExpressionMatchIterator matches = expression.globalMatch(text);
    while (matches.hasNext())
        last = rangeOf(matches.next());
    return last;
}

void blank(QString& text, int from, int to)
{
    for (int i = from; i < to; ++i)
        text[i] = QLatin1Char(' ');
}

int endOfComment(const QString& text, int start)
{
    // "<!-->" and "<!--->" are complete (empty) comments for the browser.
    if (text.midRef(start + 4).startsWith(QLatin1Char('>')))
        return start + 5;
    if (text.midRef(start + 4).startsWith(QLatin1String("->")))
        return start + 6;
    const int close = text.indexOf(QLatin1String("-->"), start + 4);
    return close < 0 ? text.size() : close + 3;
}

bool isBlank(const QStringRef& text)
{
    return text.trimmed().isEmpty();
}

// A tag in the head that refers to one of the patterns, widened to the whole
// element when it opens a script or a style sheet.
QString headTagAt(const QString& text, Range tag)
{
    static const QRegularExpression script(QStringLiteral("<[^<>]*script[^<>]*>.*</script[^<>]*>"),
                                           MINIMAL);
    static const QRegularExpression style(QStringLiteral("<[^<>]*style[^<>]*>.*</style[^<>]*>"),
                                          MINIMAL);
    const QString found = text.mid(tag.start, tag.length());
    const QRegularExpression* element = nullptr;
    if (found.contains(QLatin1String("<script"), Qt::CaseInsensitive))
        element = &script;
    else if (found.contains(QLatin1String("<style"), Qt::CaseInsensitive))
        element = &style;
    if (element) {
        const QRegularExpressionMatch whole =
            element->match(text, tag.start, QRegularExpression::NormalMatch,
                           QRegularExpression::AnchoredMatchOption);
        if (whole.hasMatch())
            return whole.captured();
    }
    return found;
}

bool refersTo(const QString& tag, const QStringList& patterns)
{
    for (const QString& pattern : patterns) {
        if (matchesAt(QRegularExpression(QStringLiteral("<.*") + pattern + QStringLiteral(".*>"),
                                         MINIMAL),
                      tag))
            return true;
    }
    return false;
}
} // namespace

QString maskNonMarkup(const QString& text)
{
    static const QRegularExpression special(
        QStringLiteral("<!--|<[!?]|<(script|style|textarea|title|xmp|iframe|noembed|noframes)"
                       "(?=[\\s/>])"),
        QRegularExpression::CaseInsensitiveOption);
    QString masked = text;
    int position = 0;
    for (;;) {
        const QRegularExpressionMatch match = special.match(text, position);
        if (!match.hasMatch())
            break;
        const int start = match.capturedStart();
        const QString element = match.captured(1);
        if (match.captured() == QLatin1String("<!--")) {
            position = endOfComment(text, start);
            blank(masked, start, position);
        } else if (element.isEmpty()) {
            const int close = text.indexOf(QLatin1Char('>'), start + 2);
            position = close < 0 ? text.size() : close + 1;
            blank(masked, start, position);
        } else {
            const int openEnd = text.indexOf(QLatin1Char('>'), start);
            if (openEnd < 0)
                break;
            const QRegularExpression closing(QStringLiteral("</") + element +
                                                 QStringLiteral("(?=[\\s/>])"),
                                             QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch end = closing.match(text, openEnd + 1);
            position = end.hasMatch() ? end.capturedStart() : text.size();
            blank(masked, openEnd + 1, position);
        }
    }
    return masked;
}

Range findElementTag(const QString& text, const QString& tagName, int from)
{
    const QRegularExpression tag(QStringLiteral("<[/]?") + QRegularExpression::escape(tagName) +
                                     QStringLiteral("(?=[\\s/>])[^<>]*>"),
                                 QRegularExpression::CaseInsensitiveOption);
    return rangeOf(tag.match(text, from));
}

Range findNextTag(const QString& text, int from)
{
    static const QRegularExpression tag(QStringLiteral("<[^<>]*>"));
    return rangeOf(tag.match(text, from));
}

bool isClosingTag(const QString& tag, const QString& tagName)
{
    const QRegularExpression closing(QStringLiteral("^</") + QRegularExpression::escape(tagName) +
                                         QStringLiteral("\\s*>$"),
                                     QRegularExpression::CaseInsensitiveOption);
    return closing.match(tag).hasMatch();
}

Range widenOverComments(const QString& text, Range range)
{
    if (!range.isValid())
        return range;
    const Range after = findNextTag(text, range.end);
    if (after.isValid() && isBlank(text.midRef(range.end, after.start - range.end)) &&
        isComment(text.mid(after.start, after.length())) &&
        text.midRef(after.start, after.length()).endsWith(QLatin1String("-->")))
        range.end = after.end;

    int tagEnd = range.start;
    while (tagEnd > 0 && text.at(tagEnd - 1).isSpace())
        --tagEnd;
    if (tagEnd > 0 && text.at(tagEnd - 1) == QLatin1Char('>')) {
        const int tagStart = text.lastIndexOf(QLatin1Char('<'), tagEnd - 1);
        const QString before = tagStart < 0 ? QString() : text.mid(tagStart, tagEnd - tagStart);
        if (!before.isEmpty() && before.indexOf(QLatin1Char('>')) == before.size() - 1 &&
            isComment(before) && before.endsWith(QLatin1String("-->")))
            range.start = tagStart;
    }
    return range;
}

Range headReferences(const QString& text, const QStringList& patterns)
{
    static const QRegularExpression anyTag(QStringLiteral("<.*>"), MINIMAL);
    const int headEnd = text.indexOf(HEAD_END, 0, Qt::CaseInsensitive);
    if (headEnd < 0)
        return {};
    int first = -1;
    for (const QString& pattern : patterns) {
        const QRegularExpression reference(
            QStringLiteral("<[^<]*") + pattern + QStringLiteral(".*>"), MINIMAL);
        const QRegularExpressionMatch match = reference.match(text);
        if (match.hasMatch() && match.capturedStart() < headEnd) {
            first = match.capturedStart();
            break;
        }
    }
    if (first < 0)
        return {};

    Range run {first, first};
    const Range before = lastMatch(anyTag, text.left(first));
    if (before.isValid() && isComment(text.mid(before.start, before.length())))
        run.start = before.start;
    for (;;) {
        const Range next = rangeOf(anyTag.match(text, run.end));
        if (!next.isValid())
            break;
        const QString tag = headTagAt(text, next);
        if (!refersTo(tag, patterns))
            break;
        run.end = next.start + tag.size();
    }
    const Range following = rangeOf(anyTag.match(text, run.end));
    if (following.isValid() && isComment(text.mid(following.start, following.length())))
        run.end = following.end;
    return run;
}

void keepOneScriptInclusion(QString& text, const QStringList& patterns)
{
    static const QRegularExpression comment(QStringLiteral("<!--.*-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    for (const QString& pattern : patterns) {
        const QRegularExpression inclusion(QStringLiteral("<[^<>]*script[^<>]*") + pattern +
                                               QStringLiteral("[^<>]*></script[^<>]*>"),
                                           MINIMAL);
        int position = 0;
        bool first = true;
        for (;;) {
            const QRegularExpressionMatch match = inclusion.match(text, position);
            const int headEnd = text.indexOf(HEAD_END, 0, Qt::CaseInsensitive);
            if (!match.hasMatch() || headEnd < 0 || match.capturedStart() > headEnd)
                break;
            QString tag = match.captured();
            if (first) {
                if (matchesAt(comment, tag))
                    tag.replace(QLatin1String("<!--"), QLatin1String("<"))
                        .replace(QLatin1String("-->"), QLatin1String(">"));
                first = false;
            } else if (!comment.match(tag).hasMatch()) {
                tag.insert(tag.size() - 1, QLatin1String("--"));
                tag.insert(1, QLatin1String("!--"));
            }
            text.replace(match.capturedStart(), match.capturedLength(), tag);
            position = match.capturedStart() + tag.size();
        }
    }
}

QString charsetFromContent(const QString& content)
{
    static const QRegularExpression named(QStringLiteral("charset *=[^ \"]*"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression key(QStringLiteral("charset *="),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = named.match(content);
    if (!match.hasMatch())
        return QString();
    QString charset = match.captured();
    charset.remove(key);
    // "charset='koi8-r';" names koi8-r as well.
    while (charset.endsWith(QLatin1Char(';')) || charset.endsWith(QLatin1Char('\'')))
        charset.chop(1);
    while (charset.startsWith(QLatin1Char('\'')))
        charset.remove(0, 1);
    return charset;
}

QString effectiveCharset(const QString& named, const QByteArray& data)
{
    if (!named.isEmpty() && QTextCodec::codecForName(named.toLatin1()))
        return named;
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(data.constData(), data.size(), &state);
    const bool valid = state.invalidChars == 0 && state.remainingChars == 0;
    return valid ? QStringLiteral("UTF-8") : QStringLiteral("ISO-8859-1");
}

QString decode(const QByteArray& data, const QString& charset)
{
    QTextCodec* codec = QTextCodec::codecForName(charset.toLatin1());
    if (!codec)
        codec = QTextCodec::codecForMib(106);
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return codec->toUnicode(data.constData(), data.size(), &state);
}

QByteArray encode(const QString& text, const QString& charset)
{
    QTextCodec* codec = QTextCodec::codecForName(charset.toLatin1());
    if (!codec)
        codec = QTextCodec::codecForMib(106);
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return codec->fromUnicode(text.constData(), text.size(), &state);
}

} // namespace PageText
