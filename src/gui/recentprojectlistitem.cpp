#include "recentprojectlistitem.h"

RecentProjectListItem::RecentProjectListItem(QObject* parent)
    : ProjectListItemDelegate(2, parent)
{ }
