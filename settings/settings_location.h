#pragma once

#include "netsqlite/types.h"

// Where the client keeps wlsetting.ini: beside the program while the program's folder can be
// written (a build folder, a copy unpacked anywhere), as it always has; for an installed
// program, which cannot write /usr/bin, in each operator's own configuration folder.
struct SettingsPlaces {
    tstring programFolder;
    bool programFolderWritable = false;
    tstring configHome;   // $XDG_CONFIG_HOME, else ~/.config
    tstring machineCopy;  // what every operator of the machine starts with
};

SettingsPlaces CurrentSettingsPlaces();

// The settings file to use. An operator's own file that is missing is made from the machine's
// copy, when there is one; otherwise it is created by the first value saved.
tstring SettingsFilePath(const SettingsPlaces& places);
