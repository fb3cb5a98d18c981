#pragma once
// The instrument's settings and the chosen language, kept from one run to the
// next in an INI file beside the executable, or in the user's configuration
// folder for an installed copy. Window thread only.
#include <functional>
#include <string>

#include "inifile.h"

// The executable's full path with its extension replaced by ".INI" (appended
// when it has none).
std::string IniFileName(const std::string& executablePath);

// Where the settings live. A portable copy keeps them beside itself: its
// folder is writable, or already holds a settings file. An installed copy uses
// the per-user configuration folder (asked for only then, and made if missing)
// with the same file name.
std::string SettingsFilePath(const std::string& executablePath, const std::function<std::string()>& configFolder);

// Writable by this user as its mode bits say: root passes access() for every
// folder, but a folder installed read-only must count as such for it too.
bool FolderWritable(const std::string& folder);

// Fills InitDeviceInfo from the file; a missing file, section or key gives the
// defaults. Traces the HighFrequency value as it is read.
void ReadDeviceState(const std::string& path);

// The same from settings text kept elsewhere (the browser's storage); text
// that is no profile of ours reads as the defaults.
void ReadDeviceStateText(const std::string& text);

// CProgramState -> InitDeviceInfo. Before the first switch-on of the run the
// live record holds only zeros, so InitDeviceInfo is then kept as read.
void CopyStateToInitDeviceInfo();

// InitDeviceInfo -> file, key by key; raises Exception("Unable to write to
// <path>") at the first key that cannot be written, the keys before it stay.
void WriteDeviceState(const std::string& path, const TIniWriteFn& writer = WriteFileReplacing);

// InitDeviceInfo written into the settings text previous (its other
// sections and keys kept), as the file would hold it.
std::string DeviceStateText(const std::string& previous);

// Copy, then write.
void SaveDeviceState(const std::string& path);
