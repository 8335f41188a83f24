#include "i18n/translate.h"

#include <QDebug>
#include <QFile>
#include <QXmlStreamReader>

namespace {
QString readText(QXmlStreamReader& reader)
{
    return reader.readElementText(QXmlStreamReader::SkipChildElements);
}

// The first plural form; the others are passed over.
QString readFirstNumerusForm(QXmlStreamReader& reader)
{
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("numerusform")) {
            const QString form = readText(reader);
            reader.skipCurrentElement();
            return form;
        }
        reader.skipCurrentElement();
    }
    return {};
}
} // namespace

TSTranslator::TSTranslator(QObject* parent)
    : QTranslator(parent)
{ }

bool TSTranslator::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_translations.clear();
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("TS"))
            readTs(reader);
        else
            reader.skipCurrentElement();
    }
    if (reader.hasError()) {
        qDebug().noquote() << QStringLiteral("%1 at line %2 column %3")
                                  .arg(reader.errorString())
                                  .arg(reader.lineNumber())
                                  .arg(reader.columnNumber());
        return false;
    }
    return true;
}

void TSTranslator::readTs(QXmlStreamReader& reader)
{
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("context"))
            readContext(reader);
        else
            reader.skipCurrentElement();
    }
}

void TSTranslator::readContext(QXmlStreamReader& reader)
{
    // Messages before the context's name have no context to go to.
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("name"))
            break;
        reader.skipCurrentElement();
    }
    if (!reader.isStartElement())
        return;
    const QString context = readText(reader);
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("message"))
            readMessage(reader, context);
        else
            reader.skipCurrentElement();
    }
}

void TSTranslator::readMessage(QXmlStreamReader& reader, const QString& context)
{
    const bool plural = reader.attributes()
                            .value(QLatin1String("numerus"))
                            .compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
    QString source;
    QString translation;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("source"))
            source = readText(reader);
        else if (reader.name() == QLatin1String("translation"))
            translation = plural ? readFirstNumerusForm(reader) : readText(reader);
        else
            reader.skipCurrentElement();
    }
    if (!source.isEmpty() && !translation.isEmpty())
        m_translations[context].insert(source, translation);
}

QString TSTranslator::translate(const char* context, const char* sourceText, const char*, int) const
{
    const QString source = QString::fromUtf8(sourceText);
    const auto found = m_translations.constFind(QString::fromUtf8(context));
    if (found != m_translations.cend()) {
        const auto translation = found->constFind(source);
        if (translation != found->cend())
            return *translation;
    }
    // Never a null string: the application would go on asking other
    // translators.
    return source.isNull() ? QLatin1String("") : source;
}

bool TSTranslator::isEmpty() const
{
    return m_translations.isEmpty();
}
