#pragma once

#include "ui/DeferredPixmap.h"

#include <QDialog>
#include <QPixmap>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;

// The About window: the logo and the maker's web address, both links to the
// maker's site, and the program's version. The version label shows the
// version text that the client sends at login, from the one place that
// defines it. It does not block the main window.
class Tabout : public QDialog {
    Q_OBJECT
public:
    static constexpr int clientWidth = 304;
    static constexpr int clientHeight = 174;
    // $008AB3BF as red, green, blue.
    static constexpr QRgb backgroundColour = 0xBFB38A;
    static inline const QString siteAddress = QStringLiteral("www.orvane.com");

    // The background picture, usually the main window's, is drawn over the
    // background colour from the top-left corner.
    explicit Tabout(QWidget* parent = nullptr, const DeferredPixmap& background = {});

    void setBackground(const DeferredPixmap& picture);
    const DeferredPixmap& background() const { return m_background; }
    // The caption of the version label.
    QString versionText() const;

    // Opens "http://" and the site address in the web browser (URL1).
    void openSite();
    // How a web address is opened; QDesktopServices::openUrl by default.
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_opener = std::move(opener); }
    // Makes another picture (the main window's logo) a link to the site too.
    void attachLogo(QWidget* logo);

    QLabel* urlLabel() const { return m_url; }
    QLabel* logo() const { return m_logo; }
    QLabel* versionLabel() const { return m_version; }
    QPushButton* doneButton() const { return m_done; }

    void button_doneClick();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DeferredPixmap m_background;
    std::function<bool(const QUrl&)> m_opener;
    QLabel* m_logo = nullptr;
    QLabel* m_url = nullptr;
    QLabel* m_version = nullptr;
    QPushButton* m_done = nullptr;
};
