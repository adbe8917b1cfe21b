#pragma once

#include <QObject>

// The language the program speaks: 0 Simplified Chinese, 1 English (any
// other index reads as Chinese, as BiText does). There is one of it, owned by
// the application; windows and the line read it when they set a text, and
// windows that stay open retranslate on changed().
class Language : public QObject {
    Q_OBJECT

public:
    explicit Language(int index = 0, QObject *parent = nullptr);

    int index() const { return current; }
    // Sets the language; changed() only when it differs. While the program
    // speaks Chinese, Qt's own dialog texts (message box buttons) are
    // Chinese too.
    void set(int index);

signals:
    void changed(int index);

private:
    void useQtTranslation();

    int current = 0;
};
