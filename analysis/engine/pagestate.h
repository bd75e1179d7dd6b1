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

// The state of the page under analysis (members of the main window in the original layout).
struct PageState {
    WorkingCopy htmlrichedit;
    QString headTag = QStringLiteral("<head>");
    bool xhtml = false;
    QStringList failed; // pending head-problem lines, moved out by the page's next entry
    QString keywordsContent;
    QString descriptionContent;
    QString failureReason;
    QStringList tagList;
    // The working file as last read, so that reading an unchanged file again needs no work.
    QByteArray fileStamp; // identity, size and change times of the file when it was read
    QString fileText;

    // Per-page reset before a page's checks. A page's problem lines never wait for another
    // page's entry, so none are left from the page before.
    void resetPage() {
        failed.clear();
        fileStamp.clear();
        failureReason.clear();
        htmlrichedit.clear();
        keywordsContent.clear();
        descriptionContent.clear();
    }
};

// Appends a text to a pane's lines; embedded line breaks make several lines.
void addLines(QStringList& pane, const QString& text);

} // namespace engine
