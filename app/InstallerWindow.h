#pragma once

#include "ContentView.h"

#include <QList>
#include <QWidget>

class FinishSection;
class SectionBox;
class QVBoxLayout;
class StyledLabel;

// One installer window: the header, the five sections and the status line over its own
// ContentView. Everything shown is redrawn from the view's state whenever it changes.
class InstallerWindow : public QWidget {
    Q_OBJECT

public:
    explicit InstallerWindow(PlatformServices& platform, QWidget* parent = nullptr);

    ContentView& contentView();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitHeight();
    void render();

    ContentView view;
    QList<SectionBox*> sections;
    QVBoxLayout* rows = nullptr;
    FinishSection* finish = nullptr;
    StyledLabel* statusLine = nullptr;
    // Set when the window is shown, cleared by the paint that follows.
    bool startUpAfterPaint = false;
};
