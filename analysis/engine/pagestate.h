#pragma once

#include "workingcopy.h"

#include <QStringList>

namespace engine {

// Lines a check writes into the three result panes, in order; the window appends them.
struct PaneOutput {
    QStringList passed;
    QStringList failed;
    QStringList keyword;
    bool isEmpty() const { return passed.isEmpty() && failed.isEmpty() && keyword.isEmpty(); }
    void clear() {
        passed.clear();
        failed.clear();
        keyword.clear();
    }
};

// A page as its file gave it, decoded once: what every step of the page's check reads.
struct PageText {
    QString text;
    bool read = false;
    QString readError; // why the file could not be read, for the checks' error lines
};

// The steps of a page's check in their order, as the check's hooks are told them.
enum class PageStep {
    Loaded, // the page file read (or found unreadable)
    // The head pipeline's steps.
    HeadExtracted,
    LineBreaksSet,
    MetaLinesSet,
    DescriptionAndKeywordsRead,
    RuleTableRead,
    PolicyChecked,
    KeywordsChecked,
};

// The pauses between the head pipeline's steps, where a window lets itself paint.
constexpr bool isBetweenHeadSteps(PageStep step) {
    return step >= PageStep::HeadExtracted && step <= PageStep::DescriptionAndKeywordsRead;
}

// What the steps of a page's check leave for the steps after them (members of the main window
// in the original layout). The page's text is no part of it: each step is given that.
struct PageState {
    // The head pipeline's: the head section laid out one tag a line, the page's own head tag,
    // whether it is XHTML, and the head-problem lines that wait for the page's entry (the
    // policy check moves them under it).
    WorkingCopy workingCopy;
    QString headTag = QStringLiteral("<head>");
    bool xhtml = false;
    QStringList failed;
    // The tag readings': the last tag list, and the description and keywords tags' contents.
    // The policy check puts the rule table's keywords value in the keywords' place; the keyword
    // checks count what is there then.
    QStringList tagList;
    QString descriptionContent;
    QString keywordsContent;

    // Per-page reset before a page's checks. A page's problem lines never wait for another
    // page's entry, so none are left from the page before.
    void resetPage() {
        failed.clear();
        workingCopy.clear();
        keywordsContent.clear();
        descriptionContent.clear();
    }
};

// Appends a text to a pane's lines; embedded line breaks make several lines.
void addLines(QStringList& pane, const QString& text);

} // namespace engine
