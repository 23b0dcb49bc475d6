#pragma once
// The percent-encoding of request targets and the name=value fields of a
// query or of a form body, as a visitor's browser or program writes them.

#include <map>
#include <string>
#include <string_view>

namespace site {

using FormFields = std::multimap<std::string, std::string>;

// "%41" becomes "A" (and "+" a space when `plusIsSpace`); a '%' that does not
// start two hex digits stays as it is.
std::string decodePercent(std::string_view text, bool plusIsSpace);

// Adds each "name=value" piece of `text` (pieces split at '&', name and value
// decoded, '+' a space) to `fields`, as often as it is given. A piece without
// '=' is a name with an empty value; a piece with an empty name is skipped.
void addFields(std::string_view text, FormFields& fields);

// Whether a body of this Content-Type holds form fields.
bool isFormContentType(std::string_view contentType);

}  // namespace site
