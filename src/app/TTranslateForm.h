#pragma once

#include <QDialog>

// The translation editor, which edits the translation table. It is created at start-up and
// lives until the program ends; for now it is an empty window with its caption.
class TTranslateForm : public QDialog
{
    Q_OBJECT

public:
    explicit TTranslateForm(QWidget *parent = nullptr);
};
