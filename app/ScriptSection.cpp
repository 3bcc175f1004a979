#include "ScriptSection.h"

#include "ContentView.h"
#include "TextButton.h"
#include "WrappingLabel.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int rowSpacing = 10;

} // namespace

ScriptSection::ScriptSection(ContentView& view, QWidget* parent)
    : SectionBox(rowSpacing, parent)
    , badge(addTitleRow(tr("Resolve Script"), StyledLabel::Tone::Green))
    , install(new TextButton(tr("Install Script"), this))
    , openFolder(new TextButton(tr("Open Scripts Folder"), this))
    , path(new WrappingLabel(StyledLabel::TextStyle::Footnote, StyledLabel::Tone::Secondary, 2,
                             this)) {
    badge->setDisplayedText(tr("Installed ✅"));
    badge->setObjectName(u"scriptBadge"_s);
    addTextRow(tr("Installs the latest script into Resolve’s Scripts folder."),
               StyledLabel::TextStyle::Body, StyledLabel::Tone::Secondary);
    addButtonRow({install, openFolder});
    path->setObjectName(u"scriptPath"_s);
    addRow(path);
    connect(install, &TextButton::clicked, &view, &ContentView::installScript);
    connect(openFolder, &TextButton::clicked, &view, &ContentView::openScriptsFolder);
}

void ScriptSection::render(const ContentView& view) {
    const InstallerState& state = view.state();
    badge->setHidden(!state.installedScript);
    install->setTitle(state.installedScript ? tr("Update Script") : tr("Install Script"));
    install->setEnabled(!state.isWorking && state.pythonInstalled &&
                        state.manifestScriptURL.has_value());
    openFolder->setEnabled(!state.isWorking);
    path->setDisplayedText(view.scriptFileURL());
}
