#include "PythonSection.h"

#include "ContentView.h"
#include "TextButton.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int rowSpacing = 8;

} // namespace

PythonSection::PythonSection(ContentView& view, QWidget* parent)
    : SectionBox(rowSpacing, parent)
    , badge(addTitleRow(tr("Python"), StyledLabel::Tone::Orange))
    , result(addTextRow({}, StyledLabel::TextStyle::Body, StyledLabel::Tone::Orange))
    , installPython(new TextButton(tr("Install Python"), this))
    , recheck(new TextButton(tr("Re-check"), this)) {
    addButtonRow({installPython, recheck});
    hint = addTextRow(tr("DaVinci Resolve needs Python installed to run scripts."),
                      StyledLabel::TextStyle::Footnote, StyledLabel::Tone::Secondary);
    badge->setObjectName(u"pythonBadge"_s);
    result->setObjectName(u"pythonStatus"_s);
    hint->setObjectName(u"pythonHint"_s);
    connect(installPython, &TextButton::clicked, &view, &ContentView::openPythonDownloads);
    connect(recheck, &TextButton::clicked, &view, &ContentView::checkPython);
}

void PythonSection::render(const ContentView& view) {
    const InstallerState& state = view.state();
    const bool found = state.pythonInstalled;
    badge->setDisplayedText(found ? tr("Detected") : tr("Required"));
    badge->setTone(found ? StyledLabel::Tone::Green : StyledLabel::Tone::Orange);
    result->setDisplayedText(state.pythonStatus);
    result->setTone(found ? StyledLabel::Tone::Secondary : StyledLabel::Tone::Orange);
    installPython->setEnabled(!state.isWorking && !found);
    recheck->setEnabled(!state.isWorking);
    hint->setHidden(found);
}
