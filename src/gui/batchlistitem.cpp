#include "batchlistitem.h"

BatchListItem::BatchListItem(QObject* parent)
    : ProjectListItemDelegate(1, parent)
{ }
