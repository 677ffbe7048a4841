#pragma once

#include <QAbstractTableModel>
#include <vector>

class DbfTable;

// The translation table as a grid: one row per record that is neither deleted nor filtered
// out, one column per field, titled with the field names. Edits go straight into the file.
class TranslationTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TranslationTableModel(QObject *parent = nullptr);

    void setTable(DbfTable *table);
    DbfTable *table() const { return m_table; }
    // Reads the list of visible records again, after a filter change or a new record.
    void reload();
    int recNoAt(int row) const;
    // The row of a record, -1 when it is not shown.
    int rowOf(int recNo) const;
    // Tells the views that a record's fields changed behind the model's back.
    void recordChanged(int recNo);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

private:
    DbfTable *m_table = nullptr;
    std::vector<int> m_rows;
};
