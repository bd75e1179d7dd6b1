#pragma once

#include <QDialog>

namespace quillmark {

// The batch progress window, created hidden at start-up and kept for the whole program run.
class Tupbf : public QDialog {
    Q_OBJECT
public:
    explicit Tupbf(QWidget* parent = nullptr);
};

} // namespace quillmark
