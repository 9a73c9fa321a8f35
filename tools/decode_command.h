#pragma once
// meterlink-cli decode: a raw byte stream in, one line per accepted frame out.

#include <istream>
#include <ostream>

int runDecode(int argc, char** argv);
