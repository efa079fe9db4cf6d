#pragma once

#include <QStringList>

#include <memory>

class Form1;
class HostUi;

// The program, from its command line to its end: main() is this call, and
// so is what measures how long the program takes to start. Reads the
// command line, opens the window system, shows the main window with the
// files named on the command line, and runs until Exit. Returns the exit
// status.
int runProgram(int argc, char *argv[]);

// How the program starts once its application object is made: the
// application's names and icon, that only Exit ends it, and the main window
// over `host`, shown, with `files` opened in it as one Open. runProgram()
// starts so, and so do the tests of the windows.
std::unique_ptr<Form1> startMainWindow(HostUi &host, const QStringList &files = {});
