#pragma once

#include <QDialog>

// Dialog 100: the program's logo, one line naming it with its version, and OK.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    AboutDialog(int language, QWidget *parent = nullptr);
};
