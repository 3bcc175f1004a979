#include "WrappingLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>

using namespace Qt::StringLiterals;

namespace {

// More than a line of the window can hold: what lies beyond is never laid out.
constexpr qsizetype charactersPerLine = 512;
// As much as a tooltip can be read at: whole, a text of hundreds of thousands of characters froze
// the window for seconds on every hover, in a tooltip far wider than the screen.
constexpr qsizetype toolTipCharacters = 2000;

bool isHidingOrReordering(char16_t c) {
    return (c < 0x20 && c != u'\n') || (c >= 0x7f && c < 0xa0) || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

WrappingLabel::WrappingLabel(TextStyle style, Tone tone, int maximumLines, QWidget* parent)
    : StyledLabel(QString(), style, tone, parent)
    , maximumLines(maximumLines) {
    // Asks the layout for the height of each width; the lines themselves are laid out here.
    setWordWrap(true);
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    textLayout.setTextOption(wrapping);
    textLayout.setFont(font());
}

void WrappingLabel::setDisplayedText(const QString& text) {
    if (text == source) {
        return;
    }
    source = text;
    QString shown = text;
    for (QChar& c : shown) {
        if (c == u'\n') {
            c = QChar::LineSeparator;
        } else if (isHidingOrReordering(c.unicode())) {
            c = QChar::ReplacementCharacter;
        }
    }
    setText(shown);
    textLayout.setText(maximumLines > 0 ? shown.left(maximumLines * charactersPerLine) : shown);
    laidOut.clear();
    // Until it is shown, the label has no width of its own to lay the text out at.
    if (isVisible()) {
        describe();
    }
}

QStringList WrappingLabel::visibleLines(int width) const {
    return linesAt(width).lines;
}

// The layout asks for the same few widths again and again; each is laid out once per text.
const WrappingLabel::Lines& WrappingLabel::linesAt(int width) const {
    if (const auto known = laidOut.constFind(width); known != laidOut.constEnd()) {
        return *known;
    }
    const QString whole = text();
    const QString shaped = textLayout.text();
    Lines result;
    textLayout.beginLayout();
    for (QTextLine line = textLayout.createLine(); line.isValid(); line = textLayout.createLine()) {
        line.setLineWidth(width);
        const qsizetype end = line.textStart() + line.textLength();
        QString shown = shaped.mid(line.textStart(), line.textLength());
        if (result.lines.size() == maximumLines - 1 && (end < shaped.size() || shaped != whole)) {
            // The last line shows what fits of the rest of its paragraph, and an ellipsis.
            result.cut = true;
            const QString rest = shaped.mid(line.textStart()).section(QChar::LineSeparator, 0, 0);
            shown = fontMetrics().elidedText(rest + u'…', Qt::ElideRight, width);
        }
        result.lines << (shown.endsWith(QChar::LineSeparator) ? shown.chopped(1) : shown);
        result.asShown += shown;
        if (result.cut) {
            break;
        }
    }
    textLayout.endLayout();
    result.asShown.replace(QChar::LineSeparator, u'\n');
    return *laidOut.insert(width, result);
}

// Its height comes from heightForWidth(), its width from the layout around it: no text ever
// widens the window, and a line cut short can get as narrow as its ellipsis.
QSize WrappingLabel::sizeHint() const {
    return minimumSizeHint();
}

QSize WrappingLabel::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(QChar(0x2026)) + margins.left() + margins.right(),
            textHeight(1)};
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
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetricsF metrics(font());
    const QRect area = contentsRect();
    qreal baseline = area.top() + metrics.ascent();
    const bool toTheRight = alignment() & Qt::AlignRight;
    for (const QString& line : visibleLines(area.width())) {
        const int x =
            toTheRight ? area.right() + 1 - fontMetrics().horizontalAdvance(line) : area.left();
        painter.drawText(x, qRound(baseline), line);
        baseline += metrics.lineSpacing();
    }
}

void WrappingLabel::resizeEvent(QResizeEvent* event) {
    StyledLabel::resizeEvent(event);
    describe();
}

// Set explicitly: Qt would otherwise offer assistive technology the whole text as the name, and
// the tooltip as the description. A tooltip that looks like markup Qt renders as markup, with
// its pictures and sizes; escaped, the text is shown as it is.
void WrappingLabel::describe() {
    const Lines& shown = linesAt(contentsRect().width());
    QString whole = text();
    whole.replace(QChar::LineSeparator, u'\n');
    const QString description = !shown.cut ? QString()
                                : whole.size() <= toolTipCharacters
                                    ? whole
                                    : whole.left(toolTipCharacters) + u'…';
    setAccessibleName(shown.asShown);
    setAccessibleDescription(description);
    setToolTip(description.isEmpty() ? QString()
                                     : u"<p style='white-space:pre-wrap'>"_s +
                                           description.toHtmlEscaped() + u"</p>"_s);
}
