#pragma once

#include "projectlistitemdelegate.h"

// The rows of the batch list; the "new video" row shows in the preview column.
class BatchListItem : public ProjectListItemDelegate
{
    Q_OBJECT
public:
    explicit BatchListItem(QObject* parent);
};
