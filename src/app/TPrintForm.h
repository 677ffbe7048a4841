#pragma once

#include <QDialog>

// The print preview dialog, which prints the picture. It is created at start-up and
// lives until the program ends; for now it is an empty window with its caption.
class TPrintForm : public QDialog
{
    Q_OBJECT

public:
    explicit TPrintForm(QWidget *parent = nullptr);
};
