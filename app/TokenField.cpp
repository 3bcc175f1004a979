#include "TokenField.h"

#include <QKeyEvent>

TokenField::TokenField(QWidget* parent)
    : QLineEdit(parent) {}

void TokenField::showToken(const QString& token) {
    if (token != text()) {
        setText(token);
    }
}

void TokenField::keyPressEvent(QKeyEvent* event) {
    QLineEdit::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
    }
}
