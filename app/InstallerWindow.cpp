#include "InstallerWindow.h"

#include "FinishSection.h"
#include "PythonSection.h"
#include "ScriptSection.h"
#include "StyledLabel.h"
#include "TokenSection.h"
#include "VersionSection.h"
#include "WrappingLabel.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLayout>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize windowSize{560, 720};
constexpr int padding = 18;
constexpr int rowSpacing = 14;

} // namespace

InstallerWindow::InstallerWindow(PlatformServices& platform, QWidget* parent)
    : QWidget(parent)
    , view(platform) {
    rows = new QVBoxLayout(this);
    rows->setContentsMargins(padding, padding, padding, padding);
    rows->setSpacing(rowSpacing);

    rows->addWidget(new StyledLabel(tr("Lumerra × Resolve Installer"),
                                    StyledLabel::TextStyle::Title, StyledLabel::Tone::Primary,
                                    this));
    auto* subtitle =
        new StyledLabel(tr("Installs the Resolve script and saves your token. No Terminal."),
                        StyledLabel::TextStyle::Body, StyledLabel::Tone::Secondary, this);
    subtitle->setWordWrap(true);
    rows->addWidget(subtitle);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    rows->addWidget(divider);

    // Built from top to bottom, which is also the order Tab moves in.
    sections << new VersionSection(view, this) << new PythonSection(view, this)
             << new ScriptSection(view, this);
    auto* token = new TokenSection(view, this);
    finish = new FinishSection(view, this);
    sections << token << finish;
    for (SectionBox* section : std::as_const(sections)) {
        rows->addWidget(section);
    }
    rows->addStretch();

    statusLine =
        new WrappingLabel(StyledLabel::TextStyle::Footnote, StyledLabel::Tone::Secondary, 0, this);
    statusLine->setObjectName(u"statusLine"_s);
    rows->addWidget(statusLine);

    // Typing or pasting the token is the one thing to do at once, as in a Mac window, whose
    // first text field has the focus.
    token->takeFocus();
    render();
    connect(&view, &ContentView::changed, this, &InstallerWindow::render);
}

// 720 is the height the installer is drawn for. Where the platform's fonts and controls, or long
// texts from state, need more room than that, the window is made taller rather than clipping its
// content; its width never changes. One more status line leaves room for a message that wraps.
void InstallerWindow::fitHeight() {
    // A section whose text wrapped onto more lines does not tell the window's layout by itself.
    for (SectionBox* section : std::as_const(sections)) {
        section->layout()->invalidate();
    }
    rows->invalidate();
    const int fullestHeight =
        rows->totalHeightForWidth(windowSize.width()) + statusLine->fontMetrics().lineSpacing();
    setFixedSize(windowSize.width(), std::max(windowSize.height(), fullestHeight));
}

ContentView& InstallerWindow::contentView() {
    return view;
}

void InstallerWindow::render() {
    for (SectionBox* section : std::as_const(sections)) {
        section->render(view);
    }
    statusLine->setDisplayedText(view.state().statusText);
    fitHeight();
}

// A show by the program (the first one, or after hide()) starts the installer afresh; a show
// that the window system reports, such as restoring a minimised window, is the same content
// coming back and does not.
void InstallerWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        startUpAfterPaint = true;
    }
}

// The start-up sequence blocks while Python is probed. Starting it only once the window has
// been painted, from the event loop after the painted frame is flushed, lets the user see
// "Checking…" and "Loading…" in the meantime.
void InstallerWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (startUpAfterPaint) {
        startUpAfterPaint = false;
        QTimer::singleShot(0, &view, &ContentView::startUp);
    }
}

// Without a dialog around it, Return reaches the window whenever the focused control leaves it
// unused, the token field and the buttons included; it then acts as "Close", the default button.
void InstallerWindow::keyPressEvent(QKeyEvent* event) {
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool unmodified = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!isReturn || !unmodified) {
        QWidget::keyPressEvent(event);
        return;
    }
    finish->activateDefaultAction();
}
