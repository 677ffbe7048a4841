#pragma once

#include <QDialog>

class QLabel;

// The information dialog: product name, version, copyright and a short description of what
// the program does. It has no other function.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

private:
    QLabel *m_productName;
    QLabel *m_version;
    QLabel *m_copyright;
    QLabel *m_comments;
};
