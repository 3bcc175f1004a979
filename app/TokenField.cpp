#include "TokenField.h"

TokenField::TokenField(QWidget* parent)
    : QLineEdit(parent) {}

void TokenField::showToken(const QString& token) {
    if (token != text()) {
        setText(token);
    }
}
