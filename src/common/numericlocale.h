#pragma once

#include <clocale>

namespace halyx {

// Qt adopts the user's locale when its application object is made; numbers on the wire, in logs
// and in files must keep the '.' whatever that locale is.
inline void KeepNumbersInCLocale() {
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace halyx
