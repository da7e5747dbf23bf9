#include "still/ui/save_picture_dialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QRegularExpression>

#include "platform/window_stack.h"

namespace {
const char* const kFilters[] = {
    "すべてのファイル (*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)",
    "PNG Format (*.png)",
    "JPEG イメージファイル (*.jpg)",
    "JPEG イメージファイル (*.jpeg)",
    "ビットマップ (*.bmp)",
    "GIF (*.gif)",
};

// The first filter lists its patterns with semicolons, which the dialog's own filtering does
// not split; the file list is filtered by each pattern instead.
void applyPatterns(QFileDialog& dialog, const QString& filter) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!model) return;
    const QString inner = filter.section(QLatin1Char('('), 1).chopped(1);
    model->setNameFilters(inner.split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts));
}
}  // namespace

QtSavePictureDialog::QtSavePictureDialog() = default;
QtSavePictureDialog::~QtSavePictureDialog() = default;

QFileDialog& QtSavePictureDialog::dialog() {
    if (!m_dialog) {
        m_dialog = std::make_unique<QFileDialog>();
        m_dialog->setOption(QFileDialog::DontUseNativeDialog);
        m_dialog->setAcceptMode(QFileDialog::AcceptSave);
        m_dialog->setFileMode(QFileDialog::AnyFile);
        m_dialog->setOption(QFileDialog::DontConfirmOverwrite);
        QStringList filters;
        for (const char* f : kFilters) filters << QString::fromUtf8(f);
        m_dialog->setNameFilters(filters);
        QFileDialog* d = m_dialog.get();
        QObject::connect(d, &QFileDialog::filterSelected, d, [d](const QString& f) { applyPatterns(*d, f); });
    }
    return *m_dialog;
}

void QtSavePictureDialog::preselect(int filterIndex, const QString& defaultSuffix) {
    m_filterIndex = filterIndex;
    m_suffix = defaultSuffix;
}

std::optional<QString> QtSavePictureDialog::exec(QWidget* owner) {
    QFileDialog& d = dialog();
    const QString filter = QString::fromUtf8(kFilters[qBound(1, m_filterIndex, 6) - 1]);
    d.selectNameFilter(filter);
    applyPatterns(d, filter);
    d.setDefaultSuffix(m_suffix);
    const bool accepted = window_stack::execInForeground(d, owner) == QDialog::Accepted;
    if (!accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().first();
}
