#pragma once
// "&OVL-Umwandlung  ": rewrites a binary overlay of TOP50 version 3 or 4 so
// that every object carries the editable four-line object text.

void convertOvlFile();
