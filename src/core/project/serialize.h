#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

class QXmlStreamReader;
class QXmlStreamWriter;

// The XML form of a settings map: one element per entry, named by the key,
// with the value's type name in the attribute "type". Nested maps become
// nested elements; string lists and values without a text form are kept as
// Base64 of their QDataStream form, everything else as its text.
//
// Writes the entries at the writer's current position, in key order. An
// entry whose key is not an XML name is left out (with a warning): it would
// make the whole file unreadable.
void Serialize(QXmlStreamWriter& writer, const QMap<QString, QVariant>& map);

// Reads entries into the map, after the reader has read the start of the
// enclosing element, until the end of that element. Entries without a known
// type, and empty nested maps, are dropped. Problems show in the reader's
// error state.
void Deserialize(QXmlStreamReader& reader, QMap<QString, QVariant>& map);
