#pragma once
// Dates as VBScript holds them: days since 30 December 1899, the time as the fraction.

#include <string>

namespace kz::script {

struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int weekday = 7;  // 1 Sunday .. 7 Saturday
};

DateParts SplitDate(double serial);
double DateSerial(int year, int month, int day);
double TimeSerial(int hour, int minute, int second);
// The local date and time now.
double NowSerial();
// "M/D/YYYY h:mm:ss AM", without the date when it is 0 and without a time of midnight.
std::string FormatDate(double serial);

}  // namespace kz::script
