#include "FinishSection.h"

#include "ContentView.h"
#include "TextButton.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int rowSpacing = 10;

} // namespace

FinishSection::FinishSection(ContentView& view, QWidget* parent)
    : SectionBox(rowSpacing, parent)
    , badge(addTitleRow(tr("Finish"), StyledLabel::Tone::Green))
    , checkStatusButton(new TextButton(tr("Check status"), this))
    , closeButton(new TextButton(tr("Close"), this)) {
    badge->setDisplayedText(tr("All set ✅"));
    badge->setObjectName(u"finishBadge"_s);
    addTextRow(tr("Restart DaVinci Resolve, then run:"), StyledLabel::TextStyle::Body,
               StyledLabel::Tone::Secondary);
    addTextRow(tr("Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills"),
               StyledLabel::TextStyle::Callout, StyledLabel::Tone::Secondary);
    // Drawn as the default button: Return anywhere in the window activates it.
    closeButton->setDefault(true);
    addButtonRow({checkStatusButton, closeButton});
    hint = addTextRow(
        tr("Close is enabled once Python is detected, the script is installed, and the token is "
           "saved."),
        StyledLabel::TextStyle::Footnote, StyledLabel::Tone::Secondary);
    hint->setObjectName(u"finishHint"_s);
    connect(checkStatusButton, &TextButton::clicked, &view, &ContentView::checkStatus);
    connect(closeButton, &TextButton::clicked, &view, &ContentView::closeInstaller);
}

void FinishSection::render(const ContentView& view) {
    const InstallerState& state = view.state();
    badge->setHidden(!state.allSet);
    checkStatusButton->setEnabled(!state.isWorking);
    closeButton->setEnabled(!state.isWorking && state.allSet);
    hint->setHidden(state.allSet);
}

void FinishSection::activateDefaultAction() {
    // click() ignores a disabled button, as a click with the mouse would.
    closeButton->click();
}
