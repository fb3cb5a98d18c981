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

// An installed copy, told from where it lies and not from who runs it: under
// /usr, /opt, /bin or /sbin, or with installMark (a path relative to the
// executable's folder: what the same install puts beside it, such as its
// desktop entry) present, as under any prefix an install was given.
bool InstalledCopy(const std::string& executablePath, const std::string& installMark);

// Where the settings live. An installed copy keeps them in the per-user
// configuration folder (made if missing) under the same file name, and never
// uses a file beside itself, also when run by root, who may write there;
// empty when no configuration folder is known (nothing is read then, and a
// save reports that it cannot write). Any other copy is portable: it
// keeps them beside itself when its folder is writable or already holds a
// settings file, else in the configuration folder too. configFolder is asked
// for only when needed.
std::string SettingsFilePath(const std::string& executablePath, const std::string& installMark,
                             const std::function<std::string()>& configFolder);

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
