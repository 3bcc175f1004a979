#pragma once

#include <QLabel>

// A plain-text label in one of the window's named text styles and tones. The tone's colour is
// worked out from the palette the label inherits, so it follows a switch between light and dark.
class StyledLabel : public QLabel {
    Q_OBJECT

public:
    enum class TextStyle { Body, Title, Headline, Callout, Footnote };
    enum class Tone { Primary, Secondary, Green, Orange };

    StyledLabel(TextStyle style, Tone tone, QWidget* parent = nullptr);
    StyledLabel(const QString& text, TextStyle style, Tone tone, QWidget* parent = nullptr);

    // Shows `text` and exposes it as the label's accessible name.
    void setDisplayedText(const QString& text);
    void setTone(Tone newTone);
    Tone tone() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyTone();

    Tone currentTone = Tone::Primary;
};
