#pragma once

#include <QLineEdit>

// The token entry. Return is left to the window, where it activates "Close"; it saves nothing.
class TokenField : public QLineEdit {
    Q_OBJECT

public:
    explicit TokenField(QWidget* parent = nullptr);

    // Shows the state's token; leaves the text alone when it already matches, so typing keeps
    // its cursor position and selection.
    void showToken(const QString& token);
};
