#pragma once

#include "SectionBox.h"

class TextButton;
class WrappingLabel;

// Installs or updates the Resolve script, opens its folder, and says where the file lives.
class ScriptSection : public SectionBox {
    Q_OBJECT

public:
    ScriptSection(ContentView& view, QWidget* parent);

    void render(const ContentView& view) override;

private:
    StyledLabel* badge = nullptr;
    TextButton* install = nullptr;
    TextButton* openFolder = nullptr;
    WrappingLabel* path = nullptr;
};
