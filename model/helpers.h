#pragma once
// Small text functions shared by the file readers, the binary OVL writer and
// the upload. All work in place on NUL-terminated 8-bit strings.

void trimLine(char* text);    // blanks, tabs, CR, LF at both ends
void trimBlanks(char* text);  // blanks and tabs at both ends
void filterIdent(char* text); // upper case; keeps A-Z 0-9 blank - _ +
void filterComment(char* text); // as filterIdent, also keeps ':'
bool startsWithDigit(const char* text);
bool hasSignificantChar(const char* text);
void advanceNameInitials(char& first, char& second);
