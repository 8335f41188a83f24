#pragma once

#include "projectlistitemdelegate.h"

// The rows of the start page's list of recent videos; the "new video" row
// shows in the description column.
class RecentProjectListItem : public ProjectListItemDelegate
{
    Q_OBJECT
public:
    explicit RecentProjectListItem(QObject* parent);
};
