#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QDialog;
class QWidget;
class Translator;

// The handlers of the main window's "Sprache" menu. It attaches to the window's actions by
// their names (Deutsch1, English1, Translate1), so the window keeps building its own menu.
// Choosing a language takes effect for every later lookup at once, is stored in options.dat
// and asks for a restart, since the windows were translated at start-up.
class LanguageMenu : public QObject
{
    Q_OBJECT

public:
    // Shows an information box; tests replace it to read the texts without a modal loop.
    using ShowInfo =
        std::function<void(QWidget *parent, const QString &caption, const QString &text)>;

    LanguageMenu(QWidget *mainWindow, Translator &translator, const QString &exeDir,
        QDialog *translateForm = nullptr);

    void setShowInfo(ShowInfo show) { m_showInfo = std::move(show); }
    // The editor is created after the main window, so it can be handed over later.
    void setTranslateForm(QDialog *translateForm) { m_translateForm = translateForm; }

    // Reads options.dat, sets the translator's language index and puts the check mark on the
    // stored language without taking that for a choice. Returns the index. Never shows a
    // message and never writes the file.
    int loadOptions();

    bool startupGuard() const { return m_guard; }

signals:
    // A language was chosen in the menu; sent before the restart request is shown, so that
    // what follows the language at once (Qt's own texts) already speaks it there.
    void languageChosen(int index);

public slots:
    void Deutsch1Click();
    void English1Click();
    void Translate1Click();

private:
    void choose(int index, QAction *item);
    void showRestartRequest();

    QWidget *m_window;
    Translator &m_translator;
    QString m_exeDir;
    QDialog *m_translateForm;
    QAction *m_deutsch;
    QAction *m_english;
    bool m_guard = false;
    ShowInfo m_showInfo;
};
