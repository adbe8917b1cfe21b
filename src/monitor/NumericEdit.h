#pragma once

#include <QLineEdit>

// A line edit that lets the operator type only a plain decimal number:
// digits anywhere, a minus sign only into an empty field, and one decimal
// point. Each typed character is judged against the whole text present, not
// against the cursor position or the selection. Editing and navigation keys
// and shortcuts work as in any line edit; pasted text is taken as it is, so
// whoever reads the number must still check it.
//
// The typing limit caps the number of characters the keyboard can bring in
// without truncating a longer text that the program sets, which a line
// edit's maximum length would do.
class NumericEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit NumericEdit(QWidget *parent = nullptr);

    // At most this many characters can be typed; 0 for no limit.
    void setTypingLimit(int characters) { limit = characters; }
    int typingLimit() const { return limit; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool accepts(QChar typed) const;

    int limit = 0;
};
