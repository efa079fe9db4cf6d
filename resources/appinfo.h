#pragma once

#include <QIcon>
#include <QStringView>

// How the program names and presents itself. The same values stand in the
// Windows version record (lexivorn.rc), the desktop entry and the AppStream
// metainfo; keep them together when one changes.
namespace AppInfo {

inline constexpr QStringView Name = u"Lexivorn";
inline constexpr QStringView DisplayName = u"Lexivorn v1.0";
inline constexpr QStringView Version = u"1.00";
inline constexpr QStringView Description = u"Text file list sorter (alphabetizer)";
inline constexpr QStringView Organization = u"The Lexivorn developers";
inline constexpr QStringView OrganizationDomain = u"lexivorn.example.org";
inline constexpr QStringView HomepageUrl = u"https://lexivorn.example.org";
inline constexpr QStringView RightsNotice = u"© 2026 The Lexivorn developers";
// The desktop entry's name without ".desktop", the AppStream id and the
// icon's name in the icon theme.
inline constexpr QStringView DesktopId = u"org.example.Lexivorn";

// The program's icon, built from the PNGs compiled into the program
// (16, 24, 32, 48, 64 and 128 px).
QIcon applicationIcon();

// Hands the values above to Qt: application and organisation names,
// version, desktop file name and the default window icon.
// Call once, right after the QApplication is made.
void applyApplicationInfo();

} // namespace AppInfo
