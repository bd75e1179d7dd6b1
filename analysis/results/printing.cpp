#include "printing.h"

#include "resultstexts.h"

#include "platform/errors.h"
#include "platform/printer.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>

#include <memory>

namespace results {

void printPane(platform::Printer& printers, const QPlainTextEdit& pane, const QString& title) {
    printPaneText(printers.startJob(title), pane, title);
}

void printPaneText(QPrinter& printer, const QPlainTextEdit& pane, const QString& title) {
    // Laid out by us rather than by QTextDocument::print, which adds margins and page numbers.
    std::unique_ptr<QTextDocument> doc(pane.document()->clone());
    doc->setDefaultFont(pane.font());
    // A pane's text ends with a line break after its last line; that is no line of its own.
    if (doc->blockCount() > 1 && doc->lastBlock().text().isEmpty()) {
        QTextCursor c(doc.get());
        c.movePosition(QTextCursor::End);
        c.deletePreviousChar();
    }
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(
        QTextOption::WrapAtWordBoundaryOrAnywhere); // the page, not the pane, is the width
    doc->setDefaultTextOption(option);

    QPainter painter;
    if (!painter.begin(&printer))
        throw platform::Error(kJobCannotStart.arg(title));

    // Fonts measured on the printer itself, pages of its printable area.
    doc->documentLayout()->setPaintDevice(&printer);
    doc->setDocumentMargin(0);
    const QSizeF page(printer.width(), printer.height());
    doc->setPageSize(page);
    QAbstractTextDocumentLayout* layout = doc->documentLayout();

    // Line by line: the layout moves a line that would cross a page's end to the next page, so
    // each line belongs to exactly one page and none is drawn twice at a page break.
    painter.setPen(Qt::black);
    int current = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* tl = block.layout();
        const QPointF origin = layout->blockBoundingRect(block).topLeft();
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QTextLine line = tl->lineAt(i);
            // Within a device pixel of a page's top counts as on that page.
            const int onPage = qFloor((origin.y() + line.y() + 1.0) / page.height());
            while (current < onPage) {
                if (!printer.newPage())
                    throw platform::Error(kJobFailed.arg(title));
                ++current;
            }
            line.draw(&painter, origin - QPointF(0, current * page.height()));
        }
    }
    if (!painter.end())
        throw platform::Error(kJobFailed.arg(title));
}

} // namespace results
