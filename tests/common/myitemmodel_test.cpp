#include "common/myitemmodel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct FiveRows {
    MyItemModel model;
    int rows = 5;
    FiveRows() {
        model.rowCounter = [this] { return rows; };
        model.valueProvider = [](int row, int role, const QString& name) {
            return QStringLiteral("%1:%2:%3").arg(row).arg(role).arg(name);
        };
        model.roles = QStringList{QStringLiteral("text"), QStringLiteral("color")};
    }
};

} // namespace

TEST(MyItemModelTest, WithoutCallablesThereAreNoRowsAndNoValues) {
    MyItemModel model;
    model.roles = QStringList{QStringLiteral("text")};
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.data(model.index(0, 0), 0).isValid());
}

TEST(MyItemModelTest, DataChecksRowAndRoleRanges) {
    FiveRows f;
    EXPECT_EQ(f.model.data(f.model.index(2, 0), 1).toString(), QStringLiteral("2:1:color"));
    EXPECT_FALSE(f.model.data(f.model.index(5, 0), 0).isValid());
    EXPECT_FALSE(f.model.data(f.model.index(-1, 0), 0).isValid());
    EXPECT_FALSE(f.model.data(f.model.index(0, 0), 2).isValid()); // role == number of role names
    EXPECT_FALSE(f.model.data(f.model.index(0, 0), -1).isValid());
    const auto names = f.model.roleNames();
    EXPECT_EQ(names.value(0), QByteArray("text"));
    EXPECT_EQ(names.value(1), QByteArray("color"));
    EXPECT_EQ(f.model.columnCount(), 0);
    EXPECT_FALSE(f.model.parent(f.model.index(1, 0)).isValid());
}

TEST(MyItemModelTest, UpdateClampsToTheRowsThatExist) {
    FiveRows f;
    QSignalSpy changed(&f.model, &QAbstractItemModel::dataChanged);
    const struct {
        int pos, count, first, last; // first < 0: no signal
    } cases[] = {{3, 10, 3, 4}, {5, 1, -1, -1}, {0, 1, 0, 0}, {-1, 3, -1, -1}, {1, 2, 1, 2}};
    for (const auto& c : cases) {
        changed.clear();
        f.model.update(c.pos, c.count);
        if (c.first < 0) {
            EXPECT_EQ(changed.count(), 0) << c.pos << "," << c.count;
            continue;
        }
        ASSERT_EQ(changed.count(), 1) << c.pos << "," << c.count;
        EXPECT_EQ(changed.at(0).at(0).toModelIndex().row(), c.first);
        EXPECT_EQ(changed.at(0).at(1).toModelIndex().row(), c.last);
    }
    f.rows = 0;
    changed.clear();
    f.model.update(0, 1);
    EXPECT_EQ(changed.count(), 0);
}

TEST(MyItemModelTest, InsertAndRemoveAnnounceOnlyPositiveCounts) {
    FiveRows f;
    QSignalSpy inserted(&f.model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&f.model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);

    f.model.updateInsert(2, 0);
    f.model.updateRemove(2, -1);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(removed.count(), 0);

    f.rows = 7;
    f.model.updateInsert(2, 2);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 2);
    EXPECT_EQ(inserted.at(0).at(2).toInt(), 3);

    f.rows = 4;
    f.model.updateRemove(0, 3);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 0);
    EXPECT_EQ(removed.at(0).at(2).toInt(), 2);

    f.model.updateReset();
    EXPECT_EQ(reset.count(), 1);
}
