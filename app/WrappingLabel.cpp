#include "WrappingLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>

using namespace Qt::StringLiterals;

WrappingLabel::WrappingLabel(TextStyle style, Tone tone, int maximumLines, QWidget* parent)
    : StyledLabel(style, tone, parent)
    , maximumLines(maximumLines) {}

QStringList WrappingLabel::visibleLines(int width) const {
    const QString whole = text();
    QTextLayout layout(whole, font());
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrapping);

    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (maximumLines > 0 && lines.size() == maximumLines - 1) {
            // The last line takes whatever is left and cuts it at its end.
            lines << fontMetrics().elidedText(whole.mid(line.textStart()), Qt::ElideRight, width);
            break;
        }
        lines << whole.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

QSize WrappingLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    const int width = fontMetrics().horizontalAdvance(text()) + margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

// As narrow as a cut line can get, so no text ever widens the window.
QSize WrappingLabel::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(u"…"_s) + margins.left() + margins.right(),
            textHeight(1)};
}

bool WrappingLabel::hasHeightForWidth() const {
    return true;
}

int WrappingLabel::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    const qsizetype lineCount = visibleLines(width - margins.left() - margins.right()).size();
    return textHeight(static_cast<int>(qMax<qsizetype>(lineCount, 1)));
}

// Measured in fractional pixels: the rounded metrics can leave the underscores of a path just
// below the widget's last pixel row.
int WrappingLabel::textHeight(int lineCount) const {
    const QFontMetricsF metrics(font());
    const QMargins margins = contentsMargins();
    return qCeil(metrics.height() + (lineCount - 1) * metrics.lineSpacing()) + margins.top() +
           margins.bottom();
}

void WrappingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetricsF metrics(font());
    const QRect area = contentsRect();
    qreal baseline = area.top() + metrics.ascent();
    for (const QString& line : visibleLines(area.width())) {
        painter.drawText(area.left(), qRound(baseline), line);
        baseline += metrics.lineSpacing();
    }
}
