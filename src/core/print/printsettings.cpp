#include "print/printsettings.h"

#include "settings/error.h"
#include "settings/profile.h"

#include <algorithm>
#include <optional>

namespace qly {

namespace {
const QString Print = QStringLiteral("Print");

// A decimal integer with an optional sign and blanks around it, nothing else.
std::optional<int> decimalInteger(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}
} // namespace

PrintSettings PrintSettings::read(const Profile& p, int screenWidth, int screenHeight,
                                  int defaultWidth, int defaultHeight) {
    PrintSettings s;
    // Integer division in C++ truncates toward zero, as the defaults want.
    s.left = p.readInteger(Print, QStringLiteral("Left"), (screenWidth - defaultWidth) / 2);
    s.top = p.readInteger(Print, QStringLiteral("Top"), (screenHeight - defaultHeight) / 2);
    s.width = p.readInteger(Print, QStringLiteral("Width"), DesignWidth);
    s.height = p.readInteger(Print, QStringLiteral("Height"), DesignHeight);
    s.inches = p.readBool(Print, QStringLiteral("Inches"), true);
    s.xOffset = p.readString(Print, QStringLiteral("XOffset"), QStringLiteral("0"));
    s.yOffset = p.readString(Print, QStringLiteral("YOffset"), QStringLiteral("0"));
    s.centerVert = p.readBool(Print, QStringLiteral("CenterVert"), true);
    s.centerHorz = p.readBool(Print, QStringLiteral("CenterHorz"), true);
    s.zoom = p.readString(Print, QStringLiteral("Zoom"), QStringLiteral("100"));
    s.fitToPage = p.readBool(Print, QStringLiteral("FitToPage"), false);
    s.copies = p.readString(Print, QStringLiteral("Copies"), QStringLiteral("1"));
    s.showMargins = p.readBool(Print, QStringLiteral("ShowMargins"), true);
    s.showFrame = p.readBool(Print, QStringLiteral("ShowFrame"), true);
    s.background =
        p.readString(Print, QStringLiteral("Background"), QString::number(DefaultBackground));
    return s;
}

void PrintSettings::write(Profile& p) const {
    p.beginGroupWrite();
    p.writeBool(Print, QStringLiteral("Inches"), inches);
    p.writeBool(Print, QStringLiteral("ShowFrame"), showFrame);
    p.writeBool(Print, QStringLiteral("FitToPage"), fitToPage);
    p.writeBool(Print, QStringLiteral("CenterVert"), centerVert);
    p.writeBool(Print, QStringLiteral("CenterHorz"), centerHorz);
    p.writeBool(Print, QStringLiteral("ShowMargins"), showMargins);
    p.writeString(Print, QStringLiteral("Zoom"), zoom);
    p.writeString(Print, QStringLiteral("Copies"), copies);
    p.writeString(Print, QStringLiteral("XOffset"), xOffset);
    p.writeString(Print, QStringLiteral("YOffset"), yOffset);
    p.writeString(Print, QStringLiteral("Background"), background);
    p.writeInteger(Print, QStringLiteral("Top"), top);
    p.writeInteger(Print, QStringLiteral("Left"), left);
    p.writeInteger(Print, QStringLiteral("Width"), width);
    p.writeInteger(Print, QStringLiteral("Height"), height);
    p.endGroupWrite();
}

int PrintSettings::backgroundColor() const {
    const std::optional<int> v = decimalInteger(background);
    if (!v)
        throw Error(QStringLiteral("'%1' is not a valid integer value").arg(background));
    return *v;
}

int copiesToPrint(const QString& text) {
    return decimalInteger(text).value_or(1);
}

double boundedOffset(double value, bool inches) {
    const double limit = MaxSheetInches * (inches ? 1.0 : 25.4);
    return std::clamp(value, -limit, limit);
}

QRect fitToScreen(int left, int top, int width, int height, const QSize& minimum,
                  const QRect& screen) {
    // 64-bit arithmetic: the stored numbers may be anything an int holds.
    const auto clampSize = [](qint64 v, int low, int high) {
        return int(std::clamp<qint64>(v, low, std::max(low, high)));
    };
    const int w = clampSize(width, minimum.width(), screen.width());
    const int h = clampSize(height, minimum.height(), screen.height());
    const auto clampPos = [](qint64 v, int low, int size, int span) {
        return int(std::clamp<qint64>(v, low, low + std::max(0, span - size)));
    };
    return QRect(clampPos(left, screen.x(), w, screen.width()),
                 clampPos(top, screen.y(), h, screen.height()), w, h);
}

} // namespace qly
