#pragma once

// The list rule of filter-chain texts, used for the items of a standard filter and for the whole
// chain of the wizard's filters: items joined with ","; an item holding a blank, a control
// character or a comma is wrapped in single blanks with every blank inside it doubled. One empty
// item gives two blanks, no items the empty text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {
class TAVFilter;
}

namespace tw::filters {

std::string JoinFilterItems(const std::vector<std::string>& items);

// Reads a text written by JoinFilterItems back into its items. nullopt when the text cannot have
// been written by the list rule (a wrapped item left open, or text after a closing blank), which is
// how a filter-graph text written by hand shows itself.
std::optional<std::vector<std::string>> SplitFilterItems(std::string_view text);

// The whole chain: each filter's piece, in list order, joined by the list rule.
std::string FilterChainText(const std::vector<const TAVFilter*>& filters);

}  // namespace tw::filters
