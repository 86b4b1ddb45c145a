#include "common/myitemmodel.h"

#include <algorithm>

MyItemModel::MyItemModel(QObject* parent) : QAbstractItemModel(parent) {}

int MyItemModel::rowCount(const QModelIndex&) const {
    return rowCounter ? rowCounter() : 0;
}

int MyItemModel::columnCount(const QModelIndex&) const {
    return 0;
}

QModelIndex MyItemModel::index(int row, int column, const QModelIndex&) const {
    return createIndex(row, column);
}

QModelIndex MyItemModel::parent(const QModelIndex&) const {
    return QModelIndex();
}

QHash<int, QByteArray> MyItemModel::roleNames() const {
    QHash<int, QByteArray> names;
    for (int i = 0; i < roles.size(); ++i) {
        names.insert(i, roles.at(i).toUtf8());
    }
    return names;
}

QVariant MyItemModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (row < 0 || !valueProvider || role < 0 || row >= rowCount() || role >= roles.size()) {
        return QVariant();
    }
    return valueProvider(row, role, roles.at(role));
}

void MyItemModel::update(int pos, int count) {
    const int rows = rowCount();
    if (rows <= 0 || pos < 0 || pos >= rows) {
        return;
    }
    const int last = std::min(rows, pos + count) - 1;
    if (last < pos) {
        return;
    }
    emit dataChanged(createIndex(pos, 0), createIndex(last, 0));
}

void MyItemModel::updateReset() {
    beginResetModel();
    endResetModel();
}

void MyItemModel::updateRemove(int pos, int count) {
    if (count <= 0) {
        return;
    }
    beginRemoveRows(QModelIndex(), pos, pos + count - 1);
    endRemoveRows();
}

void MyItemModel::updateInsert(int pos, int count) {
    if (count <= 0) {
        return;
    }
    beginInsertRows(QModelIndex(), pos, pos + count - 1);
    endInsertRows();
}
