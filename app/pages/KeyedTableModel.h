#pragma once

// A read-only table of text cells, each with the key it sorts by, for tables of one row per individual:
// thousands of rows go in, get sorted and go away at once (a model of an item per cell takes seconds to
// fill and longer to destroy at 16,384 rows).

#include <vector>

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>

struct TableCell {
    QString text;
    QVariant key;        ///< what the column sorts by (Qt::UserRole): a number, or text
    bool right = false;  ///< aligned right, as numbers are
};

class KeyedTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    /// Columns titled `titles`, with `tips` as their header tooltips (empty for none).
    KeyedTableModel(QStringList titles, QStringList tips, QObject* parent = nullptr);

    /// Replaces every row (each as many cells as there are columns) in one reset.
    void set_rows(std::vector<std::vector<TableCell>> rows);
    const TableCell& cell(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    /// Orders the rows by the column's keys, numbers by value and text by code points; rows of equal keys
    /// keep their order, either way.
    void sort(int column, Qt::SortOrder order) override;

  private:
    QStringList titles_;
    QStringList tips_;
    std::vector<std::vector<TableCell>> rows_;
};
