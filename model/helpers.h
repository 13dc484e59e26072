#pragma once
// Small text functions shared by the file readers, the binary OVL writer and
// the upload. All but the receivers' filters work in place on NUL-terminated
// 8-bit strings.

#include <string>
#include <string_view>

void trimLine(char* text);       // blanks, tabs, CR, LF at both ends
void trimBlanks(char* text);     // blanks and tabs at both ends
// The receivers' character set for identifiers (names of points, routes
// and tracks) and comments, applied where a record goes out over the binary
// protocol: upper case; A-Z 0-9 blank - _ + (and ':' in a comment) stay.
// Letters with umlauts or accents are spelled out (Ä as AE, ß as SS, é as
// E); "/", ".", ":" and the like between two letters or
// digits become "-", every other character a single blank. Input and
// result are Windows-1252.
std::string filterIdent(std::string_view text);
std::string filterComment(std::string_view text);
// A name or comment as a file holds it, for the table: every character
// stays but control characters, which become '?'; blanks at the end are
// dropped. In place; nullptr does nothing.
void keepFileText(char* text);
bool startsWithDigit(const char* text);
bool hasSignificantChar(const char* text);
void advanceNameInitials(char& first, char& second);
