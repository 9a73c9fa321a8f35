#pragma once
// meterlink-cli log: the meter logged without a window, for days if need be.

// argv[0] is "log"; the other arguments are the command's own.
int runLog(int argc, char** argv);
