#pragma once

#include "SectionBox.h"

class TextButton;

// Whether a Python interpreter was found, with the way to get one and to look again.
class PythonSection : public SectionBox {
    Q_OBJECT

public:
    PythonSection(ContentView& view, QWidget* parent);

    void render(const ContentView& view) override;

private:
    StyledLabel* badge = nullptr;
    StyledLabel* result = nullptr;
    TextButton* installPython = nullptr;
    TextButton* recheck = nullptr;
    StyledLabel* hint = nullptr;
};
