#pragma once

#include <QDialog>

namespace quillmark {

// The password window, created hidden at start-up and kept for the whole program run.
class Tedpwdfrm : public QDialog {
    Q_OBJECT
public:
    explicit Tedpwdfrm(QWidget* parent = nullptr);
};

} // namespace quillmark
