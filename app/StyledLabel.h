#pragma once

#include <QLabel>

#include <optional>

// A plain-text label in one of the window's text styles and tones. Secondary text takes the
// palette's placeholder role, which follows the system's light and dark appearance; green and
// orange, which no palette role names, are picked for the light or dark window they are drawn on.
class StyledLabel : public QLabel {
    Q_OBJECT

public:
    enum class TextStyle { Body, Title, Headline, Callout, Footnote };
    enum class Tone { Primary, Secondary, Green, Orange };

    StyledLabel(const QString& text, TextStyle style, Tone tone, QWidget* parent = nullptr);

    void setTone(Tone newTone);

private:
    // Green and orange, darker on a light window and brighter on a dark one, so that both read.
    std::optional<QColor> toneColour() const;

    Tone tone = Tone::Primary;
};
