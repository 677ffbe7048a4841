#pragma once

#include <QDialog>
#include <functional>

class DbfTable;
class QAction;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class QToolBar;
class TranslationTableModel;
class Translator;

// The translation editor: the translation table as a grid in which translators fill in the
// fields of their language, with a navigator, an edit bound to the source text of the current
// record and a search filter. It works on the same open table as the lookups, and every
// change is in translate.dbf at once. With a read-only table nothing can be changed.
class TTranslateForm : public QDialog
{
    Q_OBJECT

public:
    enum class State { Browse, Edit, Insert };
    // Asks whether the current record may be deleted; tests answer without a message box.
    using ConfirmDelete = std::function<bool(QWidget *parent)>;
    // Says why typed or pasted text was refused, next to the edit; tests read it instead.
    using TellRefusal = std::function<void(QLineEdit *edit, const QString &why)>;

    // Without a translator the registered one is used when the editor is shown.
    explicit TTranslateForm(QWidget *parent = nullptr, Translator *translator = nullptr);

    void setConfirmDelete(ConfirmDelete confirm) { m_confirmDelete = std::move(confirm); }
    void setTellRefusal(TellRefusal tell) { m_tellRefusal = std::move(tell); }
    State state() const { return m_state; }
    TranslationTableModel *model() const { return m_model; }
    // Connects the grid to the table again and shows the table's current record.
    void attachTable();

    QToolBar *DBNavigator1;
    QPushButton *BackBtn;
    QLineEdit *DBEdit1;
    QLineEdit *FilterEdit;
    QPushButton *FilterBtn;
    QTableView *DBGrid1;
    QStatusBar *StatusBar1;

public slots:
    void BackBtnClick();
    void FilterBtnClick();

    void First();
    void Prior();
    void Next();
    void Last();
    void Insert();
    void Delete();
    void Edit();
    bool Post();
    void Cancel();
    void Refresh();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void done(int result) override;

private:
    DbfTable *table() const;
    void FormClose();
    void moveTo(int recNo);
    void showCurrent();
    void updateActions();
    void fieldsChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void limitTyping(QLineEdit *edit);
    QString translated(const QString &text);
    QAction *navAction(const char *name, const QString &hint, int icon);

    Translator *m_translator;
    TranslationTableModel *m_model;
    State m_state = State::Browse;
    bool m_showing = false;
    ConfirmDelete m_confirmDelete;
    TellRefusal m_tellRefusal;
};
