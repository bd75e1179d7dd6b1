#pragma once

// The rules of the rule base, once: what the settings store calls each value, where the checks
// find it, what it starts as and which control of the rule base editor shows it.

#include "analysis/engine/rulebase.h"

#include <QString>

#include <array>
#include <cstddef>

namespace rulevalues {

// The rule base editor's control that shows a rule.
enum class RuleControl {
    SafeSurfBox,
    RsacBox,
    WeburbiaBox,
    KeywordsBox,
    KeywordsMaximum,
    KeywordsMinimum,
    DescriptionBox,
    DescriptionMaximum,
    DescriptionMinimum,
    RatingBox,
    PrivacyBox,
    BodyCheckCount,
};

using RuleMember = QString engine::RuleValues::*;

struct Rule {
    // The value's name in the settings store; names there match without regard to case.
    const char* name;
    // How the editor spells the name when it adds the value to the store (null: as name), so
    // that a saved settings file stays as it has always been written.
    const char* addedAs;
    RuleMember member;
    // The value before anything is read (null: empty, a switch off).
    const char* startingValue;
    RuleControl control;
    // The switch a length belongs to: the editor reads and writes the length only while its
    // switch is on (null: always).
    RuleMember lengthOf;
};

// In the order the editor writes them: values new to the store are added in this order.
inline constexpr std::array<Rule, 12> kRules{{
    // name, added as, member, starting value, control, length of
    {"rsafe", nullptr, &engine::RuleValues::rsafe, nullptr, RuleControl::SafeSurfBox, nullptr},
    {"rrsac", nullptr, &engine::RuleValues::rrsac, nullptr, RuleControl::RsacBox, nullptr},
    {"rweb", nullptr, &engine::RuleValues::rweb, nullptr, RuleControl::WeburbiaBox, nullptr},
    {"KeyReq", nullptr, &engine::RuleValues::KeyReq, nullptr, RuleControl::KeywordsBox, nullptr},
    {"keywords", nullptr, &engine::RuleValues::keywords, "1000", RuleControl::KeywordsMaximum,
     &engine::RuleValues::KeyReq},
    {"keywordsm", "KeyWordsm", &engine::RuleValues::keywordsm, "500", RuleControl::KeywordsMinimum,
     &engine::RuleValues::KeyReq},
    {"DescReq", nullptr, &engine::RuleValues::DescReq, nullptr, RuleControl::DescriptionBox,
     nullptr},
    {"description", "Description", &engine::RuleValues::description, "200",
     RuleControl::DescriptionMaximum, &engine::RuleValues::DescReq},
    {"descriptionm", "Descriptionm", &engine::RuleValues::descriptionm, "75",
     RuleControl::DescriptionMinimum, &engine::RuleValues::DescReq},
    {"Rating", nullptr, &engine::RuleValues::Rating, nullptr, RuleControl::RatingBox, nullptr},
    {"Privacy", nullptr, &engine::RuleValues::Privacy, nullptr, RuleControl::PrivacyBox, nullptr},
    {"bodychk", nullptr, &engine::RuleValues::bodychk, "5000", RuleControl::BodyCheckCount,
     nullptr},
}};

// The default tags: a tag added to the required tags while its switch is on, in this order.
struct DefaultTag {
    const char* tag;
    RuleMember on;
};

inline constexpr std::array<DefaultTag, 4> kDefaultTags{{
    {"keywords", &engine::RuleValues::KeyReq},
    {"description", &engine::RuleValues::DescReq},
    {"rating", &engine::RuleValues::Rating},
    {"privacy", &engine::RuleValues::Privacy},
}};

inline QString valueName(const Rule& rule) {
    return QString::fromLatin1(rule.name);
}

inline QString addedName(const Rule& rule) {
    return QString::fromLatin1(rule.addedAs ? rule.addedAs : rule.name);
}

// The rule of a member of RuleValues; every member has one.
constexpr const Rule& ruleOf(RuleMember member) {
    for (const Rule& rule : kRules)
        if (rule.member == member)
            return rule;
    throw "not a rule"; // in a constant expression: does not compile
}

constexpr const Rule& ruleShownBy(RuleControl control) {
    for (const Rule& rule : kRules)
        if (rule.control == control)
            return rule;
    throw "no rule";
}

// A switch that lengths belong to.
constexpr bool hasLengths(const Rule& rule) {
    for (const Rule& length : kRules)
        if (length.lengthOf == rule.member)
            return true;
    return false;
}

namespace detail {

constexpr bool eachMemberAndControlOnce() {
    for (std::size_t i = 0; i < kRules.size(); ++i)
        for (std::size_t j = i + 1; j < kRules.size(); ++j)
            if (kRules[i].member == kRules[j].member || kRules[i].control == kRules[j].control)
                return false;
    return true;
}

constexpr bool lengthsBelongToSwitches() {
    for (const Rule& rule : kRules) {
        if (!rule.lengthOf)
            continue;
        const Rule& on = ruleOf(rule.lengthOf);
        if (on.startingValue || on.lengthOf)
            return false;
    }
    return true;
}

} // namespace detail

// A member added to RuleValues needs its row here.
static_assert(sizeof(engine::RuleValues) == kRules.size() * sizeof(QString));
static_assert(detail::eachMemberAndControlOnce());
static_assert(detail::lengthsBelongToSwitches());

} // namespace rulevalues
