#pragma once

#include "SectionBox.h"

class TextButton;

// How to start the installed script in Resolve, with "Check status" and "Close".
class FinishSection : public SectionBox {
    Q_OBJECT

public:
    FinishSection(ContentView& view, QWidget* parent);

    void render(const ContentView& view) override;
    // The window's default action: "Close", which does nothing while it is disabled.
    void activateDefaultAction();

private:
    StyledLabel* badge = nullptr;
    TextButton* checkStatusButton = nullptr;
    TextButton* closeButton = nullptr;
    StyledLabel* hint = nullptr;
};
