#pragma once

#include <QDialog>

namespace quillmark {

// The Body Check Tester, created hidden at start-up and kept for the whole program run.
class TSrchFrm : public QDialog {
    Q_OBJECT
public:
    explicit TSrchFrm(QWidget* parent = nullptr);
};

} // namespace quillmark
