#pragma once

#include "ContentView.h"

#include <QMainWindow>
#include <QPointer>

#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class StyledLabel;
class WrappingLabel;

// One installer window over its own ContentView: the header, five sections and the status line,
// laid out once, then drawn from the view's state by showState() whenever it changes. A main
// window, so that assistive technology sees a frame named after the application.
class InstallerWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit InstallerWindow(PlatformServices& platform, QWidget* parent = nullptr);
    ~InstallerWindow() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A push button that calls `action` on the view.
    QPushButton* button(const QString& title, void (ContentView::*action)());
    void showState();
    void describeControls();
    void announceStatus(const QString& statusText);
    void enableKeepingFocus(std::initializer_list<std::pair<QWidget*, bool>> controls,
                            bool working);
    void fitToScreen();

    ContentView view;
    QScrollArea* scroller = nullptr;
    // What showState() draws the state onto, from the top of the window down.
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
    QPushButton* closeButton = nullptr;
    QLabel* finishHint = nullptr;
    WrappingLabel* statusLine = nullptr;
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    // Shown afresh with each announcement: a screen reader speaks a notification as it appears.
    QWidget* announcement = nullptr;
#endif
    // The status text last announced, so that a redraw of the same text is not spoken again.
    QString announcedStatus;
    // The control that had the focus when the work under way disabled it.
    QPointer<QWidget> focusToRestore;
    // What the height was last fitted to: the line count of each text, 0 when hidden, and the
    // height the screen leaves.
    QList<int> fittedShape;
    // Set when the window is shown, cleared by the paint that follows.
    bool startUpAfterPaint = false;
};
