#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// "Port check": every serial device with what the port doctor found about
// it, one sentence a row, and whether ModemManager runs. Refresh looks
// again (after plugging in an adapter or closing another program).
class PortCheckDialog : public QDialog {
    Q_OBJECT

public:
    // `root` is the directory the devices are looked for under: "/" on a
    // real system.
    PortCheckDialog(const QString &root, int language, QWidget *parent = nullptr);

    void refresh();

private:
    QString root;
    int language;
    QTableWidget *table;
    QLabel *modemManager;
    QPushButton *refreshButton;
    QPushButton *closeButton;
};
