#pragma once

#include "model/pageletters.h"

#include <QString>

#include <array>

namespace qly {

class Profile;

// Colours are held as 0x00BBGGRR, red in the lowest byte, as the settings file stores them.
extern const std::array<int, PageCount> DefaultPageColors;

// The settings file: the program's path with its extension replaced by ".ini".
QString settingsFilePath(const QString& programPath);

// The section "Main" of the settings file.
struct MainSettings {
    int width = 400;
    int height = 368;
    int left = 0;
    int top = 0;
    int minimizedLeft = 0;
    int minimizedTop = 0;
    int titleHeight = 25;
    bool showHint = true;
    bool stayOnTop = true;
    int minimizeTo = 0;
    int activePage = 0;

    // Reads the keys in start-up order; defaults that depend on the screen use its size.
    static MainSettings read(const Profile& profile, int screenWidth, int screenHeight);
    // Writes the twelve keys in their fixed order; raises on the first refused write.
    void write(Profile& profile) const;
};

// The colour of a page: its key in "Colors", else its default.
int readPageColor(const Profile& profile, int index);
void writePageColor(Profile& profile, int index, int color);

} // namespace qly
