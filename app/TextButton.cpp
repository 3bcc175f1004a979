#include "TextButton.h"

TextButton::TextButton(const QString& title, QWidget* parent)
    : QPushButton(parent) {
    setTitle(title);
}

void TextButton::setTitle(const QString& title) {
    if (title != text()) {
        setText(title);
        setAccessibleName(title);
    }
}
