#pragma once

#include "SectionBox.h"

class TextButton;
class TokenField;
class TwoLineLabel;

// Takes the user's API token, saves it, opens the token file, and says where that file lives.
class TokenSection : public SectionBox {
    Q_OBJECT

public:
    TokenSection(ContentView& view, QWidget* parent);

    void render(const ContentView& view) override;

private:
    StyledLabel* badge = nullptr;
    TokenField* field = nullptr;
    TextButton* save = nullptr;
    TextButton* openFile = nullptr;
    TwoLineLabel* path = nullptr;
};
