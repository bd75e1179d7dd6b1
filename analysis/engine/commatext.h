#pragma once

#include <QStringList>

namespace engine {

// Splits a text into items by the comma-text rule: items are separated by commas and by
// characters with codes 1 to 32; an item in double quotes may hold those (a doubled quote stands
// for one); two commas in a row give an empty item, a comma at the very end adds none. A NUL
// character ends the text.
QStringList splitCommaText(const QString& text);

} // namespace engine
