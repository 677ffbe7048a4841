#include "i18n/ui/TableTextLimits.h"

#include "base/Cp1252.h"
#include "i18n/Translator.h"

#include <QLineEdit>

QString TableTextValidator::problem(const QString &text)
{
    const QByteArray bytes = cp1252::encode(text);
    // Every byte decodes to a character that encodes back to it, so a text survives the round
    // trip exactly when the code page holds all of its characters.
    if (cp1252::decode(bytes) != text)
        return QStringLiteral("Die Übersetzungstabelle kann nur Zeichen des Windows-Zeichensatzes "
                              "1252 speichern.");
    if (bytes.size() > Translator::kFieldWidth)
        return QStringLiteral("Ein Feld der Übersetzungstabelle fasst höchstens 255 Zeichen.");
    return {};
}

QValidator::State TableTextValidator::validate(QString &input, int &) const
{
    const QString why = problem(input);
    if (why.isEmpty())
        return Acceptable;
    m_reason = why;
    return Invalid;
}

TableTextDelegate::TableTextDelegate(Prepare prepare, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_prepare(std::move(prepare))
{
}

QWidget *TableTextDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *line = qobject_cast<QLineEdit *>(editor); line && m_prepare)
        m_prepare(line);
    return editor;
}
