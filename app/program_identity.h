#pragma once
// Who the program says it is: the name the window system files its window
// under (the desktop entry's StartupWMClass must match it), its version, and
// the few options of its command line.

class QCommandLineOption;
class QCommandLineParser;

// Application name, version and desktop file name; call right after the
// application object exists, before any window is made.
void setProgramIdentity();

// --help, --version, --reset and --meter, with a few lines saying what the
// program is and which environment variables it reads.
void describeCommandLine(QCommandLineParser& parser);
QCommandLineOption meterOption();

// Whether the command line asks only for help or the version: those are
// answered without a display, so before the window's application exists.
bool asksForInformationOnly(int argc, const char* const* argv);

// The MODEL of --meter MODEL (or --meter=MODEL), or nullptr: read before the
// window's application exists, so an unknown model is refused without a display.
const char* meterArgument(int argc, const char* const* argv);
