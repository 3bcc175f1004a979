#pragma once

#include <QPushButton>

// A push button whose accessible name always matches its visible title.
class TextButton : public QPushButton {
    Q_OBJECT

public:
    explicit TextButton(const QString& title, QWidget* parent = nullptr);

    void setTitle(const QString& title);
};
