#pragma once
// Garmin's waypoint symbols: the numbers of the receivers' symbol field
// (smbl of the waypoint records, the Symbol column of MIF files, the symbol
// of the overlays) and the names Garmin's units write into GPX files
// (<sym>), one table for both directions.

#include <cstdint>
#include <span>
#include <string_view>

struct GarminSymbol {
    uint16_t number;
    const char* name;  // as the units write it
};

// Every symbol of the table, in ascending number order.
std::span<const GarminSymbol> garminSymbols();

// The name of a symbol number, or nullptr when the table has none.
const char* garminSymbolName(unsigned number);

// The number of a name: compared without regard to case or to blanks at
// either end. false for a name the table does not know.
bool garminSymbolNumber(std::string_view name, uint16_t& number);

// Records of the point table that carry a symbol name the table does not
// know (and no symbol number): a file type other than GPX and a receiver
// take the default symbol for them.
int unknownSymbolNames();
