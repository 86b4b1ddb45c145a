#pragma once
// The one list adapter: holds no rows itself, asks its owner through callables.

#include <QAbstractItemModel>
#include <QStringList>

#include <functional>

class MyItemModel : public QAbstractItemModel {
    Q_OBJECT
public:
    using RowCounter = std::function<int()>;
    using ValueProvider = std::function<QVariant(int row, int role, const QString& roleName)>;

    explicit MyItemModel(QObject* parent = nullptr);

    RowCounter rowCounter;
    ValueProvider valueProvider;
    QStringList roles;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;
    QVariant data(const QModelIndex& index, int role) const override;

public slots:
    void update(int pos, int count);
    void updateReset();
    void updateRemove(int pos, int count);
    void updateInsert(int pos, int count);
};
