// The applet settings module: where the settings file lives, and reading and
// writing it as the current settings document.
#ifndef HALV_SDK_SHARED_H
#define HALV_SDK_SHARED_H

#include "settings/JSONValue.h"

#include <CoreFoundation/CoreFoundation.h>

#include <mutex>
#include <string>

// The applet's settings folder and file; null until a path is set.
extern CFStringRef g_configFolderPath;
extern CFStringRef g_configFileFullPath;
// The current document, as last read, and its "applet_settings" object
// (pointing into the document). After a successful read the node is always an
// object.
extern JSONValue* g_configJsonValue;
extern JSONValue* g_firstNodeJsonValue;

// Held by every entry point of the settings module for the whole call, so that
// an applet calling from two threads cannot tear the document or the paths.
extern std::mutex g_settingsMutex;

// Sets the folder <base>/Halvorin/Gaming/Applets/<digest of the application's
// folder> and the file "halv.cfg" in it. A null base clears both paths (the
// option calls then fail) and gives false; otherwise true. Called by a
// successful Init.
bool HalvSetConfigFilePath(CFStringRef baseDirectory);
// The same with the user's data folder, for applets that never call Init.
bool SetConfigFileForApplet();

// Reads the settings file into the current document; creates the folder and an
// empty file when they are missing. An empty or unparsable file gives the
// default document. False when there is no path, when the file can be neither
// read nor created, or when it is not a regular file of at most 16 MiB (a
// FIFO, a device). The caller holds g_settingsMutex.
bool readJsonFromFile();
// Replaces the settings file with the current document, atomically. Contents
// that the last read found unreadable are first kept as "halv.cfg.bad"; when
// that fails the file is left alone, as is a file the applet may not write.
// Failures are silent. The caller holds g_settingsMutex.
void dumpJsonToFile();

// The 40 hexadecimal digits that name the settings folder of the application
// whose folder is `applicationFolder` (its UTF-8 bytes are digested).
std::string settingsFolderName(const std::string& applicationFolder);
// The folder that holds the running executable.
std::string mainBundlePath();
// The settings file's path in UTF-8, or the empty text when none is set.
std::string configFileFullPath();

#endif
