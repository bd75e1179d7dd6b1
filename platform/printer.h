#pragma once

#include <QString>

#include <memory>

class QPrinter;
class QWidget;

namespace platform {

// The current printer and the system's printer setup dialog.
class Printer {
public:
    virtual ~Printer() = default;
    // The printer for a new job under that title (the name the spooler lists it by): the one
    // chosen in the setup dialog, else the system's default. Raises Error when there is no
    // printer to print on.
    virtual QPrinter& startJob(const QString& title) = 0;
    // The system's printer setup dialog; what is chosen there applies to every later job.
    virtual void setup(QWidget* parent) = 0;
};

class QtPrinter : public Printer {
public:
    static const QString kNoPrinter;

    QtPrinter();
    ~QtPrinter() override;
    QPrinter& startJob(const QString& title) override;
    void setup(QWidget* parent) override;

private:
    QPrinter& printer();

    // Made on first use: asking the print system for its default printer can take a while.
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace platform
