#pragma once

#include "SectionBox.h"

class TextButton;
class TokenField;
class WrappingLabel;

// Takes the user's API token, saves it, opens the token file, and says where that file lives.
class TokenSection : public SectionBox {
    Q_OBJECT

public:
    TokenSection(ContentView& view, QWidget* parent);

    void render(const ContentView& view) override;
    // Gives the token field the keyboard focus, now or when the window becomes active.
    void takeFocus();

private:
    StyledLabel* badge = nullptr;
    TokenField* field = nullptr;
    TextButton* save = nullptr;
    TextButton* openFile = nullptr;
    WrappingLabel* path = nullptr;
};
