#pragma once

#include "ContentView.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class StyledLabel;
class WrappingLabel;

// One installer window over its own ContentView: the header, five sections and the status line,
// laid out once, then drawn from the view's state by render() whenever it changes.
class InstallerWindow : public QWidget {
    Q_OBJECT

public:
    explicit InstallerWindow(PlatformServices& platform, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A push button that calls `action` on the view.
    QPushButton* button(const QString& title, void (ContentView::*action)());
    void render();
    void fitHeight();

    ContentView view;
    // What render() draws the state onto, from the top of the window down.
    WrappingLabel* manifestVersion = nullptr;
    WrappingLabel* manifestStatus = nullptr;
    QPushButton* refresh = nullptr;
    StyledLabel* pythonBadge = nullptr;
    WrappingLabel* pythonStatus = nullptr;
    QPushButton* installPython = nullptr;
    QPushButton* recheck = nullptr;
    QLabel* pythonHint = nullptr;
    QLabel* scriptBadge = nullptr;
    QPushButton* install = nullptr;
    QPushButton* openScripts = nullptr;
    WrappingLabel* scriptPath = nullptr;
    QLabel* tokenBadge = nullptr;
    QLineEdit* tokenField = nullptr;
    QPushButton* save = nullptr;
    QPushButton* openToken = nullptr;
    WrappingLabel* tokenPath = nullptr;
    QLabel* finishBadge = nullptr;
    QPushButton* checkStatus = nullptr;
    QPushButton* close = nullptr;
    QLabel* finishHint = nullptr;
    WrappingLabel* statusLine = nullptr;
    // Set when the window is shown, cleared by the paint that follows.
    bool startUpAfterPaint = false;
};
