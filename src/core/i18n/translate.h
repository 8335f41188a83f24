#pragma once

#include <QHash>
#include <QMap>
#include <QString>
#include <QTranslator>

class QXmlStreamReader;

// Translates the user interface straight from a Qt Linguist source file
// (".ts"), without compiling it first. Keeps, per context, the first
// translation of each message with a non-empty source and translation;
// comments, disambiguations and the other plural forms are not kept.
class TSTranslator : public QTranslator
{
public:
    explicit TSTranslator(QObject* parent = nullptr);

    // Replaces the table with the file's contents. False when the file cannot
    // be opened (the table stays as it was) or is not well-formed XML (the
    // table holds what was read before the fault).
    bool load(const QString& path);

    // The stored translation, else the source text itself.
    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override;

private:
    void readTs(QXmlStreamReader& reader);
    void readContext(QXmlStreamReader& reader);
    void readMessage(QXmlStreamReader& reader, const QString& context);

    QMap<QString, QHash<QString, QString>> m_translations;
};
