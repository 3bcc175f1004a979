#include "BareWindow.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The installer's text styles: a size relative to the application font and a weight.
struct Style {
    qreal scale = 1.0;
    QFont::Weight weight = QFont::Normal;
};
constexpr Style body;
constexpr Style title{1.35, QFont::Bold};
constexpr Style headline{1.0, QFont::DemiBold};
constexpr Style callout{0.92};
constexpr Style footnote{0.85};

struct Line {
    QString text;
    Style style = body;
};

struct Section {
    QString title;
    QString badge;
    QList<Line> lines;
    QStringList buttons;
    bool textField = false;
};

QList<Section> sections() {
    const QString home = QDir::homePath();
    return {
        {u"Script version"_s, u"—"_s, {{u"Loading…"_s}}, {u"Refresh version"_s}},
        {u"Python"_s,
         u"Required"_s,
         {{u"Checking…"_s},
          {u"DaVinci Resolve needs Python installed to run scripts."_s, footnote}},
         {u"Install Python"_s, u"Re-check"_s}},
        {u"Resolve Script"_s,
         {},
         {{u"Installs the latest script into Resolve’s Scripts folder."_s},
          {home + u"/Library/Application Support/Blackmagic Design/DaVinci Resolve/Fusion/"
                  "Scripts/Utility/ZEPH_Export_Gallery_Stills.py"_s,
           footnote}},
         {u"Install Script"_s, u"Open Scripts Folder"_s}},
        {u"Resolve API Token"_s,
         {},
         {{u"Copy it from Lumerra → Account → Resolve API Token"_s},
          {home + u"/.zeph/resolve_token.txt"_s, footnote}},
         {u"Save Token"_s, u"Open Token File"_s},
         true},
        {u"Finish"_s,
         {},
         {{u"Restart DaVinci Resolve, then run:"_s},
          {u"Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills"_s, callout},
          {u"Close is enabled once Python is detected, the script is installed, and the token "
           "is saved."_s,
           footnote}},
         {u"Check status"_s, u"Close"_s}},
    };
}

} // namespace

BareWindow::BareWindow(const QUrl& manifestUrl, QSize size, Typography typography, QWidget* parent)
    : QWidget(parent)
    , manifestUrl(manifestUrl) {
    // Lines of running text wrap, as in the installer; titles and badges do not.
    const auto label = [typography](const QString& text, Style style, QWidget* parent,
                                    bool wraps = true) {
        auto* label = new QLabel(text, parent);
        label->setWordWrap(wraps);
        if (typography == Typography::InstallerStyles &&
            (style.scale != 1.0 || style.weight != QFont::Normal)) {
            QFont font;
            font.setPointSizeF(QApplication::font().pointSizeF() * style.scale);
            font.setWeight(style.weight);
            label->setFont(font);
        }
        return label;
    };
    auto* rows = new QVBoxLayout(this);
    rows->addWidget(label(u"Lumerra × Resolve Installer"_s, title, this, false));
    rows->addWidget(
        label(u"Installs the Resolve script and saves your token. No Terminal."_s, body, this));
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    rows->addWidget(divider);
    for (const Section& section : sections()) {
        auto* box = new QGroupBox(this);
        auto* boxRows = new QVBoxLayout(box);
        auto* titleRow = new QHBoxLayout;
        titleRow->addWidget(label(section.title, headline, box, false));
        titleRow->addStretch();
        titleRow->addWidget(label(section.badge, body, box, false));
        boxRows->addLayout(titleRow);
        for (const Line& line : section.lines) {
            QLabel* shown = label(line.text, line.style, box);
            if (&line == &section.lines.first()) {
                firstLines.append(shown);
            }
            boxRows->addWidget(shown);
        }
        if (section.textField) {
            auto* field = new QLineEdit(box);
            field->setPlaceholderText(u"Paste token here…"_s);
            boxRows->addWidget(field);
        }
        auto* buttons = new QHBoxLayout;
        for (const QString& button : section.buttons) {
            buttons->addWidget(new QPushButton(button, box));
        }
        buttons->addStretch();
        boxRows->addLayout(buttons);
        rows->addWidget(box);
    }
    rows->addStretch();
    rows->addWidget(label(u"Ready."_s, footnote, this));
    setFixedSize(size);
}

// Queued from the first paint, as the installer does, so both start their work at the same point.
void BareWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (startUpPending) {
        startUpPending = false;
        QTimer::singleShot(0, this, &BareWindow::startUp);
    }
}

void BareWindow::startUp() {
    QNetworkReply* reply = network.get(QNetworkRequest(manifestUrl));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        const QJsonObject manifest = QJsonDocument::fromJson(reply->readAll()).object();
        firstLines.at(0)->setText(manifest.value("version"_L1).toString());
        reply->deleteLater();
        Q_EMIT manifestApplied();
    });
    QProcess python;
    python.start(u"/usr/bin/env"_s, {u"python3"_s, u"--version"_s});
    python.waitForFinished();
    firstLines.at(1)->setText(QString::fromUtf8(python.readAll()).trimmed());
}
