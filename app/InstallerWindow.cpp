#include "InstallerWindow.h"

#include "WrappingLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

using Style = StyledLabel::TextStyle;
using Tone = StyledLabel::Tone;

constexpr QSize windowSize{560, 720};
constexpr int padding = 18;
constexpr int buttonSpacing = 12;
// Tighter than the style's default: the box's frame already adds a few pixels, and five boxes
// share the window's height.
constexpr QMargins sectionMargins{9, 4, 9, 7};
// The token field holds whatever is typed or pasted; saving refuses what cannot be loaded.
constexpr int tokenFieldLimit = 16 * 1024 * 1024;
// The role assistive technology is told a widget plays, where it is not the one Qt gives its
// class: the status line is the window's status bar, which a screen reader reads on request, and
// on Qt 6.4 the announcements come from a notification, which it speaks as it shows.
constexpr char accessibleRole[] = "zephAccessibleRole";

QAccessibleInterface* withAccessibleRole(const QString&, QObject* object) {
    const QVariant role = object->property(accessibleRole);
    if (!role.isValid() || !object->isWidgetType()) {
        return nullptr;
    }
    return new QAccessibleWidget(static_cast<QWidget*>(object),
                                 static_cast<QAccessible::Role>(role.toInt()));
}

template <class Widget> Widget* named(const QString& name, Widget* widget) {
    widget->setObjectName(name);
    return widget;
}

// A text from state, by a name that tests and accessibility tools can find it by.
WrappingLabel* stateText(const QString& name, Tone tone, int lines = 3, Style style = Style::Body) {
    return named(name, new WrappingLabel(style, tone, lines));
}

StyledLabel* badge(const QString& name, const QString& text, Tone tone = Tone::Green) {
    return named(name, new StyledLabel(text, Style::Body, tone));
}

// An untitled group box whose rows are `spacing` apart: its title is its first row, and the name a
// screen reader gives the section.
QVBoxLayout* addSection(QVBoxLayout* rows, int spacing) {
    auto* box = new QGroupBox;
    auto* section = new QVBoxLayout(box);
    section->setContentsMargins(sectionMargins);
    section->setSpacing(spacing);
    rows->addWidget(box);
    return section;
}

// The section's title, then `trailing` drawn at the far end of the row, in the room left.
template <class Label>
Label* addTitleRow(QVBoxLayout* section, const QString& title, Label* trailing) {
    section->parentWidget()->setAccessibleName(title);
    auto* row = new QHBoxLayout;
    row->addWidget(new StyledLabel(title, Style::Headline, Tone::Primary));
    row->addWidget(trailing, 1);
    trailing->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    section->addLayout(row);
    return trailing;
}

// A fixed text, wrapped to the section's width.
WrappingLabel* addText(QVBoxLayout* section, const QString& text, Style style, Tone tone) {
    auto* label = new WrappingLabel(style, tone, 0);
    label->setDisplayedText(text);
    section->addWidget(label);
    return label;
}

void addButtonRow(QVBoxLayout* section, std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->setSpacing(buttonSpacing);
    for (QPushButton* button : buttons) {
        row->addWidget(button);
    }
    row->addStretch();
    section->addLayout(row);
}

// What a screen reader says after a control's name: what the control acts on, where its name
// does not say, and the state of its section as the section shows it.
void describe(QWidget* control, QStringList parts) {
    parts.removeAll(QString());
    control->setAccessibleDescription(parts.join(u'\n'));
}

} // namespace

// Built from the top down, which is also the order Tab moves in. The content scrolls only on a
// screen too short for it; elsewhere the scroll area, without a frame, shows nothing of its own.
InstallerWindow::InstallerWindow(PlatformServices& platform, QWidget* parent)
    : QMainWindow(parent)
    , view(platform) {
    // The title bar, and assistive technology, name the window after the application.
    setWindowTitle(QGuiApplication::applicationDisplayName());
    // Once for the application, however many windows it opens.
    static const bool rolesGiven = (QAccessible::installFactory(&withAccessibleRole), true);
    Q_UNUSED(rolesGiven);
    auto* content = new QWidget;
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(padding, padding, padding, padding);
    rows->setSpacing(14);
    addText(rows, tr("Lumerra × Resolve Installer"), Style::Title, Tone::Primary);
    addText(rows, tr("Installs the Resolve script and saves your token. No Terminal."), Style::Body,
            Tone::Secondary);
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    rows->addWidget(divider);

    QVBoxLayout* version = addSection(rows, 8);
    manifestVersion = addTitleRow(version, tr("Script version"),
                                  stateText(u"manifestVersion"_s, Tone::Secondary));
    version->addWidget(manifestStatus = stateText(u"manifestStatus"_s, Tone::Secondary));
    addButtonRow(version, {refresh = button(tr("Refresh version"), &ContentView::fetchManifest)});

    QVBoxLayout* python = addSection(rows, 8);
    pythonBadge = addTitleRow(python, tr("Python"), badge(u"pythonBadge"_s, {}, Tone::Orange));
    python->addWidget(pythonStatus = stateText(u"pythonStatus"_s, Tone::Orange));
    addButtonRow(python,
                 {installPython = button(tr("Install Python"), &ContentView::openPythonDownloads),
                  recheck = button(tr("Re-check"), &ContentView::checkPython)});
    pythonHint = named(u"pythonHint"_s,
                       addText(python, tr("DaVinci Resolve needs Python installed to run scripts."),
                               Style::Footnote, Tone::Secondary));

    QVBoxLayout* script = addSection(rows, 10);
    scriptBadge = addTitleRow(script, tr("Resolve Script"), badge(u"scriptBadge"_s, {}));
    addText(script, tr("Installs the latest script into Resolve’s Scripts folder."), Style::Body,
            Tone::Secondary);
    addButtonRow(
        script, {install = button(tr("Install Script"), &ContentView::installScript),
                 openScripts = button(tr("Open Scripts Folder"), &ContentView::openScriptsFolder)});
    script->addWidget(scriptPath = stateText(u"scriptPath"_s, Tone::Secondary, 2, Style::Footnote));

    QVBoxLayout* token = addSection(rows, 10);
    tokenBadge = addTitleRow(token, tr("Resolve API Token"), badge(u"tokenBadge"_s, {}));
    const QString tokenHint = tr("Copy it from Lumerra → Account → Resolve API Token");
    addText(token, tokenHint, Style::Body, Tone::Secondary);
    token->addWidget(tokenField = new QLineEdit);
    tokenField->setAccessibleDescription(tokenHint);
    tokenField->setPlaceholderText(tr("Paste token here…"));
    tokenField->setAccessibleName(tr("Resolve API Token"));
    tokenField->setMaxLength(tokenFieldLimit);
    addButtonRow(token, {save = button(tr("Save Token"), &ContentView::saveToken),
                         openToken = button(tr("Open Token File"), &ContentView::openTokenFile)});
    token->addWidget(tokenPath = stateText(u"tokenPath"_s, Tone::Secondary, 2, Style::Footnote));

    QVBoxLayout* finish = addSection(rows, 10);
    finishBadge = addTitleRow(finish, tr("Finish"), badge(u"finishBadge"_s, {}));
    addText(finish, tr("Restart DaVinci Resolve, then run:"), Style::Body, Tone::Secondary);
    addText(finish, tr("Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills"),
            Style::Callout, Tone::Secondary);
    addButtonRow(finish, {checkStatus = button(tr("Check status"), &ContentView::checkStatus),
                          closeButton = button(tr("Close"), &ContentView::closeInstaller)});
    // Drawn as the default button; Return reaches it through keyPressEvent().
    closeButton->setDefault(true);
    finishHint =
        named(u"finishHint"_s,
              addText(finish,
                      tr("Close is enabled once Python is detected, the script is installed, "
                         "and the token is saved."),
                      Style::Footnote, Tone::Secondary));

    rows->addStretch();
    rows->addWidget(statusLine = stateText(u"statusLine"_s, Tone::Secondary, 4, Style::Footnote));
    statusLine->setProperty(accessibleRole, QAccessible::StatusBar);
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    // Outside any layout and of no size: it draws nothing and takes no click.
    announcement = new QWidget(this);
    announcement->setProperty(accessibleRole, QAccessible::Notification);
    announcement->setGeometry({});
    announcement->hide();
#endif

    scroller = new QScrollArea;
    scroller->setFrameShape(QFrame::NoFrame);
    // Tab moves between the controls, which scroll into view as they take the focus.
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidgetResizable(true);
    scroller->setWidget(content);
    content->installEventFilter(this);
    setCentralWidget(scroller);
    // Tab scrolls the control it reaches into view by itself; the focus given back after work,
    // or at the window's opening, is brought into view here.
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { scroller->ensureWidgetVisible(now); });

    // Typing or pasting the token is the one thing to do at once, as in a Mac window, whose first
    // text field has the focus. Whatever changes the field's text, keys, input methods or
    // accessibility, reaches the view.
    tokenField->setFocus();
    connect(tokenField, &QLineEdit::textChanged, &view, &ContentView::setToken);
    connect(&view, &ContentView::changed, this, &InstallerWindow::showState);
    showState();
}

// Destroying the controls moves the focus off them, which is no longer this window's to follow.
InstallerWindow::~InstallerWindow() {
    disconnect(qApp, nullptr, this, nullptr);
}

QPushButton* InstallerWindow::button(const QString& title, void (ContentView::*action)()) {
    auto* button = new QPushButton(title);
    connect(button, &QPushButton::clicked, &view, action);
    return button;
}

void InstallerWindow::showState() {
    const InstallerState& state = view.state();
    const bool idle = !state.isWorking;
    manifestVersion->setDisplayedText(state.manifestVersion);
    manifestStatus->setDisplayedText(state.manifestStatus);

    pythonBadge->setText(state.pythonInstalled ? tr("Detected") : tr("Required"));
    pythonBadge->setTone(state.pythonInstalled ? Tone::Green : Tone::Orange);
    pythonStatus->setDisplayedText(state.pythonStatus);
    pythonStatus->setTone(state.pythonInstalled ? Tone::Secondary : Tone::Orange);
    pythonHint->setHidden(state.pythonInstalled);

    // The marks are always there, empty until a state shows them: a screen reader that has read
    // the window once goes on seeing a label Qt 6.4 shows later as hidden. Empty, they also keep
    // the emoji's font from loading as the content is measured, before the window is painted.
    scriptBadge->setText(state.installedScript ? tr("Installed ✅") : QString());
    install->setText(state.installedScript ? tr("Update Script") : tr("Install Script"));
    scriptPath->setDisplayedText(view.scriptFileURL());

    tokenBadge->setText(state.savedToken ? tr("Saved ✅") : QString());
    // Only a token that did not come from the field is drawn back into it: what is typed stays
    // where the user's cursor and selection are.
    if (tokenField->text() != state.token) {
        tokenField->setText(state.token);
    }
    tokenPath->setDisplayedText(view.tokenFileURL());

    finishBadge->setText(state.allSet ? tr("All set ✅") : QString());
    finishHint->setHidden(state.allSet);
    statusLine->setDisplayedText(state.statusText);
    describeControls();

    enableKeepingFocus({{refresh, idle},
                        {installPython, idle && !state.pythonInstalled},
                        {recheck, idle},
                        {install, idle && state.pythonInstalled && state.manifestScriptURL},
                        {openScripts, idle},
                        {tokenField, idle},
                        {save, idle && !state.token.trimmed().isEmpty()},
                        {openToken, idle},
                        {checkStatus, idle},
                        {closeButton, idle && state.allSet}},
                       state.isWorking);
    fitToScreen();
    // Last: a screen reader stops speaking when the focus moves, and the focus may just have.
    announceStatus(state.statusText);
}

// The texts as their labels show them, cut where the labels cut them.
void InstallerWindow::describeControls() {
    describe(refresh, {manifestVersion->accessibleName(), manifestStatus->accessibleName()});
    const QString python = pythonBadge->text();
    describe(installPython, {python, pythonStatus->accessibleName()});
    describe(recheck,
             {tr("Checks whether Python can be started."), python, pythonStatus->accessibleName()});
    for (QPushButton* control : {install, openScripts}) {
        describe(control, {scriptBadge->text(), scriptPath->accessibleName()});
    }
    for (QPushButton* control : {save, openToken}) {
        describe(control, {tokenBadge->text(), tokenPath->accessibleName()});
    }
    describe(checkStatus,
             {tr("Checks Python, the script and the token again."), finishBadge->text()});
    describe(closeButton, {finishHint->isHidden() ? QString() : finishHint->text()});
}

// Each new text of the status line, progress and outcome alike, is handed to assistive technology
// once, as the line shows it: a screen reader does not speak a label whose text changes.
void InstallerWindow::announceStatus(const QString& statusText) {
    if (statusText == announcedStatus) {
        return;
    }
    announcedStatus = statusText;
    // Until the window shows, there is no one to tell: the line is read with the window.
    if (!statusLine->isVisible()) {
        return;
    }
    const QString shown = statusLine->accessibleName();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(statusLine, shown);
    QAccessible::updateAccessibility(&announcement);
#else
    // Qt 6.4 has no announcement; Orca speaks a notification, role and name, when it shows.
    announcement->setAccessibleName(shown);
    announcement->hide();
    announcement->show();
#endif
}

// Qt moves the focus off a control it disables to the next one, which may be disabled next: a
// screen reader would announce each in turn, and the focus would end on nothing. Instead the
// focus waits on the window, which a screen reader names after the application, while the work
// that disabled its control goes on and its progress is announced, and goes back to that control
// when it is enabled again; if it is still disabled once nothing is at work, the focus goes on to
// the next control that can take it.
void InstallerWindow::enableKeepingFocus(std::initializer_list<std::pair<QWidget*, bool>> controls,
                                         bool working) {
    for (const auto& [control, enabled] : controls) {
        if (!enabled && control == focusWidget()) {
            focusToRestore = control;
            setFocus();
        }
    }
    for (const auto& [control, enabled] : controls) {
        control->setEnabled(enabled);
    }
    if (!focusToRestore || (working && !focusToRestore->isEnabled())) {
        return;
    }
    QWidget* next = focusToRestore;
    while (!next->isEnabled() || !(next->focusPolicy() & Qt::TabFocus)) {
        next = next->nextInFocusChain();
        if (next == focusToRestore) {
            return;
        }
    }
    next->setFocus();
    focusToRestore = nullptr;
}

// 720 is the height the installer is drawn for. Where the platform's fonts and controls, or long
// texts from state, need more room, the window grows, its width never changing; one more status
// line leaves room for a message that wraps. Where the screen is too short for that, the window
// is as tall as the screen leaves and its content scrolls, each control at its own height. The
// height changes only with the lines the texts take and the rows shown, or with the screen.
void InstallerWindow::fitToScreen() {
    QList<int> shape;
    const QList<WrappingLabel*> texts = scroller->widget()->findChildren<WrappingLabel*>();
    for (const WrappingLabel* text : texts) {
        shape << (text->isHidden() ? 0
                                   : int(text->visibleLines(text->contentsRect().width()).size()));
    }
    shape << screen()->availableGeometry().height() - (frameGeometry().height() - height());
    if (shape == fittedShape) {
        return;
    }
    fittedShape = shape;
    // Each layout keeps what it measured, and so does the content's layout for each section: all
    // measure afresh.
    QWidget* content = scroller->widget();
    for (QLayout* layout : content->findChildren<QLayout*>()) {
        layout->invalidate();
    }
    for (QGroupBox* section : content->findChildren<QGroupBox*>()) {
        section->updateGeometry();
    }
    const int extraLine = statusLine->fontMetrics().lineSpacing();
    const int available = shape.last();
    const int needed = content->heightForWidth(windowSize.width()) + extraLine;
    setFixedSize(windowSize.width(), std::min(std::max(windowSize.height(), needed), available));
}

// A show by the program (the first one, or after hide()) starts the installer afresh; a show
// that the window system reports, such as restoring a minimised window, is the same content
// coming back and does not.
void InstallerWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) {
        startUpAfterPaint = true;
    }
    connect(windowHandle(), &QWindow::screenChanged, this, &InstallerWindow::fitToScreen,
            Qt::UniqueConnection);
}

// The start-up sequence blocks while Python is probed. Starting it only once the content has
// been painted, from the event loop after the painted frame is flushed, lets the user see
// "Checking…" and "Loading…" in the meantime.
bool InstallerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && startUpAfterPaint) {
        startUpAfterPaint = false;
        QTimer::singleShot(0, &view, &ContentView::startUp);
    }
    return QMainWindow::eventFilter(watched, event);
}

// Outside a dialog nothing makes Return click the default button, so the window does: Return
// reaches it whenever the focused control leaves the key unused, the token field and the
// buttons included. click() ignores a disabled "Close", as a click with the mouse would.
void InstallerWindow::keyPressEvent(QKeyEvent* event) {
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        closeButton->click();
    } else {
        QMainWindow::keyPressEvent(event);
    }
}
