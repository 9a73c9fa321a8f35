#pragma once
// meterlink-cli simulate --usb SOCKET: the meter on its USB cable.

// argv[0] is "simulate"; the other arguments are the command's own.
int runUsbSimulate(int argc, char** argv);
