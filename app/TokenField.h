#pragma once

#include <QLineEdit>

// The token entry. Return commits nothing here, and it is consumed so that it never reaches the
// window, where it would activate "Close".
class TokenField : public QLineEdit {
    Q_OBJECT

public:
    explicit TokenField(QWidget* parent = nullptr);

    // Shows the state's token; leaves the text alone when it already matches, so typing keeps
    // its cursor position and selection.
    void showToken(const QString& token);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
