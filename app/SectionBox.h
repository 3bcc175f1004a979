#pragma once

#include "StyledLabel.h"

#include <QGroupBox>

#include <initializer_list>

class ContentView;
class QVBoxLayout;
class TextButton;

// One untitled group box of the window: its title is the first row of its content. Subclasses
// build their rows once and bring them up to date in render().
class SectionBox : public QGroupBox {
public:
    virtual void render(const ContentView& view) = 0;

protected:
    SectionBox(int rowSpacing, QWidget* parent);

    // The title row: the section's name, then `trailing` at the far end. Returns the trailing
    // label, which the section fills (and hides) as its state says.
    StyledLabel* addTitleRow(const QString& title, StyledLabel::Tone trailingTone);
    // A wrapped line of text that gets as many lines as it needs.
    StyledLabel* addTextRow(const QString& text, StyledLabel::TextStyle style,
                            StyledLabel::Tone tone);
    void addButtonRow(std::initializer_list<TextButton*> buttons);
    void addRow(QWidget* row);

private:
    QVBoxLayout* rows = nullptr;
};
