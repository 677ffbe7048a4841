#pragma once

#include <QStyledItemDelegate>
#include <QValidator>
#include <functional>

class QLineEdit;

// What a field of the translation table can hold: characters of Windows-1252, at most 255 of
// them (one byte each). Text beyond that is refused where it is typed or pasted, since storing
// it would change the translator's text behind their back ('?' for a character the code page
// lacks, a cut end for a longer text).
class TableTextValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override;
    // Why the last refused input was refused, in German.
    QString reason() const { return m_reason; }

    // Why `text` cannot be stored in a field, in German; an empty text when it can.
    static QString problem(const QString &text);

private:
    mutable QString m_reason;
};

// The grid's cell editor: a line edit that `prepare` gives the limits above.
class TableTextDelegate : public QStyledItemDelegate
{
public:
    using Prepare = std::function<void(QLineEdit *editor)>;

    TableTextDelegate(Prepare prepare, QObject *parent);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;

private:
    Prepare m_prepare;
};
