#include "edpwdf.h"

namespace quillmark {

Tedpwdfrm::Tedpwdfrm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("edpwdfrm"));
}

} // namespace quillmark
