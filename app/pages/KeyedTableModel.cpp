#include "pages/KeyedTableModel.h"

#include <algorithm>

namespace {

bool key_less(const QVariant& a, const QVariant& b) {
    bool a_number = false;
    bool b_number = false;
    const double x = a.typeId() == QMetaType::QString ? 0 : a.toDouble(&a_number);
    const double y = b.typeId() == QMetaType::QString ? 0 : b.toDouble(&b_number);
    if (a_number && b_number) return x < y;
    return a.toString() < b.toString();
}

}  // namespace

KeyedTableModel::KeyedTableModel(QStringList titles, QStringList tips, QObject* parent)
    : QAbstractTableModel(parent), titles_(std::move(titles)), tips_(std::move(tips)) {}

void KeyedTableModel::set_rows(std::vector<std::vector<TableCell>> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

const TableCell& KeyedTableModel::cell(int row, int column) const {
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

int KeyedTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int KeyedTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant KeyedTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const TableCell& c = cell(index.row(), index.column());
    switch (role) {
        case Qt::DisplayRole:
            return c.text;
        case Qt::UserRole:
            return c.key;
        case Qt::TextAlignmentRole:
            return c.right ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
        default:
            return {};
    }
}

QVariant KeyedTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size()) return {};
    if (role == Qt::DisplayRole) return titles_.at(section);
    if (role == Qt::ToolTipRole && section < tips_.size() && !tips_.at(section).isEmpty()) return tips_.at(section);
    return {};
}

void KeyedTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const auto at = static_cast<std::size_t>(column);
    std::vector<std::size_t> before(rows_.size());  // before[new row] = old row
    for (std::size_t r = 0; r < before.size(); ++r) before[r] = r;
    std::stable_sort(before.begin(), before.end(), [&](std::size_t a, std::size_t b) {
        return order == Qt::AscendingOrder ? key_less(rows_[a][at].key, rows_[b][at].key)
                                           : key_less(rows_[b][at].key, rows_[a][at].key);
    });
    std::vector<std::vector<TableCell>> sorted(rows_.size());
    std::vector<int> after(rows_.size());  // after[old row] = new row
    for (std::size_t r = 0; r < before.size(); ++r) {
        sorted[r] = std::move(rows_[before[r]]);
        after[before[r]] = static_cast<int>(r);
    }
    rows_ = std::move(sorted);
    // Selections and other kept indexes follow their rows.
    const QModelIndexList kept = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(kept.size());
    for (const QModelIndex& i : kept) moved.append(index(after[static_cast<std::size_t>(i.row())], i.column()));
    changePersistentIndexList(kept, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
