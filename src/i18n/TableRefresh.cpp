#include "i18n/TableRefresh.h"

#include "i18n/DbfTable.h"

#include <QHash>
#include <algorithm>

TableRefresh refreshTable(DbfTable &user, const DbfTable &shipped)
{
    TableRefresh result;
    // Deleted records count as present (record number 0): the translator removed them.
    QHash<QByteArray, int> known;
    for (int r = 1; r <= user.recordCount(); ++r) {
        const QByteArray source = user.field(r, 0);
        if (!source.isEmpty() && !known.contains(source))
            known.insert(source, user.isDeleted(r) ? 0 : r);
    }
    const int fields = std::min(user.fieldCount(), shipped.fieldCount());
    for (int r = 1; r <= shipped.recordCount() && result.complete; ++r) {
        const QByteArray source = shipped.field(r, 0);
        if (source.isEmpty() || shipped.isDeleted(r))
            continue;
        const auto found = known.constFind(source);
        if (found == known.constEnd()) {
            std::vector<QByteArray> values;
            for (int f = 0; f < fields; ++f)
                values.push_back(shipped.field(r, f));
            const int added = user.append(values);
            result.complete = added > 0;
            result.added += added > 0;
            known.insert(source, added);
            continue;
        }
        const int target = found.value();
        for (int f = 1; target > 0 && f < fields && result.complete; ++f) {
            const QByteArray value = shipped.field(r, f);
            if (value.isEmpty() || !user.field(target, f).isEmpty())
                continue;
            result.complete = user.setField(target, f, value);
            result.filled += result.complete;
        }
    }
    return result;
}
