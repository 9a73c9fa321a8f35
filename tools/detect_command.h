#pragma once
// meterlink-cli detect: finds the meters on the serial ports and the meter
// cables among the USB devices.

#include <string>

std::string detectUsage();
int runDetect(int argc, char** argv);
