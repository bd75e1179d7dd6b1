#include "msgb.h"

namespace quillmark {

Tupbf::Tupbf(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("upbf"));
    setWindowTitle(QStringLiteral("Batch Verify in Progress, Please Wait..."));
}

} // namespace quillmark
