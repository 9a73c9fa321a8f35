#pragma once
// meterlink-cli convert IN OUT: a log file read and written again, each in
// the format its name selects, through the window's own reader and writer.

int runConvert(int argc, char** argv);
