#include "social/ColourText.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace {

struct Named {
    const char* name;
    quint32 value;
};

constexpr std::array<Named, 42> names{{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clScrollBar", 0x80000000},
    {"clBackground", 0x80000001},
    {"clActiveCaption", 0x80000002},
    {"clInactiveCaption", 0x80000003},
    {"clMenu", 0x80000004},
    {"clWindow", 0x80000005},
    {"clWindowFrame", 0x80000006},
    {"clMenuText", 0x80000007},
    {"clWindowText", 0x80000008},
    {"clCaptionText", 0x80000009},
    {"clActiveBorder", 0x8000000A},
    {"clInactiveBorder", 0x8000000B},
    {"clAppWorkSpace", 0x8000000C},
    {"clHighlight", 0x8000000D},
    {"clHighlightText", 0x8000000E},
    {"clBtnFace", 0x8000000F},
    {"clBtnShadow", 0x80000010},
    {"clGrayText", 0x80000011},
    {"clBtnText", 0x80000012},
    {"clInactiveCaptionText", 0x80000013},
    {"clBtnHighlight", 0x80000014},
    {"cl3DDkShadow", 0x80000015},
    {"cl3DLight", 0x80000016},
    {"clInfoText", 0x80000017},
    {"clInfoBk", 0x80000018},
    {"clNone", 0x1FFFFFFF},
}};

// The palette colour that stands for each desktop colour, in value order.
QColor desktopColour(quint32 index) {
    const QPalette palette = QGuiApplication::palette();
    using R = QPalette::ColorRole;
    using G = QPalette::ColorGroup;
    struct Role {
        G group;
        R role;
    };
    static constexpr std::array<Role, 25> roles{{
        {G::Active, R::Button},          // scroll bar
        {G::Active, R::Window},          // desktop background
        {G::Active, R::Highlight},       // active caption
        {G::Inactive, R::Highlight},     // inactive caption
        {G::Active, R::Window},          // menu
        {G::Active, R::Base},            // window
        {G::Active, R::Shadow},          // window frame
        {G::Active, R::WindowText},      // menu text
        {G::Active, R::Text},            // window text
        {G::Active, R::HighlightedText}, // caption text
        {G::Active, R::Window},          // active border
        {G::Inactive, R::Window},        // inactive border
        {G::Active, R::Dark},            // application work space
        {G::Active, R::Highlight},       // highlight
        {G::Active, R::HighlightedText}, // highlighted text
        {G::Active, R::Button},          // button face
        {G::Active, R::Mid},             // button shadow
        {G::Disabled, R::Text},          // grey text
        {G::Active, R::ButtonText},      // button text
        {G::Inactive, R::HighlightedText},
        {G::Active, R::Light},    // button highlight
        {G::Active, R::Shadow},   // 3D dark shadow
        {G::Active, R::Midlight}, // 3D light
        {G::Active, R::ToolTipText},
        {G::Active, R::ToolTipBase},
    }};
    if (index >= roles.size())
        return Qt::black;
    return palette.color(roles[index].group, roles[index].role);
}

std::optional<quint32> parseNumber(const QString& text) {
    if (text.startsWith('$')) {
        const QString digits = text.mid(1);
        if (digits.isEmpty() || digits.size() > 8)
            return std::nullopt;
        bool ok = false;
        const quint32 value = digits.toUInt(&ok, 16);
        return ok ? std::optional<quint32>(value) : std::nullopt;
    }
    qsizetype i = (text.startsWith('-') || text.startsWith('+')) ? 1 : 0;
    if (i >= text.size())
        return std::nullopt;
    for (qsizetype k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9')
            return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    // A 32-bit integer, signed or not: -1 and $FFFFFFFF are the same value.
    if (!ok || value < -2147483648LL || value > 4294967295LL)
        return std::nullopt;
    return quint32(value);
}

} // namespace

QString ColourText::toText(quint32 value) {
    for (const Named& named : names)
        if (named.value == value)
            return QString::fromLatin1(named.name);
    return '$' + QString::number(value, 16).toUpper().rightJustified(8, '0');
}

std::optional<quint32> ColourText::fromText(const QString& text) {
    for (const Named& named : names)
        if (text.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0)
            return named.value;
    return parseNumber(text);
}

QColor ColourText::toQColor(quint32 value) {
    if (value == ColourText::none)
        return Qt::transparent;
    if ((value & 0xFF000000) == 0x80000000)
        return desktopColour(value & 0x00FFFFFF);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 ColourText::fromQColor(const QColor& colour) {
    const QColor c = colour.toRgb();
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}
