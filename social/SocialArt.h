#pragma once

#include <QString>
#include <QStringList>

// The pictures of the chat and social windows, drawn by
// scripts/make-social-art and embedded under ":/social/".
class SocialArt {
public:
    SocialArt() = delete;

    // The smileys: item k of the smiley menu (k = 0 to 17) has the tag
    // 10 + k, travels in the chat as ":)#" and the tag, and shows picture k.
    static constexpr int smileyCount = 18;
    static constexpr int firstSmileyTag = 10;

    static QString smiley(int k) {
        return QStringLiteral(":/social/smiley%1.png").arg(firstSmileyTag + k);
    }
    static QStringList smileys() {
        QStringList paths;
        for (int k = 0; k < smileyCount; ++k)
            paths << smiley(k);
        return paths;
    }
    // The picture of phrase button n (1 to 9).
    static QString phrase(int n) { return QStringLiteral(":/social/phrase%1.png").arg(n); }
    static QString chatter() { return QStringLiteral(":/social/chatter.png"); }
    static QString smilies() { return QStringLiteral(":/social/smilies.png"); }
    // The "just watching" mark, 23 x 10.
    static QString eyes() { return QStringLiteral(":/social/eyes.png"); }
    // The About window's logo, 259 x 76.
    static QString aboutLogo() { return QStringLiteral(":/social/aboutlogo.png"); }
};
