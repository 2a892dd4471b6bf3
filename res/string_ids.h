#pragma once
// The names of the string table's ids: sid::kName is the id of the text
// named kName in string_entries.inc, for res::text and the message boxes.
namespace pw::sid {

#define PW_TEXT(id, name, text) inline constexpr int name = id;
#include "res/string_entries.inc"
#undef PW_TEXT

}  // namespace pw::sid
