#pragma once

#include "Wire.h"

#include <QString>

#include <string_view>

namespace corvale {

// What the PBX sends is bytes; the operator sees them decoded as UTF-8 where they are valid
// UTF-8, else one byte per character.
QString displayText(std::string_view bytes);
// An entry decoded part by part, so that one field's bytes decide for that field alone.
QString displayText(std::string_view entry, const EntryParts& parts);
bool isValidUtf8(std::string_view bytes);

} // namespace corvale
