#include "VersionSection.h"

#include "ContentView.h"
#include "TextButton.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int rowSpacing = 8;

} // namespace

VersionSection::VersionSection(ContentView& view, QWidget* parent)
    : SectionBox(rowSpacing, parent)
    , version(addTitleRow(tr("Script version"), StyledLabel::Tone::Secondary))
    , manifestStatus(addTextRow({}, StyledLabel::TextStyle::Body, StyledLabel::Tone::Secondary))
    , refresh(new TextButton(tr("Refresh version"), this)) {
    version->setObjectName(u"manifestVersion"_s);
    manifestStatus->setObjectName(u"manifestStatus"_s);
    addButtonRow({refresh});
    connect(refresh, &TextButton::clicked, &view, &ContentView::fetchManifest);
}

void VersionSection::render(const ContentView& view) {
    const InstallerState& state = view.state();
    version->setDisplayedText(state.manifestVersion);
    manifestStatus->setDisplayedText(state.manifestStatus);
    refresh->setEnabled(!state.isWorking);
}
