#pragma once

#include "SectionBox.h"

class TextButton;

// Which script version the manifest offers, how its last fetch went, and a way to fetch it again.
class VersionSection : public SectionBox {
    Q_OBJECT

public:
    VersionSection(ContentView& view, QWidget* parent);

    void render(const ContentView& view) override;

private:
    StyledLabel* version = nullptr;
    StyledLabel* manifestStatus = nullptr;
    TextButton* refresh = nullptr;
};
