#pragma once

#include <QNetworkAccessManager>
#include <QSize>
#include <QUrl>
#include <QWidget>

class QLabel;

// The floor for the installer's window: the same texts in stock Qt widgets of about the same
// number, at a given fixed size, with no state model behind them. After its first paint it does
// the same outside work as the installer's start-up, with bare Qt: it runs `python3 --version` to
// its end and fetches the manifest.
class BareWindow : public QWidget {
    Q_OBJECT

public:
    enum class Typography {
        Default,         // every text in the application font
        InstallerStyles, // the installer's five sizes and weights, to show what they cost
    };

    BareWindow(const QUrl& manifestUrl, QSize size, Typography typography,
               QWidget* parent = nullptr);

Q_SIGNALS:
    void manifestApplied();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void startUp();

    QUrl manifestUrl;
    QNetworkAccessManager network;
    QList<QLabel*> firstLines;
    bool startUpPending = true;
};
