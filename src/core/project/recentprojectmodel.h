#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QSharedPointer>

class Project;
class RecentProjectManager;

// The recent-projects store as the rows of the start page's list and of the
// batch list: row 0 is the "new video" row, row r is entry r - 1 of the
// store. Column 0 is the batch tick, 1 the preview, 2 the description, 3 the
// remove mark. The model also keeps the projects ticked for a batch.
class RecentProjectModel : public QAbstractListModel
{
    Q_OBJECT
public:
    RecentProjectModel(QSharedPointer<RecentProjectManager> manager, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Every check-state call toggles the row's tick, whatever the value.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Makes the views read the store again after it changed.
    void update();

private:
    QVariant getSpecialItemData(int role) const;
    QVariant getProjectData(const QModelIndex& index, int role) const;
    static QString getDescription(QSharedPointer<Project> project);

    QSharedPointer<RecentProjectManager> m_manager;
    // Compared by object, not by path.
    QList<QSharedPointer<Project>> m_checked;
};
