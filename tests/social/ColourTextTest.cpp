#include "ChatTestSupport.h"

#include "social/ColourText.h"

#include <QGuiApplication>
#include <QPalette>
#include <gtest/gtest.h>

namespace {

TEST(ColourText, NamedValuesWriteTheirNameOthersEightHexDigits) {
    EXPECT_EQ(ColourText::toText(0x000000), "clBlack");
    EXPECT_EQ(ColourText::toText(0xFF0000), "clBlue");
    EXPECT_EQ(ColourText::toText(0x0000FF), "clRed");
    EXPECT_EQ(ColourText::toText(0x80000008), "clWindowText");
    EXPECT_EQ(ColourText::toText(0x1FFFFFFF), "clNone");
    EXPECT_EQ(ColourText::toText(0x00abcdef), "$00ABCDEF");
    EXPECT_EQ(ColourText::toText(1), "$00000001");
}

TEST(ColourText, ReadsNamesInAnyCaseDecimalAndDollarHex) {
    struct Case {
        const char* text;
        std::optional<quint32> value;
    } cases[] = {
        {"clBlack", 0u},
        {"clblack", 0u},
        {"CLFUCHSIA", 0xFF00FFu},
        {"clInfoBk", 0x80000018u},
        {"255", 255u},
        {"$FF", 255u},
        {"$00aBcDeF", 0xABCDEFu},
        {"-1", 0xFFFFFFFFu},
        {"4294967295", 0xFFFFFFFFu},
        {"", std::nullopt},
        {"$", std::nullopt},
        {"12ab", std::nullopt},
        {"$123456789", std::nullopt},
        {"4294967296", std::nullopt},
        {"clBlackish", std::nullopt},
        {" 5", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColourText::fromText(c.text), c.value) << c.text;
}

TEST(ColourText, ValuesRoundTripThroughText) {
    for (quint32 value : {0x000000u, 0x0000FFu, 0x808080u, 0x123456u, 0x80000010u, 0xFFFFFFFFu})
        EXPECT_EQ(ColourText::fromText(ColourText::toText(value)), value);
}

TEST(ColourText, PaintsRedInTheLowestByteAndDesktopColoursFromThePalette) {
    EXPECT_EQ(ColourText::toQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(ColourText::toQColor(0xAECAD2), QColor(0xD2, 0xCA, 0xAE));
    EXPECT_EQ(ColourText::toQColor(0x80000008), QGuiApplication::palette().color(QPalette::Text));
    EXPECT_EQ(ColourText::toQColor(0x1FFFFFFF).alpha(), 0);
    EXPECT_EQ(ColourText::fromQColor(QColor(1, 2, 3)), 0x030201u);
}

} // namespace
