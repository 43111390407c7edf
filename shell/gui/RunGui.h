#pragma once
// The desktop shell with its Qt windows: runs until the main window closes
// and returns the exit status. With OpenAtStart the screen opens as soon as
// the window shows.
class PackageHost;

int RunGui(PackageHost& package, bool openAtStart, int argc, char** argv);
