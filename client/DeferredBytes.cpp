#include "DeferredBytes.h"

namespace corvale {

void DeferredBytes::add(std::string_view bytes)
{
    if (bLost)
        return;
    if (bytes.size() > nLimit - sBytes.size()) {
        sBytes.clear();
        sBytes.shrink_to_fit();
        bLost = true;
        ++nLost;
        return;
    }
    sBytes.append(bytes);
}

} // namespace corvale
