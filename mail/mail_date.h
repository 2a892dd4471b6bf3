#pragma once
// The fixed display form of a mail's Date: value, "2004/12/07 09:05:03".
#include <string>
#include <string_view>

namespace pw {

// What an unreadable date shows, byte for byte (with its backslash). Readers
// of the display form tell it apart from a real date by its '?'.
inline constexpr std::string_view kUnreadableMailDate = "??\\?? ??:??:??";

// The display form "YYYY/MM/DD hh:mm:ss" of an RFC 5322 date value such as
// "Tue, 7 Dec 2004 09:05:03 +0800": the weekday is dropped, and so is the
// last word (the zone; when there is none, the time, which then reads as
// 00:00:00). An unknown month shows as "??", an out-of-range time field as 0.
// "" for an empty value, kUnreadableMailDate when day or year cannot be read.
[[nodiscard]] std::string mail_date_display(std::string_view value);

}  // namespace pw
