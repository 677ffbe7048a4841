#pragma once

#include <QList>

class QObject;
class QWidget;
class Translator;

// Puts the windows into the current language once, at start-up: a breadth-first walk over the
// Qt ownership tree that replaces every caption, hint, item, column title, file-dialog filter
// and edit text by translateText of itself. Texts the table does not hold yet are added by the
// lookup, so one run in another language collects the whole user interface for translators.
//
// The walk starts from the given windows in order (the application's windows, in the order
// they were created); each object's children are visited from the last to the first. Objects
// that Qt creates inside its own controls (a spin box's line edit, a tool bar's extension
// button, the tool buttons a tool bar makes for its actions) are not walked: the texts they
// show belong to the control or action that was translated.
//
// An object whose property "untranslated" is true is left alone with all it owns: the table
// navigator and the bound edit of the translation editor show data, not interface texts.
//
// Plain-text edits are translated line by line; rich-text edits are left alone, since putting
// translated lines back would lose their formatting.
//
// A file dialog is any object that is not a widget and has a QString property "filterPairs"
// holding its filter as "description|patterns|..."; the whole filter is one key.
void translateWindows(const QList<QObject *> &windows, Translator &translator);

// The walk over the application's top-level windows that have no owner, in the order Qt lists
// them, with the registered Translator. Does nothing when none is registered.
void translateWindows();

// With language index 4 a translated control gets the face "MS Sans Serif" at its own size and
// style; every other language keeps the control's font as it is.
void adjustFont(QWidget *control, int languageIndex);
