#include "printer.h"

#include "errors.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace platform {

const QString QtPrinter::kNoPrinter =
    QStringLiteral("There is no printer to print on. Choose a printer in Printer Setup.");

QtPrinter::QtPrinter() = default;
QtPrinter::~QtPrinter() = default;

QPrinter& QtPrinter::printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

QPrinter& QtPrinter::startJob(const QString& title) {
    QPrinter& p = printer();
    // Without any printer Qt falls back to PDF output with no file; only a file chosen in the
    // setup dialog makes that a place to print to.
    const bool toFile = !p.outputFileName().isEmpty();
    if (!toFile && (p.outputFormat() != QPrinter::NativeFormat || !p.isValid()))
        throw Error(kNoPrinter);
    p.setDocName(title);
    return p;
}

void QtPrinter::setup(QWidget* parent) {
    QPrintDialog dialog(&printer(), parent);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    // Choosing the printer prints nothing: the dialog's accept button says so.
    if (auto* box = dialog.findChild<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.exec();
}

} // namespace platform
