#pragma once
// Small text functions shared by the file readers, the binary OVL writer and
// the upload. All work in place on NUL-terminated 8-bit strings.

void trimLine(char* text);       // blanks, tabs, CR, LF at both ends
void trimBlanks(char* text);     // blanks and tabs at both ends
void filterIdent(char* text);    // upper case; keeps A-Z 0-9 blank - _ +
void filterComment(char* text);  // as filterIdent, also keeps ':'
// While set, the two filters above keep names and comments as files hold
// them (for a conversion between files, not for the receiver): every
// character stays but control characters, which become '?', and blanks at
// the end are dropped. Off by default.
void setKeepFileTexts(bool keep);
bool keepFileTexts();
// Keeps file texts for the life of the object.
struct KeepFileTextsWhileReading {
    KeepFileTextsWhileReading() { setKeepFileTexts(true); }
    ~KeepFileTextsWhileReading() { setKeepFileTexts(false); }
};
bool startsWithDigit(const char* text);
bool hasSignificantChar(const char* text);
void advanceNameInitials(char& first, char& second);
