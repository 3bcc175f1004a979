#include "StyledLabel.h"

#include <QApplication>

namespace {

// Sizes relative to the system font, in the proportions of the desktop's usual type ramp; only
// size and weight are set, so the family and everything else still come from the parent.
QFont fontOf(StyledLabel::TextStyle style) {
    struct Metrics {
        qreal scale;
        QFont::Weight weight;
    };
    // In the order of TextStyle: Body, Title, Headline, Callout, Footnote.
    constexpr Metrics metrics[] = {{1.0, QFont::Normal},
                                   {1.35, QFont::Bold},
                                   {1.0, QFont::DemiBold},
                                   {0.92, QFont::Normal},
                                   {0.85, QFont::Normal}};
    const auto [scale, weight] = metrics[static_cast<int>(style)];
    const QFont systemFont = QApplication::font();
    QFont font;
    if (systemFont.pointSizeF() > 0) {
        font.setPointSizeF(systemFont.pointSizeF() * scale);
    } else {
        font.setPixelSize(qRound(systemFont.pixelSize() * scale));
    }
    font.setWeight(weight);
    return font;
}

} // namespace

StyledLabel::StyledLabel(const QString& text, TextStyle style, Tone tone, QWidget* parent)
    : QLabel(parent) {
    // Texts come from state and from translations, never as markup.
    setTextFormat(Qt::PlainText);
    setText(text);
    if (style != TextStyle::Body) {
        setFont(fontOf(style));
    }
    setTone(tone);
}

void StyledLabel::setTone(Tone newTone) {
    tone = newTone;
    setForegroundRole(tone == Tone::Secondary ? QPalette::PlaceholderText : QPalette::WindowText);
    // A palette of the label's own that sets only this colour; an empty one inherits everything.
    QPalette own;
    if (const std::optional<QColor> colour = toneColour()) {
        own.setColor(QPalette::WindowText, *colour);
    }
    setPalette(own);
}

std::optional<QColor> StyledLabel::toneColour() const {
    const bool onDark = palette().color(QPalette::Window).lightness() < 128;
    if (tone == Tone::Green) {
        return onDark ? QColor(0x30, 0xd1, 0x58) : QColor(0x1a, 0x7f, 0x37);
    }
    if (tone == Tone::Orange) {
        return onDark ? QColor(0xff, 0x9f, 0x0a) : QColor(0xb4, 0x53, 0x09);
    }
    return std::nullopt;
}
