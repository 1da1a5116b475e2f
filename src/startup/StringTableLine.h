#pragma once
// Splits one line of the string table (16-bit units, line end already removed) into an
// entry. Columns: key, kept text, number, two ignored columns, then one text per language;
// a language column that begins with a double quote runs to the next double quote.

#include <optional>
#include <string_view>

#include "StringTable.h"

std::optional<StringTableEntry> ParseStringTableLine(std::u16string_view line, int column);
