#pragma once

#include "StyledLabel.h"

#include <QStringList>

// A label whose text always fits its width: it wraps at blanks where it can and anywhere else
// where it must, so a long path or a word without blanks never runs past the box's edge. With a
// line limit, the text is cut after that line with an ellipsis; text() stays the whole text, so
// the accessible name and a copy of the text are never cut.
class WrappingLabel : public StyledLabel {
    Q_OBJECT

public:
    // `maximumLines` 0: as many lines as the text needs.
    WrappingLabel(TextStyle style, Tone tone, int maximumLines, QWidget* parent = nullptr);

    // The lines as drawn at `width` pixels, the last ending in "…" when the limit cuts it.
    QStringList visibleLines(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textHeight(int lineCount) const;

    int maximumLines = 0;
};
