#pragma once

#include "StyledLabel.h"

#include <QHash>
#include <QStringList>
#include <QTextLayout>

// A text drawn within its width: it wraps at blanks where it can and anywhere else where it must.
// A text from state takes at most a few lines and one too long for them is cut at the end with
// "…", its whole then being the tooltip and the accessible description (up to the 2,000
// characters a tooltip can be read at); its accessible name is what the lines show. Whatever it
// holds, it is plain text everywhere. Control and bidirectional formatting characters are drawn
// as U+FFFD, so that nothing from outside can hide or reorder what is shown; a line feed breaks
// the line. However long the text, the work stays that of the few lines shown.
class WrappingLabel : public StyledLabel {
    Q_OBJECT

public:
    WrappingLabel(TextStyle style, Tone tone, int maximumLines, QWidget* parent = nullptr);

    void setDisplayedText(const QString& text);
    // The lines as drawn at `width` pixels, the last ending in "…" when the text is cut.
    QStringList visibleLines(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Lines {
        QStringList lines;
        // The lines as one text, a line feed where the text broke its line.
        QString asShown;
        bool cut = false;
    };
    const Lines& linesAt(int width) const;
    int textHeight(int lineCount) const;
    void describe();

    // 0: as many lines as the text needs, for the window's own texts.
    int maximumLines = 0;
    QString source;
    // What is laid out: no more than the lines can show, shaped once for every width.
    mutable QTextLayout textLayout;
    // The lines of the text at each width asked for.
    mutable QHash<int, Lines> laidOut;
};
