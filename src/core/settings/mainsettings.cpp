#include "settings/mainsettings.h"

#include "settings/profile.h"

#include <QFileInfo>

#include <algorithm>
#include <climits>

namespace qly {

namespace {
// Defaults computed from hand-edited extremes must not overflow: in 64 bits, then clamped.
int clampToInt(qint64 v) {
    return int(std::clamp<qint64>(v, INT_MIN, INT_MAX));
}

const QString Main = QStringLiteral("Main");
const QString Colors = QStringLiteral("Colors");
} // namespace

const std::array<int, PageCount> DefaultPageColors = {
    0xFFC080, 0xC0FFFF, 0xC0FFC0, 0xC0C0FF, 0x80C0FF, 0xFFFFC0, 0xFFC0C0, 0x8080FF, 0x4080FF,
    0x80FFFF, 0x80FF80, 0xFFFF80, 0xFFC040, 0xFFC0C0, 0xC0C0FF, 0x80C0FF, 0xC0FFFF, 0xC0FFC0,
    0xFFFFC0, 0xFFC080, 0xFFC0C0, 0x8080FF, 0x4080FF, 0x80FFFF, 0x80FF80, 0xFFFF80,
};

QString settingsFilePath(const QString& programPath) {
    const QFileInfo info(programPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    QString dir = info.path();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + base + QStringLiteral(".ini");
}

MainSettings MainSettings::read(const Profile& p, int screenWidth, int screenHeight) {
    MainSettings s;
    s.width = p.readInteger(Main, QStringLiteral("Width"), 400);
    s.height = p.readInteger(Main, QStringLiteral("Height"), 368);
    // Integer division in C++ truncates toward zero, as the defaults want.
    s.left = p.readInteger(Main, QStringLiteral("Left"),
                           clampToInt((qint64(screenWidth) - s.width) / 2));
    s.top = p.readInteger(Main, QStringLiteral("Top"),
                          clampToInt((qint64(screenHeight) - s.height) / 2));
    s.minimizedLeft = p.readInteger(Main, QStringLiteral("MinimizedLeft"),
                                    clampToInt(qint64(s.left) + s.width - 34));
    s.minimizedTop = p.readInteger(Main, QStringLiteral("MinimizedTop"), s.top);
    s.titleHeight = p.readInteger(Main, QStringLiteral("TitleHeight"), 25);
    s.showHint = p.readBool(Main, QStringLiteral("ShowHint"), true);
    s.stayOnTop = p.readBool(Main, QStringLiteral("StayOnTop"), true);
    s.minimizeTo = p.readInteger(Main, QStringLiteral("MinimizeTo"), 0);
    s.activePage = p.readInteger(Main, QStringLiteral("ActivePage"), 0);
    return s;
}

void MainSettings::write(Profile& p) const {
    p.beginGroupWrite();
    p.writeBool(Main, QStringLiteral("ShowHint"), showHint);
    p.writeBool(Main, QStringLiteral("StayOnTop"), stayOnTop);
    p.writeInteger(Main, QStringLiteral("MinimizeTo"), minimizeTo);
    p.writeInteger(Main, QStringLiteral("Left"), left);
    p.writeInteger(Main, QStringLiteral("Top"), top);
    p.writeInteger(Main, QStringLiteral("Width"), width);
    p.writeInteger(Main, QStringLiteral("Height"), height);
    p.writeString(Main, QStringLiteral("Plimsa"), QStringLiteral("0"));
    p.writeInteger(Main, QStringLiteral("TitleHeight"), titleHeight);
    p.writeInteger(Main, QStringLiteral("MinimizedLeft"), minimizedLeft);
    p.writeInteger(Main, QStringLiteral("MinimizedTop"), minimizedTop);
    p.writeInteger(Main, QStringLiteral("ActivePage"), activePage);
    p.endGroupWrite();
}

int readPageColor(const Profile& profile, int index) {
    const int i = validPageIndex(index);
    return profile.readInteger(Colors, pageLetter(i), DefaultPageColors[i]);
}

void writePageColor(Profile& profile, int index, int color) {
    profile.writeInteger(Colors, pageLetter(index), color);
}

} // namespace qly
