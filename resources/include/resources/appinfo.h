#pragma once

#include <QIcon>
#include <QStringView>

// How the program names and presents itself. The same values stand in the
// Windows version record (lexivorn.rc.in), the desktop entry, the AppStream
// metainfo and the manual page; keep them together when one changes.
namespace AppInfo {

// Also the class in the windows' WM_CLASS on X11, which Qt takes from the
// application name and the desktop entry's StartupWMClass repeats.
inline constexpr QStringView Name = u"Lexivorn";
// The windows' fixed caption, whatever the version.
inline constexpr QStringView DisplayName = u"Lexivorn v1.0";
// project(VERSION) in CMakeLists.txt, as "1.0.0".
extern const QStringView Version;
inline constexpr QStringView Description = u"Text file list sorter (alphabetizer)";
inline constexpr QStringView Organization = u"The Lexivorn developers";
inline constexpr QStringView OrganizationDomain = u"lexivorn.example.org";
inline constexpr QStringView RightsNotice = u"© 2026 The Lexivorn developers";
// The desktop entry's name without ".desktop", the AppStream id and the
// icon's name in the icon theme.
inline constexpr QStringView DesktopId = u"org.example.Lexivorn";

// The program's icon, built from the PNGs compiled into the program
// (16, 24, 32, 48, 64 and 128 px).
QIcon applicationIcon();

// Hands the values above to Qt: application and organisation names,
// version, desktop file name and the default window icon.
// Call once, right after the QApplication is made and before any window
// exists: Qt fixes the windows' WM_CLASS when it makes the first one.
void applyApplicationInfo();

} // namespace AppInfo
