// Arbitrary bytes as a text data file: the loader must not crash, and what it
// accepts must survive being written and read again.
#include "recording/text_data_file.h"
#include "table_round_trip.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    meterlink::RecordTable table;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (meterlink::loadTableText(bytes, table)) meterlink::fuzz::checkRoundTrips(table);
    return 0;
}
