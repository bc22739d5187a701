#pragma once
// Where this copy of the program keeps "ZenitSetup.ini" and reads "APNs.dat".
//
//   installed copy    the user's own settings folder, created here: %LOCALAPPDATA%\Orbiqa on
//                     Windows, $XDG_CONFIG_HOME/orbiqa (~/.config/orbiqa) elsewhere. Nothing is
//                     ever written into the install folder, whatever the working folder is.
//   any other copy    its own folder: beside the program on Windows (the portable zip), the
//                     working folder elsewhere (`make run`, a copy started in its own folder);
//                     the user's settings folder when that folder takes no new file (a
//                     read-only stick, Program Files without rights).
//
// A copy is installed when the installer or package put the marker file kInstalledMarker where
// InstalledMarkerPath says: beside orbiqa.exe on Windows, <prefix>/share/orbiqa beside the
// <prefix>/bin of the program elsewhere.
#include <string>

namespace orbiqa {

inline constexpr const char* kInstalledMarker = "orbiqa.installed";

/// Where the marker of an installed copy lies for a program in programFolder.
std::string InstalledMarkerPath(const std::string& programFolder);

/// True when the marker of an installed copy lies where InstalledMarkerPath says.
bool IsInstalledCopy(const std::string& programFolder);

/// The user's settings folder for the program (not created here). Empty when the system names
/// none (no user profile, no home).
std::string UserSettingsFolder();

/// True when a new file can be made in folder now (the folder exists and may be written).
bool FolderTakesNewFiles(const std::string& folder);

/// Creates folder and any missing folders above it; true when it exists afterwards.
bool MakeFolder(const std::string& folder);

/// The folder a copy that is not installed keeps its settings in: programFolder on Windows,
/// workingFolder elsewhere.
std::string OwnSettingsFolder(const std::string& programFolder, const std::string& workingFolder);

/// The settings folder of a program in programFolder started in workingFolder, by the rule
/// above; creates the user's settings folder when that is the one chosen. Names are UTF-8.
std::string ChooseSettingsFolder(const std::string& programFolder, const std::string& workingFolder);

/// The folder chosen for this run; empty (the working folder) until UseSettingsFolder is called.
const std::string& SettingsFolder();
void UseSettingsFolder(std::string folder);

/// The path of a settings file: fileName in SettingsFolder(), or fileName alone when that is
/// empty.
std::string SettingsFilePath(const std::string& fileName);

}  // namespace orbiqa
