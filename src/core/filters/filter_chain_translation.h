#pragma once

// Translation of a stored filter-chain text into the filter-graph syntax of the linked filter
// library (libavfilter 8). The stored text stays as written; a run translates it when it builds
// its graph.
//
// The chain is read back into its items by the list rule and every piece the filter classes
// write is rewritten: flips and negate as they are, the drawn box with its colour, rotation in
// whole degrees (clockwise; quarter turns exactly, other angles into a picture that holds the
// whole turned frame), the logo as a picture source overlaid at X, Y, the text overlay and the
// burned-in subtitles with their font, colours and code page. The filters apply one after the
// other in list order. Values are quoted for the library, so names and texts holding blanks,
// quotes, colons, commas, semicolons, brackets, backslashes or non-ASCII letters reach the
// filters unchanged.
//
// Items the filter classes never write are taken to be in the library's syntax already and pass
// through; a text that is not a list-rule chain at all passes through whole.

#include <string>
#include <string_view>

namespace tw::filters {

// Empty when the chain asks for no filtering.
std::string TranslateFilterChain(const std::string& chainText);

// One option value quoted for the filter's option parser.
std::string QuoteFilterOption(std::string_view value);
// A filter's whole argument text escaped for the graph parser.
std::string EscapeFilterArguments(std::string_view arguments);

}  // namespace tw::filters
