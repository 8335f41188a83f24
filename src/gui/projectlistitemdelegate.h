#pragma once

#include <QStyledItemDelegate>

// Draws the rows of the recent-projects model, whose texts are HTML, as rich
// text. Row 0 (the "new video" row) is drawn in one column only. The parent
// must be the item view that uses the delegate: its icon size sizes the
// pictures.
class ProjectListItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    ProjectListItemDelegate(int newVideoColumn, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QSize iconSize() const;

    const int m_newVideoColumn;
};
