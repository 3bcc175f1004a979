#include "TokenSection.h"

#include "ContentView.h"
#include "TextButton.h"
#include "TokenField.h"
#include "WrappingLabel.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int rowSpacing = 10;

} // namespace

TokenSection::TokenSection(ContentView& view, QWidget* parent)
    : SectionBox(rowSpacing, parent)
    , badge(addTitleRow(tr("Resolve API Token"), StyledLabel::Tone::Green))
    , field(new TokenField(this))
    , save(new TextButton(tr("Save Token"), this))
    , openFile(new TextButton(tr("Open Token File"), this))
    , path(new WrappingLabel(StyledLabel::TextStyle::Footnote, StyledLabel::Tone::Secondary, 2,
                             this)) {
    badge->setDisplayedText(tr("Saved ✅"));
    badge->setObjectName(u"tokenBadge"_s);
    addTextRow(tr("Copy it from Lumerra → Account → Resolve API Token"),
               StyledLabel::TextStyle::Body, StyledLabel::Tone::Secondary);
    field->setPlaceholderText(tr("Paste token here…"));
    field->setAccessibleName(tr("Resolve API Token"));
    // The line edit's default limit would cut a long loaded token, and a save would then write
    // the cut one.
    field->setMaxLength(ContentView::maxTokenBytes);
    addRow(field);
    addButtonRow({save, openFile});
    path->setObjectName(u"tokenPath"_s);
    addRow(path);
    connect(field, &TokenField::textEdited, &view, &ContentView::setToken);
    connect(save, &TextButton::clicked, &view, &ContentView::saveToken);
    connect(openFile, &TextButton::clicked, &view, &ContentView::openTokenFile);
}

void TokenSection::render(const ContentView& view) {
    const InstallerState& state = view.state();
    badge->setHidden(!state.savedToken);
    field->showToken(state.token);
    field->setEnabled(!state.isWorking);
    save->setEnabled(!state.isWorking && !state.token.trimmed().isEmpty());
    openFile->setEnabled(!state.isWorking);
    path->setDisplayedText(view.tokenFileURL());
}

void TokenSection::takeFocus() {
    field->setFocus();
}
