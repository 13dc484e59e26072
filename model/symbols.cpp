// Garmin's symbol enumeration with the names the units write.

#include "model/symbols.h"

#include <algorithm>
#include <cstring>

#include "model/point_table.h"

namespace {

// Marine symbols 0..37, the symbols 150..193, land symbols from 8192,
// aviation symbols from 16384.
constexpr GarminSymbol kSymbols[] = {
    {0, "Anchor"},
    {1, "Bell"},
    {2, "Diamond, Green"},
    {3, "Diamond, Red"},
    {4, "Diver Down Flag 1"},
    {5, "Diver Down Flag 2"},
    {6, "Bank"},
    {7, "Fishing Area"},
    {8, "Gas Station"},
    {9, "Horn"},
    {10, "Residence"},
    {11, "Restaurant"},
    {12, "Light"},
    {13, "Bar"},
    {14, "Skull and Crossbones"},
    {15, "Square, Green"},
    {16, "Square, Red"},
    {17, "Buoy, White"},
    {18, "Waypoint"},
    {19, "Shipwreck"},
    {21, "Man Overboard"},
    {22, "Navaid, Amber"},
    {23, "Navaid, Black"},
    {24, "Navaid, Blue"},
    {25, "Navaid, Green"},
    {26, "Navaid, Green/Red"},
    {27, "Navaid, Green/White"},
    {28, "Navaid, Orange"},
    {29, "Navaid, Red"},
    {30, "Navaid, Red/Green"},
    {31, "Navaid, Red/White"},
    {32, "Navaid, Violet"},
    {33, "Navaid, White"},
    {34, "Navaid, White/Green"},
    {35, "Navaid, White/Red"},
    {36, "Dot, White"},
    {37, "Radio Beacon"},
    {150, "Boat Ramp"},
    {151, "Campground"},
    {152, "Restroom"},
    {153, "Shower"},
    {154, "Drinking Water"},
    {155, "Telephone"},
    {156, "Medical Facility"},
    {157, "Information"},
    {158, "Parking Area"},
    {159, "Park"},
    {160, "Picnic Area"},
    {161, "Scenic Area"},
    {162, "Skiing Area"},
    {163, "Swimming Area"},
    {164, "Dam"},
    {165, "Controlled Area"},
    {166, "Danger Area"},
    {167, "Restricted Area"},
    {169, "Ball Park"},
    {170, "Car"},
    {171, "Hunting Area"},
    {172, "Shopping Center"},
    {173, "Lodging"},
    {174, "Mine"},
    {175, "Trail Head"},
    {176, "Truck Stop"},
    {177, "Exit"},
    {178, "Flag"},
    {179, "Circle with X"},
    {181, "Fishing Hot Spot Facility"},
    {184, "Anchor Prohibited"},
    {185, "Beacon"},
    {186, "Coast Guard"},
    {187, "Reef"},
    {188, "Weed Bed"},
    {189, "Dropoff"},
    {190, "Dock"},
    {191, "Marina"},
    {192, "Bait and Tackle"},
    {193, "Stump"},
    {8195, "Mile Marker"},
    {8196, "TracBack Point"},
    {8197, "Golf Course"},
    {8198, "City (Small)"},
    {8199, "City (Medium)"},
    {8200, "City (Large)"},
    {8203, "City (Capitol)"},
    {8204, "Amusement Park"},
    {8205, "Bowling"},
    {8206, "Car Rental"},
    {8207, "Car Repair"},
    {8208, "Fast Food"},
    {8209, "Fitness Center"},
    {8210, "Movie Theater"},
    {8211, "Museum"},
    {8212, "Pharmacy"},
    {8213, "Pizza"},
    {8214, "Post Office"},
    {8215, "RV Park"},
    {8216, "School"},
    {8217, "Stadium"},
    {8218, "Department Store"},
    {8219, "Zoo"},
    {8220, "Convenience Store"},
    {8221, "Live Theater"},
    {8226, "Scales"},
    {8227, "Toll Booth"},
    {8233, "Bridge"},
    {8234, "Building"},
    {8235, "Cemetery"},
    {8236, "Church"},
    {8237, "Civil"},
    {8238, "Crossing"},
    {8239, "Ghost Town"},
    {8240, "Levee"},
    {8241, "Military"},
    {8242, "Oil Field"},
    {8243, "Tunnel"},
    {8244, "Beach"},
    {8245, "Forest"},
    {8246, "Summit"},
    {8249, "Police Station"},
    {8250, "Gambling/casino"},
    {8251, "Ski Resort"},
    {8252, "Ice Skating"},
    {8253, "Wrecker"},
    {8254, "Border Crossing (Port Of Entry)"},
    {8255, "Geocache"},
    {8256, "Geocache Found"},
    {8257, "Contact, Smiley"},
    {8258, "Contact, Ball Cap"},
    {8259, "Contact, Big Ears"},
    {8260, "Contact, Spike"},
    {8261, "Contact, Goatee"},
    {8262, "Contact, Afro"},
    {8263, "Contact, Dreadlocks"},
    {8264, "Contact, Female1"},
    {8265, "Contact, Female2"},
    {8266, "Contact, Female3"},
    {8267, "Contact, Ranger"},
    {8268, "Contact, Kung-Fu"},
    {8269, "Contact, Sumo"},
    {8270, "Contact, Pirate"},
    {8271, "Contact, Biker"},
    {8272, "Contact, Alien"},
    {8273, "Contact, Bug"},
    {8274, "Contact, Cat"},
    {8275, "Contact, Dog"},
    {8276, "Contact, Pig"},
    {8282, "Water Hydrant"},
    {8284, "Flag, Blue"},
    {8285, "Flag, Green"},
    {8286, "Flag, Red"},
    {8287, "Pin, Blue"},
    {8288, "Pin, Green"},
    {8289, "Pin, Red"},
    {8290, "Block, Blue"},
    {8291, "Block, Green"},
    {8292, "Block, Red"},
    {8293, "Bike Trail"},
    {8294, "Circle, Red"},
    {8295, "Circle, Green"},
    {8296, "Circle, Blue"},
    {8299, "Diamond, Blue"},
    {8300, "Oval, Red"},
    {8301, "Oval, Green"},
    {8302, "Oval, Blue"},
    {8303, "Rectangle, Red"},
    {8304, "Rectangle, Green"},
    {8305, "Rectangle, Blue"},
    {8308, "Square, Blue"},
    {8351, "Triangle, Blue"},
    {8352, "Triangle, Green"},
    {8353, "Triangle, Red"},
    {16384, "Airport"},
    {16385, "Intersection"},
    {16386, "Non-directional beacon"},
    {16387, "VHF Omni-range"},
    {16388, "Heliport"},
    {16389, "Private Field"},
    {16390, "Soft Field"},
    {16391, "Tall Tower"},
    {16392, "Short Tower"},
    {16393, "Glider Area"},
    {16394, "Ultralight Area"},
    {16395, "Parachute Area"},
    {16396, "VOR/TACAN"},
    {16397, "VOR-DME"},
    {16398, "First approach fix"},
    {16399, "Localizer Outer Marker"},
    {16400, "Missed approach point"},
    {16401, "TACAN"},
    {16402, "Seaplane Base"},
};

constexpr bool ascending() {
    for (size_t i = 1; i < std::size(kSymbols); i++)
        if (kSymbols[i - 1].number >= kSymbols[i].number) return false;
    return true;
}
static_assert(ascending(), "the symbol table is sorted by number, each number once");

bool sameName(std::string_view a, const char* b) {
    const size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; i++) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::span<const GarminSymbol> garminSymbols() { return kSymbols; }

const char* garminSymbolName(unsigned number) {
    const auto* end = std::end(kSymbols);
    const auto* it = std::lower_bound(std::begin(kSymbols), end, number,
                                      [](const GarminSymbol& s, unsigned n) { return s.number < n; });
    return it != end && it->number == number ? it->name : nullptr;
}

bool garminSymbolNumber(std::string_view name, uint16_t& number) {
    const char* blanks = " \t\r\n";
    const size_t first = name.find_first_not_of(blanks);
    if (first == std::string_view::npos) return false;
    name = name.substr(first, name.find_last_not_of(blanks) - first + 1);
    for (const GarminSymbol& s : kSymbols)
        if (sameName(name, s.name)) {
            number = s.number;
            return true;
        }
    return false;
}

int unknownSymbolNames() {
    int count = 0;
    for (int i = 0; i < pointTable.count; i++)
        if (pointTable.records[i].SymbolName[0] && !pointTable.records[i].HasSymbol) count++;
    return count;
}
