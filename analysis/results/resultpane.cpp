#include "resultpane.h"

#include "platform/textfile.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace results {

namespace {

QString normalised(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

} // namespace

QStringList paneLines(const QPlainTextEdit* pane) {
    return platform::splitLines(pane->toPlainText());
}

qsizetype paneLineCount(const QPlainTextEdit* pane) {
    const QTextDocument* doc = pane->document();
    if (doc->isEmpty())
        return 0;
    const int blocks = doc->blockCount();
    return doc->lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

bool paneIsEmpty(const QPlainTextEdit* pane) {
    return pane->document()->isEmpty();
}

void addPaneLines(QPlainTextEdit* pane, const QStringList& lines) {
    if (lines.isEmpty())
        return;
    QString add;
    const QTextDocument* doc = pane->document();
    if (!doc->isEmpty() && !doc->lastBlock().text().isEmpty())
        add += QLatin1Char('\n');
    for (const QString& l : lines) {
        add += normalised(l);
        add += QLatin1Char('\n');
    }
    QTextCursor c(pane->document());
    c.movePosition(QTextCursor::End);
    c.insertText(add);
}

void addPaneLine(QPlainTextEdit* pane, const QString& line) {
    addPaneLines(pane, QStringList{line});
}

void setPaneText(QPlainTextEdit* pane, const QString& text) {
    pane->setPlainText(normalised(text));
}

void clearPane(QPlainTextEdit* pane) {
    pane->clear();
}

} // namespace results
