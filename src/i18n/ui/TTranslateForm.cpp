#include "i18n/ui/TTranslateForm.h"

#include "base/Cp1252.h"
#include "i18n/Translator.h"
#include "i18n/ui/TableTextLimits.h"
#include "i18n/ui/TranslationTableModel.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>

TTranslateForm::TTranslateForm(QWidget *parent, Translator *translator)
    : QDialog(parent)
    , m_translator(translator)
    , m_model(new TranslationTableModel(this))
{
    setObjectName("TranslateForm");
    setWindowTitle(QStringLiteral("Übersetzen"));
    resize(721, 489);
    setModal(true);
    setAttribute(Qt::WA_AlwaysShowToolTips);

    DBNavigator1 = new QToolBar(this);
    DBNavigator1->setObjectName("DBNavigator1");
    // The window walk leaves the navigator and the bound edit alone, as data controls.
    DBNavigator1->setProperty("untranslated", true);
    navAction("nbFirst", QStringLiteral("Erster Datensatz"), QStyle::SP_MediaSkipBackward);
    navAction("nbPrior", QStringLiteral("Voriger Datensatz"), QStyle::SP_MediaSeekBackward);
    navAction("nbNext", QStringLiteral("Nächster Datensatz"), QStyle::SP_MediaSeekForward);
    navAction("nbLast", QStringLiteral("Letzter Datensatz"), QStyle::SP_MediaSkipForward);
    navAction("nbInsert", QStringLiteral("Datensatz einfügen"), QStyle::SP_FileDialogNewFolder);
    navAction("nbDelete", QStringLiteral("Datensatz löschen"), QStyle::SP_TrashIcon);
    navAction("nbEdit", QStringLiteral("Datensatz bearbeiten"), QStyle::SP_FileDialogDetailedView);
    navAction("nbPost", QStringLiteral("Bearbeitung speichern"), QStyle::SP_DialogApplyButton);
    navAction("nbCancel", QStringLiteral("Bearbeitung abbrechen"), QStyle::SP_DialogCancelButton);
    navAction("nbRefresh", QStringLiteral("Daten aktualisieren"), QStyle::SP_BrowserReload);

    BackBtn = new QPushButton(
        style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Zurück..."), this);
    BackBtn->setObjectName("BackBtn");
    DBEdit1 = new QLineEdit(this);
    DBEdit1->setObjectName("DBEdit1");
    DBEdit1->setProperty("untranslated", true);
    DBEdit1->setFixedWidth(673);
    FilterEdit = new QLineEdit(this);
    FilterEdit->setObjectName("FilterEdit");
    FilterBtn = new QPushButton(
        style()->standardIcon(QStyle::SP_FileDialogContentsView), QStringLiteral("Suchen"), this);
    FilterBtn->setObjectName("FilterBtn");
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setModel(m_model);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setItemDelegate(
        new TableTextDelegate([this](QLineEdit *editor) { limitTyping(editor); }, DBGrid1));
    limitTyping(DBEdit1);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");

    auto *top = new QHBoxLayout;
    top->addWidget(DBNavigator1);
    top->addStretch();
    top->addWidget(BackBtn);
    auto *search = new QHBoxLayout;
    search->addWidget(FilterEdit);
    search->addWidget(FilterBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(DBEdit1);
    layout->addLayout(search);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(StatusBar1);

    connect(BackBtn, &QPushButton::clicked, this, &TTranslateForm::BackBtnClick);
    connect(FilterBtn, &QPushButton::clicked, this, &TTranslateForm::FilterBtnClick);
    connect(DBEdit1, &QLineEdit::textEdited, this, [this] {
        if (m_state == State::Browse)
            m_state = State::Edit;
        updateActions();
    });
    connect(DBEdit1, &QLineEdit::returnPressed, this, &TTranslateForm::Post);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &TTranslateForm::fieldsChanged);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &current) {
            if (!m_showing && current.isValid())
                moveTo(m_model->recNoAt(current.row()));
        });
    m_confirmDelete = [](QWidget *parent) {
        return QMessageBox::question(parent, QString(), QStringLiteral("Datensatz löschen?"))
            == QMessageBox::Yes;
    };
    m_tellRefusal = [](QLineEdit *edit, const QString &why) {
        QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), why, edit);
    };
}

void TTranslateForm::limitTyping(QLineEdit *edit)
{
    auto *validator = new TableTextValidator(edit);
    edit->setValidator(validator);
    connect(edit, &QLineEdit::inputRejected, this, [this, edit, validator] {
        if (m_tellRefusal)
            m_tellRefusal(edit, translated(validator->reason()));
    });
}

// A lookup makes the found (or added) record the table's current one; the editor's current
// record, into which the next post writes, must not move with it.
QString TTranslateForm::translated(const QString &text)
{
    Translator *t = m_translator ? m_translator : Translator::instance();
    DbfTable *shown = table();
    const int keep = shown ? shown->current() : 0;
    const QString result = t ? t->translateText(text) : text;
    if (keep > 0)
        shown->goTo(keep);
    return result;
}

// The grid writes its cells straight into the table. When it changed the source text of the
// current record, the bound edit shows the new text, so that a later edit there starts from it
// instead of writing the old text back; the grid's change was the last one made to the field.
void TTranslateForm::fieldsChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    DbfTable *t = table();
    if (!t || m_state == State::Insert || topLeft.column() > 0)
        return;
    const int row = m_model->rowOf(t->current());
    if (row < topLeft.row() || row > bottomRight.row())
        return;
    m_state = State::Browse;
    DBEdit1->setText(cp1252::decode(t->field(t->current(), 0)));
    updateActions();
}

QAction *TTranslateForm::navAction(const char *name, const QString &hint, int icon)
{
    QAction *a = DBNavigator1->addAction(style()->standardIcon(QStyle::StandardPixmap(icon)), hint);
    a->setObjectName(QString::fromLatin1(name));
    static const std::pair<const char *, void (TTranslateForm::*)()> handlers[] = {
        { "nbFirst", &TTranslateForm::First },
        { "nbPrior", &TTranslateForm::Prior },
        { "nbNext", &TTranslateForm::Next },
        { "nbLast", &TTranslateForm::Last },
        { "nbInsert", &TTranslateForm::Insert },
        { "nbDelete", &TTranslateForm::Delete },
        { "nbEdit", &TTranslateForm::Edit },
        { "nbCancel", &TTranslateForm::Cancel },
        { "nbRefresh", &TTranslateForm::Refresh },
    };
    for (const auto &[handlerName, handler] : handlers) {
        if (qstrcmp(handlerName, name) == 0)
            connect(a, &QAction::triggered, this, handler);
    }
    if (qstrcmp(name, "nbPost") == 0)
        connect(a, &QAction::triggered, this, &TTranslateForm::Post);
    return a;
}

DbfTable *TTranslateForm::table() const
{
    Translator *t = m_translator ? m_translator : Translator::instance();
    return t && t->isUsable() ? &t->table() : nullptr;
}

void TTranslateForm::attachTable()
{
    DbfTable *t = table();
    m_state = State::Browse;
    m_model->setTable(t);
    const bool readOnly = !t || t->isReadOnly();
    DBEdit1->setReadOnly(readOnly);
    DBGrid1->setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                                      : QAbstractItemView::DoubleClicked
                | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    if (t && t->isVisible(t->current()))
        moveTo(t->current());
    else if (t && t->first())
        moveTo(t->current());
    else
        showCurrent();
}

void TTranslateForm::showEvent(QShowEvent *event)
{
    attachTable();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TTranslateForm::moveTo(int recNo)
{
    DbfTable *t = table();
    if (!t || recNo <= 0)
        return;
    // Leaving a record that is being edited saves it first, as a data grid does.
    if (m_state != State::Browse && !Post())
        return;
    t->goTo(recNo);
    showCurrent();
}

void TTranslateForm::showCurrent()
{
    DbfTable *t = table();
    const int recNo = t ? t->current() : 0;
    DBEdit1->setText(t ? cp1252::decode(t->field(recNo, 0)) : QString());
    const int row = m_model->rowOf(recNo);
    m_showing = true;
    if (row >= 0 && DBGrid1->currentIndex().row() != row)
        DBGrid1->setCurrentIndex(
            m_model->index(row, std::max(0, DBGrid1->currentIndex().column())));
    m_showing = false;
    updateActions();
}

void TTranslateForm::updateActions()
{
    DbfTable *t = table();
    const bool writable = t && !t->isReadOnly();
    const bool editing = m_state != State::Browse;
    for (QAction *a : DBNavigator1->actions()) {
        const QString n = a->objectName();
        if (n == "nbInsert" || n == "nbEdit")
            a->setEnabled(writable && !editing);
        else if (n == "nbDelete")
            a->setEnabled(writable && !editing && t->current() > 0);
        else if (n == "nbPost" || n == "nbCancel")
            a->setEnabled(writable && editing);
        else
            a->setEnabled(t != nullptr);
    }
}

void TTranslateForm::First()
{
    if (DbfTable *t = table(); t && t->first())
        moveTo(t->current());
}

void TTranslateForm::Prior()
{
    DbfTable *t = table();
    if (!t)
        return;
    const int from = t->current();
    if (t->prior()) {
        const int to = t->current();
        t->goTo(from);
        moveTo(to);
    }
}

void TTranslateForm::Next()
{
    DbfTable *t = table();
    if (!t)
        return;
    const int from = t->current();
    if (t->next()) {
        const int to = t->current();
        t->goTo(from);
        moveTo(to);
    }
}

void TTranslateForm::Last()
{
    if (DbfTable *t = table(); t && t->last())
        moveTo(t->current());
}

void TTranslateForm::Insert()
{
    DbfTable *t = table();
    if (!t || t->isReadOnly() || (m_state != State::Browse && !Post()))
        return;
    m_state = State::Insert;
    DBEdit1->clear();
    DBEdit1->setFocus();
    updateActions();
}

void TTranslateForm::Delete()
{
    DbfTable *t = table();
    if (!t || t->isReadOnly() || m_state != State::Browse || t->current() <= 0)
        return;
    if (m_confirmDelete && !m_confirmDelete(this))
        return;
    const int recNo = t->current();
    if (!t->setDeleted(recNo, true))
        return;
    m_model->reload();
    t->goTo(recNo);
    if (!t->next() && !t->last())
        t->goTo(0);
    showCurrent();
}

void TTranslateForm::Edit()
{
    DbfTable *t = table();
    if (!t || t->isReadOnly() || t->current() <= 0 || m_state != State::Browse)
        return;
    m_state = State::Edit;
    updateActions();
}

bool TTranslateForm::Post()
{
    DbfTable *t = table();
    if (!t || t->isReadOnly() || m_state == State::Browse)
        return true;
    const QByteArray text = cp1252::encode(DBEdit1->text());
    if (m_state == State::Insert) {
        const int recNo = t->append({ text });
        if (recNo == 0)
            return false;
        m_state = State::Browse;
        m_model->reload();
        t->goTo(recNo);
        showCurrent();
        return true;
    }
    if (!t->setField(t->current(), 0, text))
        return false;
    m_state = State::Browse;
    m_model->recordChanged(t->current());
    updateActions();
    return true;
}

void TTranslateForm::Cancel()
{
    m_state = State::Browse;
    showCurrent();
}

void TTranslateForm::Refresh()
{
    if (m_state != State::Browse && !Post())
        return;
    const int recNo = table() ? table()->current() : 0;
    m_model->reload();
    if (recNo > 0)
        moveTo(recNo);
}

void TTranslateForm::BackBtnClick()
{
    DbfTable *t = table();
    if (t && !t->isReadOnly())
        Post();
    if (t)
        t->clearFilter();
    accept();
}

// The filter lets through the records whose source text contains the search text, whatever
// its case; an empty search text shows every record again.
void TTranslateForm::FilterBtnClick()
{
    DbfTable *t = table();
    if (!t)
        return;
    if (m_state != State::Browse && !Post())
        return;
    const QString needle = FilterEdit->text();
    if (needle.isEmpty()) {
        t->clearFilter();
    } else {
        t->setFilter([t, needle](int recNo) {
            return cp1252::decode(t->field(recNo, 0)).contains(needle, Qt::CaseInsensitive);
        });
    }
    m_model->reload();
    if (t->first())
        moveTo(t->current());
    else
        showCurrent();
}

void TTranslateForm::FormClose()
{
    if (DbfTable *t = table())
        t->clearFilter();
}

void TTranslateForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    QDialog::closeEvent(event);
}

void TTranslateForm::done(int result)
{
    // Every way out of the editor (the close box, Escape, "Zurück...") passes here, so the
    // lookups never see a filtered table.
    FormClose();
    QDialog::done(result);
}
