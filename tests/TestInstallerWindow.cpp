#include "CaseFile.h"
#include "FakePlatformServices.h"
#include "InstallerWindow.h"
#include "Translation.h"
#include "WrappingLabel.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Records what a label showed whenever it was painted.
class PaintLog : public QObject {
public:
    QStringList painted;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted << qobject_cast<QLabel*>(watched)->text();
        }
        return false;
    }
};

} // namespace

// The real window over a scripted platform: what it shows and allows in each state, where its
// buttons and keys lead, how its texts fit, and when the start-up sequence runs.
class TestInstallerWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cases_data();
    void cases();
    void startUpRunsAfterThePaintOfEachShow();
    void secondWindowHasItsOwnState();

private:
    void showAndStartUp();
    QStringList picture() const;
    void checkEveryTextFits() const;
    QPushButton* button(const QString& title) const;
    QLineEdit* field() const;
    QString text(const QString& label) const;

    std::unique_ptr<FakePlatformServices> fake;
    std::unique_ptr<QTranslator> translation;
    std::unique_ptr<InstallerWindow> window;
};

void TestInstallerWindow::init() {
    window.reset();
    translation.reset();
    fake = std::make_unique<FakePlatformServices>();
    window = std::make_unique<InstallerWindow>(*fake);
}

void TestInstallerWindow::showAndStartUp() {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_COMPARE(fake->processRuns.size(), 1);
}

QStringList TestInstallerWindow::picture() const {
    QStringList lines, tabOrder;
    const QPushButton* defaultButton = nullptr;
    for (const QPushButton* button : window->findChildren<QPushButton*>()) {
        lines << button->text() + (button->isEnabled() ? u" on"_s : u" off"_s);
        defaultButton = button->isDefault() ? button : defaultButton;
    }
    QWidget* widget = field();
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            auto* push = qobject_cast<QPushButton*>(widget);
            tabOrder << (push ? push->text() : u"field"_s);
        }
        widget = widget->nextInFocusChain();
    } while (widget != field());
    for (const StyledLabel* label : window->findChildren<StyledLabel*>()) {
        if (!label->objectName().isEmpty()) {
            lines << label->objectName() +
                         (label->isHidden() ? u": hidden"_s : u": "_s + label->text());
        }
    }
    for (const WrappingLabel* label : window->findChildren<WrappingLabel*>()) {
        const QStringList shown = label->visibleLines(label->contentsRect().width());
        const bool whole = shown.join(QString()) == label->text();
        lines << u"%1 %2 in %3 lines"_s.arg(label->objectName(), whole ? u"whole"_s : u"cut"_s)
                     .arg(shown.size());
    }
    return lines << u"field: \"%1\" %2"_s.arg(field()->text(),
                                              field()->isEnabled() ? u"on"_s : u"off"_s)
                 << u"field length: %1"_s.arg(field()->text().size())
                 << u"cursor: %1"_s.arg(field()->cursorPosition())
                 << u"token: "_s + window->contentView().state().token
                 << u"calls: "_s + fake->calls.join(u", "_s)
                 << u"tab order: "_s + tabOrder.join(u", "_s)
                 << u"focus: "_s +
                        (QApplication::focusWidget() == field() ? u"field"_s : u"elsewhere"_s)
                 << u"default: "_s + (defaultButton ? defaultButton->text() : QString());
}

// Every wrapping text, whole or cut, is drawn within its label's width, and every label has the
// height its text needs, inside the window's fixed width.
void TestInstallerWindow::checkEveryTextFits() const {
    QCOMPARE(window->width(), 560);
    for (const WrappingLabel* label : window->findChildren<WrappingLabel*>()) {
        for (const QString& line : label->visibleLines(label->contentsRect().width())) {
            QVERIFY(label->fontMetrics().horizontalAdvance(line) <= label->contentsRect().width());
        }
        QTRY_VERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(label->objectName()));
        QVERIFY(
            window->rect().contains(QRect(label->mapTo(window.get(), QPoint()), label->size())));
    }
}

QPushButton* TestInstallerWindow::button(const QString& title) const {
    const auto buttons = window->findChildren<QPushButton*>();
    const auto found = std::find_if(buttons.begin(), buttons.end(),
                                    [&](QPushButton* button) { return button->text() == title; });
    return found == buttons.end() ? nullptr : *found;
}

QLineEdit* TestInstallerWindow::field() const {
    return window->findChild<QLineEdit*>();
}

QString TestInstallerWindow::text(const QString& label) const {
    return window->findChild<QLabel*>(label)->text();
}

void TestInstallerWindow::cases_data() {
    addCaseRows(u"InstallerWindow.cases"_s);
}

void TestInstallerWindow::cases() {
    QFETCH(Case, testCase);
    const std::map<QByteArray, Qt::Key> keys{{"Return", Qt::Key_Return},
                                             {"Enter", Qt::Key_Enter},
                                             {"Home", Qt::Key_Home},
                                             {"Right", Qt::Key_Right},
                                             {"Backspace", Qt::Key_Backspace}};
    for (const auto& [verb, argument] : testCase.steps) {
        const QString text = QString::fromUtf8(argument);
        if (fake->play(verb, argument)) {
            continue;
        } else if (verb == "show") {
            showAndStartUp();
        } else if (verb == "keys") {
            QTest::keyClicks(field(), text);
        } else if (verb == "key" || verb == "key-in-field") {
            QWidget* target = verb == "key" ? static_cast<QWidget*>(window.get()) : field();
            QTest::keyClick(target, keys.at(argument));
        } else if (verb == "click") {
            QVERIFY2(button(text), argument.constData());
            QTest::mouseClick(button(text), Qt::LeftButton);
        } else if (verb == "forget-calls") {
            fake->calls.clear();
        } else if (verb == "activate") {
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
        } else if (verb == "in-german") {
            translation = installTranslation(QLocale(QLocale::German));
            QVERIFY(translation);
            window = std::make_unique<InstallerWindow>(*fake);
        } else if (verb == "long-home") {
            fake->home = u"/home/"_s + u"a-rather-long-home-folder-name/"_s.repeated(8);
            window = std::make_unique<InstallerWindow>(*fake);
        } else {
            QCOMPARE(verb, "expect");
            checkEveryTextFits();
            const QStringList shown = picture();
            QVERIFY2(std::any_of(shown.begin(), shown.end(),
                                 [&](const QString& line) { return line.startsWith(text); }),
                     qPrintable(text + u"\nnot in:\n"_s + shown.join(u'\n')));
        }
    }
}

// The probe blocks: the window must have painted "Checking…" before it starts, at every show.
void TestInstallerWindow::startUpRunsAfterThePaintOfEachShow() {
    PaintLog log;
    window->findChild<QLabel*>(u"pythonStatus"_s)->installEventFilter(&log);
    QStringList paintedBeforeProbe;
    fake->whileProcessRuns = [&] {
        paintedBeforeProbe = log.painted;
    };
    window->show();
    QCOMPARE(fake->processRuns.size(), 0);
    QTRY_COMPARE(fake->processRuns.size(), 1);
    QCOMPARE(paintedBeforeProbe.value(0), u"Checking…"_s);
    fake->play("answer", R"(0 200 {"version":"1","script_url":""})");
    window->hide();
    window->show();
    QTRY_COMPARE(fake->processRuns.size(), 2);
    QCOMPARE(fake->gets.size(), 2u);
    QCOMPARE(text(u"manifestVersion"_s), u"—"_s);
}

void TestInstallerWindow::secondWindowHasItsOwnState() {
    window.reset();
    ZEPHInstallerApp application(*fake);
    InstallerWindow* first = application.openWindow();
    first->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(first));
    QTRY_COMPARE(fake->processRuns.size(), 1);
    first->contentView().checkStatus();

    QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
    QTRY_COMPARE(fake->processRuns.size(), 2);
    const auto windows = QApplication::topLevelWidgets();
    const auto second = std::find_if(windows.begin(), windows.end(), [first](QWidget* widget) {
        return qobject_cast<InstallerWindow*>(widget) && widget != first;
    });
    QVERIFY(second != windows.end());
    QCOMPARE((*second)->findChild<QLabel*>(u"statusLine"_s)->text(), u"Python detected."_s);
    QCOMPARE(first->findChild<QLabel*>(u"statusLine"_s)->text(), u"Not finished yet."_s);
}

QTEST_MAIN(TestInstallerWindow)
#include "TestInstallerWindow.moc"
