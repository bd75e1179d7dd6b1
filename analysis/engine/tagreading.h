#pragma once

#include "pagestate.h"
#include "rulebase.h"

#include "platform/errors.h"

namespace engine {

class EInvalidMetaTag : public platform::Error {
public:
    EInvalidMetaTag() : platform::Error(QStringLiteral("not valid meta tag")) {}
};

struct MetaTag {
    QString name;
    QString content;
};

// A meta tag line's name and content; raises EInvalidMetaTag for a line that is none.
MetaTag ParseMetaTag(const QString& line, bool unquote);

// What a tag reading looks for in the laid-out head.
enum class TagReading {
    // The description and keywords tags, whose contents the keyword checks take.
    DescriptionAndKeywords,
    // Every tag the rule table names, and the tags its switched-on defaults require, whose
    // contents go into the rule table.
    RuleTable,
};

// The entries ("name=") that a reading looks for.
void BuildTagList(QStringList& list, TagReading reading, const RuleTable& ruleTable,
                  const RuleValues& rules);
// Reads the head's meta tags for the list's entries: into the page's description and keywords
// contents, or into the list's entries and the rule table's column 1.
void ReadTags(PageState& st, TagReading reading, QStringList& list, RuleTable& ruleTable);

} // namespace engine
