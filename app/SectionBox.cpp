#include "SectionBox.h"

#include "TextButton.h"
#include "WrappingLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

constexpr int buttonSpacing = 12;
// Tighter than the style's default: the box's frame already adds a few pixels, and five boxes
// share the window's height.
constexpr QMargins contentMargins{9, 4, 9, 7};

} // namespace

SectionBox::SectionBox(int rowSpacing, QWidget* parent)
    : QGroupBox(parent)
    , rows(new QVBoxLayout(this)) {
    rows->setContentsMargins(contentMargins);
    rows->setSpacing(rowSpacing);
}

StyledLabel* SectionBox::addTitleRow(const QString& title, StyledLabel::Tone trailingTone) {
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(
        new StyledLabel(title, StyledLabel::TextStyle::Headline, StyledLabel::Tone::Primary, this));
    titleRow->addStretch();
    auto* trailing = new WrappingLabel(StyledLabel::TextStyle::Body, trailingTone, 0, this);
    titleRow->addWidget(trailing);
    rows->addLayout(titleRow);
    return trailing;
}

StyledLabel* SectionBox::addTextRow(const QString& text, StyledLabel::TextStyle style,
                                    StyledLabel::Tone tone) {
    auto* line = new WrappingLabel(style, tone, 0, this);
    line->setDisplayedText(text);
    rows->addWidget(line);
    return line;
}

void SectionBox::addButtonRow(std::initializer_list<TextButton*> buttons) {
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(buttonSpacing);
    for (TextButton* button : buttons) {
        buttonRow->addWidget(button);
    }
    buttonRow->addStretch();
    rows->addLayout(buttonRow);
}

void SectionBox::addRow(QWidget* row) {
    rows->addWidget(row);
}
