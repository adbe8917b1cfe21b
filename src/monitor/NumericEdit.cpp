#include "NumericEdit.h"

#include <QKeyEvent>

#include <algorithm>

namespace {

// Whether the key event brings a character into the text, as a line edit
// judges it: a printable text that does not come with Ctrl as a shortcut (Ctrl
// with Alt is AltGr on some keyboards and types characters).
bool typesCharacter(const QKeyEvent &event)
{
    const QString text = event.text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return false;
    const Qt::KeyboardModifiers chord = event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return chord != Qt::ControlModifier && !(chord & Qt::MetaModifier);
}

} // namespace

NumericEdit::NumericEdit(QWidget *parent) : QLineEdit(parent) {}

bool NumericEdit::accepts(QChar typed) const
{
    const QString present = text();
    if (typed.isDigit() && typed.unicode() < 0x80)
        return true;
    if (typed == QLatin1Char('-'))
        return present.isEmpty();
    if (typed == QLatin1Char('.'))
        return !present.contains(QLatin1Char('.'));
    return false;
}

void NumericEdit::keyPressEvent(QKeyEvent *event)
{
    if (typesCharacter(*event)) {
        const QString typed = event->text();
        bool allowed = std::all_of(typed.begin(), typed.end(), [this](QChar c) { return accepts(c); });
        if (allowed && limit > 0)
            allowed = text().size() - selectedText().size() + typed.size() <= limit;
        if (!allowed) {
            // Swallowed: the character is neither typed nor passed on.
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}
