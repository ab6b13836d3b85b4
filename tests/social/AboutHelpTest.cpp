#include "ChatTestSupport.h"

#include "protocol/Commands.h"
#include "social/HelpPages.h"
#include "social/Tabout.h"
#include "social/Thelp.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {

class AboutWindow : public ::testing::Test {
protected:
    AboutWindow() {
        about.setUrlOpener([this](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        about.show();
    }
    Tabout about;
    QStringList opened;
};

TEST_F(AboutWindow, ShowsTheLoginVersionAndTheSiteAddress) {
    EXPECT_EQ(about.windowTitle(), "Climora - About");
    EXPECT_EQ(about.size(), QSize(304, 174));
    EXPECT_EQ(about.versionText(), QString(cmd::version));
    EXPECT_EQ(about.versionLabel()->objectName(), "version");
    EXPECT_EQ(about.urlLabel()->text(), "www.orvane.com");
    EXPECT_TRUE(about.urlLabel()->font().bold());
    EXPECT_TRUE(about.urlLabel()->font().underline());
    EXPECT_EQ(about.urlLabel()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(about.logo()->pixmap().size(), QSize(259, 76));
    EXPECT_FALSE(about.isModal());
}

TEST_F(AboutWindow, AddressLogoAndMainLogoOpenTheSite) {
    QTest::mouseClick(about.urlLabel(), Qt::LeftButton);
    QTest::mouseClick(about.logo(), Qt::LeftButton);
    QLabel mainLogo;
    mainLogo.resize(50, 20);
    mainLogo.show();
    about.attachLogo(&mainLogo);
    QTest::mouseClick(&mainLogo, Qt::LeftButton);
    QTest::mouseClick(&mainLogo, Qt::RightButton);
    EXPECT_EQ(opened, QStringList(3, "http://www.orvane.com"));
    about.doneButton()->click();
    EXPECT_FALSE(about.isVisible());
}

TEST(HelpWindow, MakesPagesWhenShownAndReopensOnTheLastPage) {
    Tabout about;
    Thelp help(nullptr, &about);
    EXPECT_EQ(help.windowTitle(), "Climora - Help File");
    EXPECT_EQ(help.size(), QSize(556, 422));
    EXPECT_EQ(help.caption(), "Overview");
    for (int n = 1; n <= HelpPages::count; ++n)
        EXPECT_EQ(help.page(n), nullptr) << "nothing is made before the window shows";

    help.show();
    ASSERT_NE(help.page(1), nullptr);
    EXPECT_EQ(help.findChild<QStackedWidget*>()->currentWidget(), help.page(1));
    help.button(4)->click();
    EXPECT_EQ(help.caption(), "Scoring");
    ASSERT_NE(help.page(4), nullptr);
    EXPECT_EQ(help.page(4)->objectName(), "memo4");
    EXPECT_TRUE(help.page(4)->isReadOnly());
    EXPECT_TRUE(help.page(4)->toPlainText().contains(
        "The first player to complete 3 columns wins the game."));

    help.button(8)->click(); // "Done"
    EXPECT_FALSE(help.isVisible());
    help.show();
    EXPECT_EQ(help.currentPage(), 4);
    EXPECT_EQ(help.caption(), "Scoring");
    EXPECT_EQ(help.findChild<QStackedWidget*>()->currentWidget(), help.page(4));
    EXPECT_EQ(help.page(2), nullptr) << "pages never shown are never made";

    help.button(7)->click(); // "About"
    EXPECT_TRUE(about.isVisible());
}

TEST(HelpWindow, SidePanelButtonsComeInTheirOrderWithTheirPages) {
    Thelp help;
    QStringList captions;
    for (int n = 1; n <= 8; ++n)
        captions << help.button(n)->text();
    EXPECT_EQ(captions, (QStringList{"Overview", "Connecting", "Game Play", "Scoring",
                                     "Documentation", "Options", "About", "Done"}));
    for (int n = 1; n <= HelpPages::count; ++n)
        EXPECT_TRUE(HelpPages::text(n).startsWith("<p><b>" + HelpPages::caption(n) + "</b>"));
    EXPECT_TRUE(HelpPages::text(2).contains("7772"));
    EXPECT_TRUE(HelpPages::text(5).contains("1.0.1.0"));
}

} // namespace
