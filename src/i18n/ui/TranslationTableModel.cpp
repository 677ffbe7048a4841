#include "i18n/ui/TranslationTableModel.h"

#include "base/Cp1252.h"
#include "i18n/DbfTable.h"
#include "i18n/ui/TableTextLimits.h"

#include <algorithm>

TranslationTableModel::TranslationTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void TranslationTableModel::setTable(DbfTable *table)
{
    m_table = table;
    reload();
}

void TranslationTableModel::reload()
{
    beginResetModel();
    m_rows = m_table && m_table->isOpen() ? m_table->visibleRecords() : std::vector<int> {};
    endResetModel();
}

int TranslationTableModel::recNoAt(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[std::size_t(row)] : 0;
}

int TranslationTableModel::rowOf(int recNo) const
{
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), recNo);
    return it != m_rows.end() && *it == recNo ? int(it - m_rows.begin()) : -1;
}

void TranslationTableModel::recordChanged(int recNo)
{
    const int row = rowOf(recNo);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int TranslationTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TranslationTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table ? 0 : m_table->fieldCount();
}

QVariant TranslationTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return cp1252::decode(m_table->field(recNoAt(index.row()), index.column()));
}

QVariant TranslationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_table)
        return {};
    if (orientation == Qt::Horizontal)
        return QString::fromLatin1(m_table->fieldName(section));
    return recNoAt(section);
}

Qt::ItemFlags TranslationTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_table && !m_table->isReadOnly())
        f |= Qt::ItemIsEditable;
    return f;
}

bool TranslationTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_table || m_table->isReadOnly())
        return false;
    // A text the field cannot hold as it is would be stored changed; the editors refuse it
    // as it is typed, and it is refused here too.
    if (!TableTextValidator::problem(value.toString()).isEmpty())
        return false;
    const int recNo = recNoAt(index.row());
    if (!m_table->setField(recNo, index.column(), cp1252::encode(value.toString())))
        return false;
    m_table->goTo(recNo);
    emit dataChanged(index, index);
    return true;
}
