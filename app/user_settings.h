#pragma once
// What the user set that outlives a run: the limits, the record limit, the
// page size, the sampling interval and its switch, Repeat, the chosen COM
// port and "Confirm readings". Kept in the program's default settings store
// (QSettings with the organisation and application names set at start-up),
// which other parts of the program share; reset() forgets every key of it.

#include <QString>

#include <cstdint>

class UserSettings {
public:
    struct Values {
        QString highLimit = QStringLiteral("6000");
        QString lowLimit = QStringLiteral("-6000");
        std::int32_t recordLimit = 10000;
        int pageSize = 100;
        int samplingSeconds = 1;
        bool sampling = false;
        bool repeat = true;
        int comPort = 1;   // 1..4
        int confirmFrames = 1;   // "Confirm readings"; 1: off
    };

    // What is stored, with the default for anything missing or out of range.
    static Values load();
    static void reset();

    static void setHighLimit(const QString& text);
    static void setLowLimit(const QString& text);
    static void setRecordLimit(std::int32_t limit);
    static void setPageSize(int size);
    static void setSamplingSeconds(int seconds);
    static void setSampling(bool on);
    static void setRepeat(bool on);
    static void setComPort(int n);
    static void setConfirmFrames(int frames);
};
