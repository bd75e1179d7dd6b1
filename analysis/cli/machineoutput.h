#pragma once

// The run-wide parts of quillmark-check's JSON and SARIF outputs; the pages' parts come from the
// run's output (batch::RunOutput::writeJson, writeSarif).

#include "checkrun.h"

#include "analysis/engine/rulebase.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace checkcli {

// The JSON output up to its open list of pages.
QByteArray jsonOpening(const RuleSources& sources, const engine::RuleValues& values,
                       const QStringList& requiredTags, const QString& webFolder);

// The SARIF log up to its run's open list of results.
QByteArray sarifOpening(const RuleSources& sources, const QString& webFolder);

} // namespace checkcli
