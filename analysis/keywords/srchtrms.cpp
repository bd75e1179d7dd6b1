#include "srchtrms.h"

namespace quillmark {

TSrchFrm::TSrchFrm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SrchFrm"));
}

} // namespace quillmark
