// The simulated locale library, LOCWIN32.DLL: United States, code page 437.
// NWSIM_UNICODE_FAILS makes the Unicode tables fail to load.
#include "SimSupport.h"
#include "netware/NWClient.h"

#include <type_traits>

using namespace vantle;
using namespace vantle::nwsim;

NWSIM_EXPORT TNWLocaleConv* NWLlocaleconv(TNWLocaleConv* record) {
    *record = TNWLocaleConv{};
    record->CountryID = 1;
    record->CodePage = 437;
    Record("NWLlocaleconv()");
    return record;
}
static_assert(std::is_same_v<decltype(&NWLlocaleconv), TNWLlocaleconv>);

NWSIM_EXPORT std::uint32_t NWInitUnicodeTables(std::int32_t countryID, std::int32_t codePage) {
    std::uint32_t result = Flag("NWSIM_UNICODE_FAILS") ? ErrInvalidParameter : 0;
    Record("NWInitUnicodeTables(%d, %d) = 0x%X", countryID, codePage, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWInitUnicodeTables), TNWInitUnicodeTables>);

NWSIM_EXPORT std::uint32_t NWFreeUnicodeTables() {
    Record("NWFreeUnicodeTables() = 0x0");
    return 0;
}
static_assert(std::is_same_v<decltype(&NWFreeUnicodeTables), TNWFreeUnicodeTables>);
