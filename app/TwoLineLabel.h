#pragma once

#include "StyledLabel.h"

#include <QStringList>

// A footnote label for file paths: wraps within its width, at blanks where it can and anywhere
// else where it must, and cuts the text after the second line with an ellipsis. text() stays the
// whole path, so the accessible name and a copy of the text are never cut.
class TwoLineLabel : public StyledLabel {
    Q_OBJECT

public:
    explicit TwoLineLabel(QWidget* parent = nullptr);

    // The lines as drawn at `width` pixels: at most two, the second ending in "…" when cut.
    QStringList visibleLines(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textHeight(int lineCount) const;
};
