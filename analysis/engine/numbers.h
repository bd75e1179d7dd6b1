#pragma once

#include "platform/errors.h"

#include <QString>

namespace engine {

// A stored number the checks need. A text that is not a whole number (empty included) raises
// EConvertError with a message that names the value, so the check can end cleanly.
inline int wholeNumber(const QString& name, const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok)
        throw platform::EConvertError(
            QStringLiteral("The value \"%1\" of \"%2\" is not a whole number. Set it in the rule "
                           "base (Edit | Rule Base ...).")
                .arg(text, name));
    return n;
}

} // namespace engine
