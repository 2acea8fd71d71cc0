// The form of a realm name that the web sites use in their addresses.
#pragma once

#include <string>
#include <string_view>

namespace kv::composer {

// A capital A-Z starts a new hyphen-joined word unless a blank or an
// apostrophe came right before it; a blank becomes "-", an apostrophe is
// dropped; the first character is kept as it is. The case is left unchanged.
// "AeriePeak" and "Aerie Peak" both give "Aerie-Peak", "Kel'Thuzad" gives "KelThuzad".
std::string makeWebRealm(std::string_view realm);

} // namespace kv::composer
