// A won column is covered from bottom to top by its owner's picture, in the
// owner's colour and shape, until the next game clears the board.
#include "ViewFixture.h"

#include "client/ImageList.h"
#include "protocol/FieldReader.h"

#include <QImage>

namespace {
class ColumnClaimTest : public ViewFixture {
protected:
    Picture* claim(int column) const { return pic(QString("image_claim%1").arg(column)); }
    // The picture the claim shows, read back from its file.
    static QImage claimPicture(int seat, int column) {
        return ImageList::picture(QString("claim%1_%2").arg(seat).arg(board::columnTop(column)))
            .toImage();
    }
    void endTurn(int seat, int column) {
        const int top = board::columnTop(column);
        game->endturn(
            args(cmd::endturnResult_(seat, "p", {EndItem{{column, top, seat, 0}, top - 1}})));
    }
};
} // namespace

TEST_F(ColumnClaimTest, AKeptTurnOnTheTopCoversTheWholeColumnInTheOwnersPicture) {
    login(1);
    model->seatArrived(3, "Cy");
    endTurn(3, 8);
    Picture* cover = claim(8);
    EXPECT_FALSE(cover->isHidden());
    EXPECT_EQ(cover->value(), 3);
    // It spans every place of the column, from the top one to the bottom one.
    for (int position = 0; position <= board::columnTop(8); ++position)
        EXPECT_TRUE(cover->geometry().contains(chip(8, position)->geometry())) << position;
    EXPECT_FALSE(cover->geometry().intersects(chip(7, 0)->geometry()));
    EXPECT_FALSE(cover->geometry().intersects(chip(9, 0)->geometry()));
    // Drawn over the places, and in the size of its picture.
    EXPECT_GT(panel->findChildren<QWidget*>().indexOf(cover),
              panel->findChildren<QWidget*>().indexOf(chip(8, board::columnTop(8))));
    const QImage expected = claimPicture(3, 8);
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(cover->size(), expected.deviceIndependentSize().toSize());
    // The other columns stay open.
    EXPECT_TRUE(claim(7)->isHidden());
    EXPECT_TRUE(claim(9)->isHidden());
}

TEST_F(ColumnClaimTest, ANewcomerSeesTheWonColumnsAndANewGameClearsThem) {
    login(2);
    game->gamestats(
        args(cmd::gamestats_(2, 1, "0", {}, {BoardItem{12, 2, 4, 0}, BoardItem{2, 1, 1, 0}})));
    EXPECT_FALSE(claim(12)->isHidden());
    EXPECT_EQ(claim(12)->value(), 4);
    EXPECT_TRUE(claim(2)->isHidden()) << "a chip below the top does not win the column";

    game->startthegame(args(cmd::startgame_("Ann", "0")));
    for (int column = board::firstColumn; column <= board::lastColumn; ++column)
        EXPECT_TRUE(claim(column)->isHidden()) << column;
}
