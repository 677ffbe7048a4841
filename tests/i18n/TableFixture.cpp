#include "TableFixture.h"

#include "base/Cp1252.h"

void TableFixture::setTranslation(const QString &source, int field, const QByteArray &value)
{
    DbfTable &table = m_translator->table();
    const QByteArray key = cp1252::encode(source);
    for (int r = 1; r <= table.recordCount(); ++r) {
        if (table.field(r, 0) == key) {
            ASSERT_TRUE(table.setField(r, field, value));
            return;
        }
    }
    FAIL() << "no record for " << source.toStdString();
}
