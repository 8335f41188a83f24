#include "projectlistitemdelegate.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPainter>
#include <QTextDocument>

namespace {
// The tick box and the remove mark.
const QSize MarkSize(45, 16);

bool isMarkColumn(int column)
{
    return column == 0 || column == 3;
}
} // namespace

ProjectListItemDelegate::ProjectListItemDelegate(int newVideoColumn, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_newVideoColumn(newVideoColumn)
{ }

QSize ProjectListItemDelegate::iconSize() const
{
    const auto* view = qobject_cast<const QAbstractItemView*>(parent());
    return view ? view->iconSize() : QSize();
}

void ProjectListItemDelegate::initStyleOption(QStyleOptionViewItem* option,
                                              const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->decorationSize = isMarkColumn(index.column()) ? MarkSize : iconSize();
}

QSize ProjectListItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    QTextDocument document;
    document.setDefaultFont(item.font);
    document.setHtml(item.text);
    document.setTextWidth(item.rect.width());
    const QSize icon = iconSize();
    return QSize(qMax(static_cast<int>(document.idealWidth()), icon.width()) + 2,
                 qMax(static_cast<int>(document.size().height()), icon.height()) + 2);
}

void ProjectListItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    if (index.row() == 0 && index.column() != m_newVideoColumn)
        return;
    QStyleOptionViewItem item = option;
    item.state &= ~QStyle::State_HasFocus;
    initStyleOption(&item, index);
    QStyle* style = item.widget ? item.widget->style() : QApplication::style();

    QTextDocument document;
    document.setDefaultFont(item.font);
    document.setHtml(item.text);
    // The style draws background, selection, tick box and picture; the text
    // is drawn as rich text below.
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    painter->save();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item);
    const QSize textSize(qRound(document.size().width()), qRound(document.size().height()));
    const QRect placed = QStyle::alignedRect(Qt::LayoutDirectionAuto,
                                             Qt::AlignLeft | Qt::AlignVCenter, textSize, textRect);
    painter->translate(placed.topLeft());
    painter->setClipRect(QRect(QPoint(0, 0), placed.size()));
    document.documentLayout()->draw(painter, QAbstractTextDocumentLayout::PaintContext());
    painter->restore();
}
