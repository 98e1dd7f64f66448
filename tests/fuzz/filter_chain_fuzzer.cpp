// Stored filter-chain texts: the list rule reads back what it writes, every item either parses
// as one of the filter pieces or passes through, and any chain translates without a fault.

#include <string>
#include <vector>

#include "filters/filter_chain_translation.h"
#include "filters/filter_list.h"
#include "filters/filter_text_parser.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tw::fuzz::QuietProcess();
    const std::string text(tw::fuzz::AsText(data, size));
    tw::filters::TranslateFilterChain(text);

    if (const auto items = tw::filters::SplitFilterItems(text)) {
        for (const std::string& item : *items) {
            tw::filters::ParseLogoPiece(item);
            tw::filters::ParseOverlayTextPiece(item);
            tw::filters::ParseSubtitlePiece(item);
            if (const auto inner = tw::filters::SplitFilterItems(item)) {
                for (const std::string& piece : *inner) {
                    tw::filters::ParseStdFilterItem(piece);
                }
            }
        }
        const std::string joined = tw::filters::JoinFilterItems(*items);
        const auto again = tw::filters::SplitFilterItems(joined);
        TW_FUZZ_CHECK(again && *again == *items, joined);
    }

    // Any text as one item of a chain comes back as that item.
    const std::vector<std::string> single{text};
    const auto back = tw::filters::SplitFilterItems(tw::filters::JoinFilterItems(single));
    TW_FUZZ_CHECK(back && *back == single, text);
    tw::filters::QuoteFilterOption(text);
    tw::filters::EscapeFilterArguments(text);
    return 0;
}
