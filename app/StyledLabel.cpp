#include "StyledLabel.h"

#include <QApplication>
#include <QEvent>

namespace {

struct StyleMetrics {
    qreal scale = 1.0;
    QFont::Weight weight = QFont::Normal;
};

// Sizes relative to the system font, in the proportions of the desktop's usual type ramp.
StyleMetrics metricsOf(StyledLabel::TextStyle style) {
    switch (style) {
    case StyledLabel::TextStyle::Title:
        return {1.35, QFont::Bold};
    case StyledLabel::TextStyle::Headline:
        return {1.0, QFont::DemiBold};
    case StyledLabel::TextStyle::Callout:
        return {0.92, QFont::Normal};
    case StyledLabel::TextStyle::Footnote:
        return {0.85, QFont::Normal};
    case StyledLabel::TextStyle::Body:
        break;
    }
    return {};
}

// Only size and weight are set, so the family and everything else still come from the parent.
QFont fontOf(StyledLabel::TextStyle style) {
    const StyleMetrics metrics = metricsOf(style);
    const QFont systemFont = QApplication::font();
    QFont font;
    if (systemFont.pointSizeF() > 0) {
        font.setPointSizeF(systemFont.pointSizeF() * metrics.scale);
    } else {
        font.setPixelSize(qRound(systemFont.pixelSize() * metrics.scale));
    }
    font.setWeight(metrics.weight);
    return font;
}

// Green and orange in a darker shade on light windows and a brighter one on dark windows, so
// that both read on either.
QColor colourOf(StyledLabel::Tone tone, const QPalette& palette) {
    const bool onDark = palette.color(QPalette::Window).lightness() < 128;
    switch (tone) {
    case StyledLabel::Tone::Secondary:
        return palette.color(QPalette::PlaceholderText);
    case StyledLabel::Tone::Green:
        return onDark ? QColor(0x30, 0xd1, 0x58) : QColor(0x1a, 0x7f, 0x37);
    case StyledLabel::Tone::Orange:
        return onDark ? QColor(0xff, 0x9f, 0x0a) : QColor(0xb4, 0x53, 0x09);
    case StyledLabel::Tone::Primary:
        break;
    }
    return palette.color(QPalette::WindowText);
}

} // namespace

StyledLabel::StyledLabel(TextStyle style, Tone tone, QWidget* parent)
    : QLabel(parent) {
    // Texts come from state and from translations, never as markup.
    setTextFormat(Qt::PlainText);
    if (style != TextStyle::Body) {
        setFont(fontOf(style));
    }
    setTone(tone);
}

StyledLabel::StyledLabel(const QString& text, TextStyle style, Tone tone, QWidget* parent)
    : StyledLabel(style, tone, parent) {
    setDisplayedText(text);
}

void StyledLabel::setDisplayedText(const QString& text) {
    if (text != this->text()) {
        setText(text);
        setAccessibleName(text);
    }
}

void StyledLabel::setTone(Tone newTone) {
    currentTone = newTone;
    applyTone();
}

StyledLabel::Tone StyledLabel::tone() const {
    return currentTone;
}

void StyledLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyTone();
    }
}

// Only the text colour is set here; every other role stays inherited, so the colour is recomputed
// when the inherited palette changes. Setting an identical palette sends no further change event.
void StyledLabel::applyTone() {
    QPalette own;
    if (currentTone != Tone::Primary) {
        own.setColor(QPalette::WindowText, colourOf(currentTone, palette()));
    }
    setPalette(own);
}
