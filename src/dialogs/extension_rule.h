#pragma once

#include <cstddef>

// The filter list of the file dialogs and the rule that makes a saved name's
// extension follow the chosen filter. Platform-free.
//
// A filter list is NUL-terminated strings in pairs, a description then its
// pattern string ("*.txt;*.text"), ended by an empty string; pairs are
// numbered from 1.
namespace vantrel {

// The pattern string used when a filter index names no pair of the list.
extern const char kFallbackPattern[];  // "*.err"

// The pattern string of pair number `index`, as a view into `filterList`
// itself, or kFallbackPattern when `index` names no pair. A description
// followed by the empty string ends the list: it names no pair.
const char* filterPatternAt(const char* filterList, int index);

// Whether `extension` (".txt") equals one of the ';'-separated patterns of
// `patternString` less its first character. Exact, case-sensitive, for
// patterns of any length; an empty pattern matches nothing.
bool extensionMatches(const char* patternString, const char* extension);

// Where the last part of the path `name`, `length` bytes long, begins:
// after its last '\\' or '/', or after a drive's colon ("C:report").
std::size_t lastPartStart(const char* name, std::size_t length);

// Gives the NUL-terminated `name` in a buffer of `capacity` bytes the
// extension of filter `filterIndex`: appended when the name's last part
// (from lastPartStart) has no '.', kept when its extension matches one of
// the filter's patterns, replaced otherwise. An empty name stays empty; a name that would not fit
// its buffer after the change, or that is not terminated inside it, is left
// unchanged.
void applyExtensionRule(const char* filterList, int filterIndex, char* name, std::size_t capacity);

}  // namespace vantrel
